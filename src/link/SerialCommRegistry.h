#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "services/PathResolver.h"
#include "services/PortRegistry.h"

namespace tolvan {

class FileAccess;

inline constexpr const char* kSerialCommFile = "\\Orsolite\\Comuns\\SerialComm.txt";

// The serial devices found on this machine, in the order they are to be numbered.
class SerialDeviceList {
  public:
    virtual ~SerialDeviceList() = default;
    virtual std::vector<std::string> serialDevices() = 0;
};

// The machine's list of serial ports. Read afresh on every call from the port list file
// (<root>/Orsolite/Comuns/SerialComm.txt), one "COMn=<device path>" a line in file order; when
// that file is missing, the devices found on the machine become COM1, COM2, ... in the order
// the device list gives them. The file is the administrator's: one that another operator left
// in the shared folder is passed over as if missing, and `warn` hears of it once.
class SerialCommRegistry : public PortRegistry {
  public:
    SerialCommRegistry(PathResolver files, const FileAccess& access, SerialDeviceList& devices,
                       std::function<void(const std::string&)> warn = {});
    std::vector<SerialPortEntry> ports() override;

  private:
    PathResolver files_;
    const FileAccess& access_;
    SerialDeviceList& devices_;
    std::function<void(const std::string&)> warn_;
    bool warned_ = false;
};

// The entries of a port list file's text. Blank lines and lines starting with "#" are skipped,
// and so are lines that are not "COMn=<path>" with n from 1 to 65535 and a later line that
// names a port already given. Blanks around the name, "=" and the path, a byte-order mark and
// CRLF line ends are tolerated; "com3" is given as "COM3".
std::vector<SerialPortEntry> parseSerialComm(std::string_view text);

}  // namespace tolvan
