#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Deadline.h"
#include "platform/NetworkFailure.h"

// The system's TCP sockets as the network serial ports use them: non-blocking, waited on with a
// deadline. posix/Sockets.cpp and win32/Sockets.cpp (Winsock) implement them.
namespace tolvan::sockets {

// A socket: a descriptor, or a Winsock SOCKET; what QSocketNotifier watches.
using Handle = std::intptr_t;
inline constexpr Handle kNone = -1;

// The kinds of the system's error codes that the callers act on.
enum class Error {
    Other,
    Interrupted,  // try again at once
    WouldBlock,   // try again when the socket is ready (a connection under way too)
    Refused,
    TimedOut,
    Gone,  // reset, aborted or shut down by the other end
};

// One address of a host, as the system's lookup gave it.
struct Address {
    int family = 0, type = 0, protocol = 0;
    std::string raw;  // the system's socket address
};

// The addresses of HOST:PORT, looked up without waiting past the deadline; none, with the
// failure (host not found, timed out), when there are none.
std::vector<Address> resolve(const std::string& host, std::uint16_t port, Deadline deadline,
                             NetworkFailure& failure);

// A non-blocking socket for `address` that a child process does not inherit; kNone on failure.
Handle open(const Address& address);
// Connects, waiting until the deadline: 0 once connected, else the system's error code (one
// of kind TimedOut when the deadline passed first).
int connect(Handle socket, const Address& address, Deadline deadline);
// Sends small writes at once (TCP_NODELAY: a frame must not wait for the answer to the previous
// one) and notices a peer that has gone silent for good (keepalive, user time-out).
void tune(Handle socket);
void close(Handle socket);

// One send or receive on the non-blocking socket: as send(2) and recv(2) return, the error in
// lastError(); never a signal.
std::ptrdiff_t send(Handle socket, const char* data, std::size_t size);
std::ptrdiff_t receive(Handle socket, char* data, std::size_t size);
// Waits until the socket is readable (or writable), at most `ms`: >0 ready, 0 not in time,
// <0 failed.
int waitReadable(Handle socket, int ms);
int waitWritable(Handle socket, int ms);

// Whether `text` is an IPv6 address as the system reads one (no brackets, no port).
bool isIpv6Address(const std::string& text);

// The error of the last call above that failed, its kind, the system's words for it.
int lastError();
Error kindOf(int error);
std::string textOf(int error);

}  // namespace tolvan::sockets
