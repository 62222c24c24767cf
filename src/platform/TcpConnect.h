#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Deadline.h"
#include "platform/NetworkFailure.h"
#include "platform/Sockets.h"

namespace tolvan {

// A TCP connection to HOST:PORT made by the deadline: the name looked up (without blocking
// past the deadline), each of its addresses tried in turn. The socket is non-blocking and
// tuned (sockets::tune). Returns sockets::kNone with the failure (host not found, refused,
// timed out) when no address connects; its detail does not repeat the address.
sockets::Handle connectTcp(const std::string& host, std::uint16_t port, Deadline deadline,
                           NetworkFailure& failure);

// Sends all of `bytes` on a non-blocking socket by the deadline; false when it cannot.
bool sendAll(sockets::Handle socket, std::string_view bytes, Deadline deadline);

}  // namespace tolvan
