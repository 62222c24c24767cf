#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "link/SerialCommRegistry.h"

namespace tolvan {

// The machine's serial devices, for the port list when no port list file is there. In this
// order, each group by its number (ttyUSB2 before ttyUSB10):
//   1. /dev/ttyS<n> that answer: the serial core reports a UART type other than "unknown"
//      (/sys/class/tty/ttyS<n>/type, else TIOCGSERIAL on the device), or the device is held
//      by another program;
//   2. /dev/ttyUSB<n>;
//   3. /dev/ttyACM<n>.
// The port list numbers them COM1, COM2, ... in that order.
class DeviceScanner : public SerialDeviceList {
  public:
    explicit DeviceScanner(std::filesystem::path devDir = "/dev",
                           std::filesystem::path sysTtyDir = "/sys/class/tty");
    std::vector<std::string> serialDevices() override;

  private:
    bool uartAnswers(const std::string& name) const;

    std::filesystem::path devDir_;
    std::filesystem::path sysTtyDir_;
};

}  // namespace tolvan
