#pragma once

#include "services/PortRegistry.h"

namespace tolvan {

// The machine's serial ports as Windows lists them under
// HKEY_LOCAL_MACHINE\Hardware\DeviceMap\SerialComm: each value's data is a port name ("COM3"),
// in the order RegEnumValue gives them, and the port is opened by that name. Read afresh on
// every call, so that an adapter plugged in meanwhile is there.
class RegistryPortList : public PortRegistry {
  public:
    std::vector<SerialPortEntry> ports() override;
};

}  // namespace tolvan
