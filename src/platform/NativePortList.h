#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "link/SerialCommRegistry.h"
#include "services/PortRegistry.h"

namespace tolvan {

class FileAccess;

// This machine's list of serial ports, as the program's entries wire it (platform/posix or
// platform/win32, whichever the build is for). On Windows the registry's SerialComm key, and
// nothing else is read; elsewhere the port map SerialComm.txt of the installation at `root`,
// else the machine's serial devices (`devices`) numbered in order, `warn` hearing of a port map
// that is passed over.
std::unique_ptr<PortRegistry> nativePortList(const std::filesystem::path& root,
                                             const FileAccess& access, SerialDeviceList& devices,
                                             std::function<void(const std::string&)> warn);

// This machine's serial devices for nativePortList: the device scan (DeviceScanner), or on
// Windows none (the registry lists the ports).
std::unique_ptr<SerialDeviceList> nativeDeviceList();

}  // namespace tolvan
