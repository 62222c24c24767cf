#pragma once

#include <string>

namespace tolvan {

// Why a port on another machine did not open, or went away once open, as far as this end can
// tell. The port doctor turns it into what to check.
enum class NetworkFault {
    None,
    BadAddress,      // the address itself is refused (see parseNetworkAddress)
    HostNotFound,    // the name does not resolve
    Refused,         // nothing listens on that port
    TimedOut,        // no answer to the connection at all (host down, packets dropped)
    ClosedByServer,  // the server closed the connection while it opened, often with a reason
                     // in its own words ("Port already in use")
    NoAnswer,        // connected, and the server never said a word
    NotRfc2217,      // the server speaks telnet but not RFC 2217's COM-PORT-OPTION
    LineNotSet,      // RFC 2217, but the line was not set as asked (refused or unacknowledged)
    Lost,            // the open connection ended: closed or reset by the server, or broken
};

struct NetworkFailure {
    NetworkFault fault = NetworkFault::None;
    std::string detail;  // this end's words for it, e.g. "connection refused"
};

// "refused", "timed-out", ...: the fault's name for scripts (tolvan-flash's JSON end event).
inline const char* nameOf(NetworkFault fault) {
    switch (fault) {
        case NetworkFault::None:
            return "none";
        case NetworkFault::BadAddress:
            return "bad-address";
        case NetworkFault::HostNotFound:
            return "host-not-found";
        case NetworkFault::Refused:
            return "refused";
        case NetworkFault::TimedOut:
            return "timed-out";
        case NetworkFault::ClosedByServer:
            return "closed-by-server";
        case NetworkFault::NoAnswer:
            return "no-answer";
        case NetworkFault::NotRfc2217:
            return "not-rfc2217";
        case NetworkFault::LineNotSet:
            return "line-not-set";
        case NetworkFault::Lost:
            return "lost";
    }
    return "none";
}

}  // namespace tolvan
