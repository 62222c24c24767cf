#include "platform/Sockets.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
// clang-format on

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/win32/SystemText.h"

namespace tolvan::sockets {

namespace {

// Windows' TCP_KEEPCNT and TCP_MAXRT, which MinGW's headers lack; older Windows refuse them.
constexpr int kTcpKeepCount = 16;
constexpr int kTcpMaxRetransmitSeconds = 5;

// Winsock is started once, for the program's whole life.
bool started() {
    static const bool ok = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ok;
}

// A name lookup on a thread of its own: Windows' resolver cannot be given a deadline. One still
// running when its time is up is left to finish; it owns what it writes into.
struct Lookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int status = 0;
    addrinfo* found = nullptr;
    ~Lookup() {
        if (found) ::freeaddrinfo(found);
    }
};

addrinfo hints(int flags) {
    addrinfo h{};
    h.ai_family = AF_UNSPEC;
    h.ai_socktype = SOCK_STREAM;
    h.ai_flags = AI_NUMERICSERV | flags;
    return h;
}

std::vector<Address> addressesOf(const addrinfo* found) {
    std::vector<Address> addresses;
    for (const addrinfo* a = found; a; a = a->ai_next)
        addresses.push_back(
            {a->ai_family, a->ai_socktype, a->ai_protocol,
             std::string(reinterpret_cast<const char*>(a->ai_addr), a->ai_addrlen)});
    return addresses;
}

// select() rather than WSAPoll: WSAPoll does not report a failed connection on every Windows.
int wait(Handle socket, bool write, int ms) {
    const SOCKET s = static_cast<SOCKET>(socket);
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval limit{ms / 1000, (ms % 1000) * 1000};
    // A failed connection shows as an exception, a closed or reset one as readable.
    return ::select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &limit);
}

}  // namespace

std::vector<Address> resolve(const std::string& host, std::uint16_t port, Deadline deadline,
                             NetworkFailure& failure) {
    if (!started()) {
        failure = {NetworkFault::BadAddress, "Winsock did not start"};
        return {};
    }
    const std::string service = std::to_string(port);
    // An address given as such needs no resolver.
    const addrinfo numeric = hints(AI_NUMERICHOST);
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), service.c_str(), &numeric, &found) == 0) {
        std::vector<Address> addresses = addressesOf(found);
        ::freeaddrinfo(found);
        return addresses;
    }

    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host, service] {
        const addrinfo named = hints(AI_ADDRCONFIG);
        addrinfo* result = nullptr;
        const int status = ::getaddrinfo(host.c_str(), service.c_str(), &named, &result);
        const std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->status = status;
        lookup->found = result;
        lookup->done = true;
        lookup->finished.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(lookup->mutex);
    if (!lookup->finished.wait_until(lock, deadline.at, [&] { return lookup->done; })) {
        failure = {NetworkFault::TimedOut, "looking up the host " + host + " took too long"};
        return {};
    }
    if (lookup->status == 0) return addressesOf(lookup->found);
    const int status = lookup->status;
    const bool unknown = status == WSAHOST_NOT_FOUND || status == WSANO_DATA ||
                         status == WSANO_RECOVERY || status == WSATRY_AGAIN;
    failure = {
        unknown ? NetworkFault::HostNotFound : NetworkFault::BadAddress,
        "host " + host + " not found (" + systemText(static_cast<unsigned long>(status)) + ")"};
    return {};
}

Handle open(const Address& address) {
    if (!started()) return kNone;
    const SOCKET s = ::WSASocketW(address.family, address.type, address.protocol, nullptr, 0,
                                  WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) return kNone;
    u_long on = 1;
    if (::ioctlsocket(s, FIONBIO, &on) != 0) {
        const int error = ::WSAGetLastError();
        ::closesocket(s);
        ::WSASetLastError(error);
        return kNone;
    }
    return static_cast<Handle>(s);
}

int connect(Handle socket, const Address& address, Deadline deadline) {
    const SOCKET s = static_cast<SOCKET>(socket);
    if (::connect(s, reinterpret_cast<const sockaddr*>(address.raw.data()),
                  static_cast<int>(address.raw.size())) == 0)
        return 0;
    const int error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS) return error;
    const int n = wait(socket, true, deadline.msLeft());
    if (n < 0) return ::WSAGetLastError();
    if (n == 0) return WSAETIMEDOUT;
    int pending = 0;
    int length = sizeof pending;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending), &length) != 0)
        return ::WSAGetLastError();
    return pending;
}

void tune(Handle socket) {
    const SOCKET s = static_cast<SOCKET>(socket);
    const BOOL on = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    // A server whose machine went away without closing is noticed after a quarter of a minute
    // of silence and a few unanswered probes, or 20 s after a write it never acknowledged.
    ::setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
    tcp_keepalive alive{1, 15000, 5000};
    DWORD returned = 0;
    ::WSAIoctl(s, SIO_KEEPALIVE_VALS, &alive, sizeof alive, nullptr, 0, &returned, nullptr,
               nullptr);
    const DWORD count = 3, maxRetransmitSeconds = 20;
    ::setsockopt(s, IPPROTO_TCP, kTcpKeepCount, reinterpret_cast<const char*>(&count),
                 sizeof count);
    ::setsockopt(s, IPPROTO_TCP, kTcpMaxRetransmitSeconds,
                 reinterpret_cast<const char*>(&maxRetransmitSeconds), sizeof maxRetransmitSeconds);
}

void close(Handle socket) {
    ::closesocket(static_cast<SOCKET>(socket));
}

std::ptrdiff_t send(Handle socket, const char* data, std::size_t size) {
    return ::send(static_cast<SOCKET>(socket), data, static_cast<int>(size), 0);
}

std::ptrdiff_t receive(Handle socket, char* data, std::size_t size) {
    return ::recv(static_cast<SOCKET>(socket), data, static_cast<int>(size), 0);
}

int waitReadable(Handle socket, int ms) {
    return wait(socket, false, ms);
}

int waitWritable(Handle socket, int ms) {
    return wait(socket, true, ms);
}

bool isIpv6Address(const std::string& text) {
    in6_addr six{};
    return started() && ::inet_pton(AF_INET6, text.c_str(), &six) == 1;
}

int lastError() {
    return ::WSAGetLastError();
}

Error kindOf(int error) {
    switch (error) {
        case WSAEINTR:
            return Error::Interrupted;
        case WSAEWOULDBLOCK:
        case WSAEINPROGRESS:
        case WSAEALREADY:
            return Error::WouldBlock;
        case WSAECONNREFUSED:
            return Error::Refused;
        case WSAETIMEDOUT:
            return Error::TimedOut;
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAENETRESET:
        case WSAESHUTDOWN:
            return Error::Gone;
        default:
            return Error::Other;
    }
}

std::string textOf(int error) {
    return systemText(static_cast<unsigned long>(error));
}

}  // namespace tolvan::sockets
