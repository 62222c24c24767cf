#pragma once

#include <string>
#include <string_view>

#include "platform/NetworkFailure.h"
#include "services/SerialDriver.h"

namespace tolvan {

// Where the network serial driver is not built yet (TOLVAN_NETWORK_PORTS off: Windows until its
// sockets are in): a port on another machine never opens, and says why.
class UnbuiltNetworkDriver : public SerialDriver {
  public:
    bool open(const std::string& device, std::string& error) override {
        failure_ = {NetworkFault::BadAddress,
                    device +
                        ": ports on other machines (rfc2217://, socket://) are not in this "
                        "build of the program"};
        error = failure_.detail;
        return false;
    }
    void close() override {}
    bool isOpen() const override { return false; }
    bool write(std::string_view) override { return false; }
    bool lineIsLost() const override { return false; }
    std::string takeReceived() override { return {}; }
    void setListener(Listener*) override {}
    Availability probe(const std::string&) override { return Availability::Missing; }

    const NetworkFailure& lastFailure() const { return failure_; }

  private:
    NetworkFailure failure_;
};

}  // namespace tolvan
