#include "platform/LocalOrNetworkDriver.h"

#include "platform/NetworkAddress.h"

namespace tolvan {

LocalOrNetworkDriver::~LocalOrNetworkDriver() {
    local_->close();
    network_.close();
}

bool LocalOrNetworkDriver::open(const std::string& device, std::string& error) {
    // The other kind may still be open from the last opening.
    current().close();
    networkOpen_ = isNetworkAddress(device);
    return current().open(device, error);
}

void LocalOrNetworkDriver::setListener(Listener* listener) {
    local_->setListener(listener);
    network_.setListener(listener);
}

SerialDriver::Availability LocalOrNetworkDriver::probe(const std::string& device) {
    return isNetworkAddress(device) ? network_.probe(device) : local_->probe(device);
}

}  // namespace tolvan
