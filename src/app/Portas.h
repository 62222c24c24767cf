#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "link/PortName.h"  // numeroDaPorta, nomeDaPorta: the port names the program takes
#include "services/PortRegistry.h"

namespace tolvan {

class FileAccess;
class SerialDeviceList;

// The ports as the program names them ("COM3" is port 3), and the port list of the installation
// at `root`, as the program's entries wire it: the port map
// SerialComm.txt, else the machine's serial devices (`devices`) numbered in order; `warn` hears
// of a port map that is passed over.
std::unique_ptr<PortRegistry> mapaDePortas(const std::filesystem::path& root,
                                           const FileAccess& access, SerialDeviceList& devices,
                                           std::function<void(const std::string&)> warn);

}  // namespace tolvan
