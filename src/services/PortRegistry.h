#pragma once

#include <string>
#include <vector>

namespace tolvan {

struct SerialPortEntry {
    std::string name;    // "COM2"
    std::string device;  // "/dev/ttyUSB0", "/dev/pts/4"
};

// The machine's list of serial ports, in the order the list gives them.
class PortRegistry {
  public:
    virtual ~PortRegistry() = default;
    virtual std::vector<SerialPortEntry> ports() = 0;
};

}  // namespace tolvan
