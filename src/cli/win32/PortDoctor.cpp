#include "cli/PortDoctor.h"

namespace tolvan::cli {

// Windows does not tell which process has a COM port open (the port is opened exclusively, and
// its handle is not named to other programs), and no daemon here takes serial adapters.
HolderScan holdersOf(const std::string&) {
    return {{}, 0, "Windows does not tell which program has a COM port open"};
}

std::vector<Interferer> interferers(const std::string&) {
    return {};
}

PortAdvice diagnosePort(const std::string& device) {
    return {device, holdersOf(device), interferers(device)};
}

}  // namespace tolvan::cli
