#include "platform/TcpConnect.h"

#include <vector>

namespace tolvan {

sockets::Handle connectTcp(const std::string& host, std::uint16_t port, Deadline deadline,
                           NetworkFailure& failure) {
    using sockets::Error;
    const std::vector<sockets::Address> addresses = sockets::resolve(host, port, deadline, failure);
    if (addresses.empty()) return sockets::kNone;
    int lastError = 0;
    Error kind = Error::Refused;
    for (const sockets::Address& a : addresses) {
        const sockets::Handle s = sockets::open(a);
        if (s == sockets::kNone) {
            lastError = sockets::lastError();
            kind = sockets::kindOf(lastError);
            continue;
        }
        lastError = sockets::connect(s, a, deadline);
        if (lastError == 0) {
            sockets::tune(s);
            return s;
        }
        sockets::close(s);
        kind = sockets::kindOf(lastError);
        if (kind == Error::TimedOut) break;  // no time is left for the others
    }
    if (kind == Error::Refused) {
        failure = {NetworkFault::Refused, "refused the connection"};
    } else if (kind == Error::TimedOut) {
        failure = {NetworkFault::TimedOut, "did not answer the connection in time"};
    } else {
        // Unreachable networks and hosts say so at once: the machine cannot be got at.
        failure = {NetworkFault::TimedOut,
                   "cannot be reached (" + sockets::textOf(lastError) + ")"};
    }
    return sockets::kNone;
}

bool sendAll(sockets::Handle socket, std::string_view bytes, Deadline deadline) {
    while (!bytes.empty()) {
        const std::ptrdiff_t n = sockets::send(socket, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        const sockets::Error kind =
            n < 0 ? sockets::kindOf(sockets::lastError()) : sockets::Error::Other;
        if (kind == sockets::Error::Interrupted) continue;
        if (kind == sockets::Error::WouldBlock) {
            if (sockets::waitWritable(socket, deadline.msLeft()) <= 0) return false;
            continue;
        }
        return false;
    }
    return true;
}

}  // namespace tolvan
