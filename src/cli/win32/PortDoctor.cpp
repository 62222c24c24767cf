#include "cli/PortDoctor.h"

namespace tolvan::cli {

// Windows does not tell which process has a COM port open, and no daemon here takes serial
// adapters.
HolderScan holdersOf(const std::string&) {
    return {};
}

std::vector<Interferer> interferers(const std::string&) {
    return {};
}

PortAdvice diagnosePort(const std::string& device) {
    return {device, {}, {}, false};
}

std::string unopenableReasons() {
    return "missing (the USB adapter unplugged?), not a serial port, or not permitted";
}

}  // namespace tolvan::cli
