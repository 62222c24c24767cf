#pragma once

#include <string>
#include <vector>

#include "services/PortRegistry.h"

namespace tolvan::cli {

// A port given by its device path: COM1 stands for that device, and nothing else is mapped.
class DevicePortRegistry : public PortRegistry {
  public:
    explicit DevicePortRegistry(std::string device) : device_(std::move(device)) {}
    std::vector<SerialPortEntry> ports() override { return {{"COM1", device_}}; }

  private:
    std::string device_;
};

}  // namespace tolvan::cli
