#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/NativeSerialDriver.h"
#ifdef TOLVAN_NETWORK_PORTS
#include "platform/NetworkSerialDriver.h"
#else
#include "platform/UnbuiltNetworkDriver.h"
#endif

namespace tolvan {

#ifdef TOLVAN_NETWORK_PORTS
using NetworkDriver = NetworkSerialDriver;
#else
using NetworkDriver = UnbuiltNetworkDriver;
#endif

// The serial driver of the program: the device string of each opening chooses a local device
// (a path or a COM port: NativeSerialDriver) or a port on another machine (rfc2217:// or socket://:
// NetworkSerialDriver), so that one port map may mix both and the core never knows which.
class LocalOrNetworkDriver : public SerialDriver {
  public:
    LocalOrNetworkDriver() = default;
    ~LocalOrNetworkDriver() override;
    LocalOrNetworkDriver(const LocalOrNetworkDriver&) = delete;
    LocalOrNetworkDriver& operator=(const LocalOrNetworkDriver&) = delete;

    bool open(const std::string& device, std::string& error) override;
    void close() override { current().close(); }
    bool isOpen() const override { return current().isOpen(); }
    bool write(std::string_view bytes) override { return current().write(bytes); }
    bool lineIsLost() const override { return current().lineIsLost(); }
    std::string takeReceived() override { return current().takeReceived(); }
    void setListener(Listener* listener) override;
    Availability probe(const std::string& device) override;

    SerialDriver& local() { return *local_; }
    NetworkDriver& network() { return network_; }

  private:
    SerialDriver& current() {
        return networkOpen_ ? static_cast<SerialDriver&>(network_) : *local_;
    }
    const SerialDriver& current() const {
        return networkOpen_ ? static_cast<const SerialDriver&>(network_) : *local_;
    }

    std::unique_ptr<SerialDriver> local_ = nativeSerialDriver();
    NetworkDriver network_;
    bool networkOpen_ = false;  // the last opening was of a network port
};

}  // namespace tolvan
