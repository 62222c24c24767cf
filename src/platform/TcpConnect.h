#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/NetworkFailure.h"

namespace tolvan {

// A moment by which something must be done.
struct Deadline {
    std::chrono::steady_clock::time_point at;
    static Deadline in(std::chrono::milliseconds span) {
        return {std::chrono::steady_clock::now() + span};
    }
    // What is left, in whole milliseconds rounded up (for poll), never below 0.
    int msLeft() const;
};

// A TCP connection to HOST:PORT made by the deadline: the name looked up (without blocking
// past the deadline), each of its addresses tried in turn. The socket is non-blocking, sends
// small writes at once (TCP_NODELAY: a frame must not wait for the answer to the previous
// one) and notices a peer that has gone silent for good (keepalive, user time-out). Returns
// -1 with the failure (host not found, refused, timed out) when no address connects; its
// detail does not repeat the address.
int connectTcp(const std::string& host, std::uint16_t port, Deadline deadline,
               NetworkFailure& failure);

// Sends all of `bytes` on a non-blocking socket by the deadline; false when it cannot.
bool sendAll(int fd, std::string_view bytes, Deadline deadline);

}  // namespace tolvan
