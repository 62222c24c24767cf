#include "platform/Interruptions.h"

namespace tolvan {

std::string Interruptions::nameOf(int signal) {
    switch (signal) {
        case kInterrupt:
            return "SIGINT";
        case kTerminate:
            return "SIGTERM";
        case kHangUp:
            return "SIGHUP";
        default:
            return "signal " + std::to_string(signal);
    }
}

}  // namespace tolvan
