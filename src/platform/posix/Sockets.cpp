#include "platform/Sockets.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

namespace tolvan::sockets {

namespace {

// A name lookup under way in the C library's resolver. One that could not be cancelled when
// its time was up is kept until it has finished, as the resolver still writes into it.
struct Lookup {
    std::string host, service;
    addrinfo hints{};
    gaicb request{};
};

std::mutex abandonedMutex;
std::vector<std::unique_ptr<Lookup>>& abandoned() {
    static std::vector<std::unique_ptr<Lookup>> lookups;
    return lookups;
}

void reapAbandoned() {
    const std::lock_guard<std::mutex> lock(abandonedMutex);
    auto& all = abandoned();
    for (auto it = all.begin(); it != all.end();) {
        if (::gai_error(&(*it)->request) == EAI_INPROGRESS) {
            ++it;
            continue;
        }
        if ((*it)->request.ar_result) ::freeaddrinfo((*it)->request.ar_result);
        it = all.erase(it);
    }
}

addrinfo baseHints() {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    return hints;
}

std::vector<Address> addressesOf(addrinfo* found) {
    std::vector<Address> addresses;
    for (const addrinfo* a = found; a; a = a->ai_next)
        addresses.push_back(
            {a->ai_family, a->ai_socktype, a->ai_protocol,
             std::string(reinterpret_cast<const char*>(a->ai_addr), a->ai_addrlen)});
    ::freeaddrinfo(found);
    return addresses;
}

int wait(Handle socket, short events, int ms) {
    pollfd p{static_cast<int>(socket), events, 0};
    int n;
    while ((n = ::poll(&p, 1, ms)) < 0 && errno == EINTR) {
    }
    return n;
}

}  // namespace

std::vector<Address> resolve(const std::string& host, std::uint16_t port, Deadline deadline,
                             NetworkFailure& failure) {
    reapAbandoned();
    const std::string service = std::to_string(port);
    // An address given as such needs no resolver.
    addrinfo numeric = baseHints();
    numeric.ai_flags |= AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), service.c_str(), &numeric, &found) == 0)
        return addressesOf(found);

    auto lookup = std::make_unique<Lookup>();
    lookup->host = host;
    lookup->service = service;
    lookup->hints = baseHints();
    lookup->request.ar_name = lookup->host.c_str();
    lookup->request.ar_service = lookup->service.c_str();
    lookup->request.ar_request = &lookup->hints;
    gaicb* list[] = {&lookup->request};
    int status = ::getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr);
    if (status == 0) {
        for (;;) {
            const int left = deadline.msLeft();
            const timespec wait{left / 1000, (left % 1000) * 1000000L};
            const gaicb* const waiting[] = {&lookup->request};
            ::gai_suspend(waiting, 1, &wait);
            status = ::gai_error(&lookup->request);
            if (status != EAI_INPROGRESS || left == 0) break;
        }
    }
    if (status == 0) return addressesOf(std::exchange(lookup->request.ar_result, nullptr));
    if (status == EAI_INPROGRESS) {
        if (::gai_cancel(&lookup->request) != EAI_CANCELED) {
            const std::lock_guard<std::mutex> lock(abandonedMutex);
            abandoned().push_back(std::move(lookup));
        }
        failure = {NetworkFault::TimedOut, "looking up the host " + host + " took too long"};
        return {};
    }
    const bool unknown =
        status == EAI_NONAME || status == EAI_NODATA || status == EAI_FAIL || status == EAI_AGAIN;
    failure = {unknown ? NetworkFault::HostNotFound : NetworkFault::BadAddress,
               "host " + host + " not found (" + ::gai_strerror(status) + ")"};
    return {};
}

Handle open(const Address& address) {
    return ::socket(address.family, address.type | SOCK_NONBLOCK | SOCK_CLOEXEC, address.protocol);
}

int connect(Handle socket, const Address& address, Deadline deadline) {
    const int fd = static_cast<int>(socket);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(address.raw.data()),
                  static_cast<socklen_t>(address.raw.size())) == 0)
        return 0;
    if (errno != EINPROGRESS) return errno;
    if (wait(socket, POLLOUT, deadline.msLeft()) == 0) return ETIMEDOUT;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
}

void tune(Handle socket) {
    const int fd = static_cast<int>(socket);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    // A server whose machine went away without closing is noticed within about half a minute
    // of silence, or 20 s after a write it never acknowledged.
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    const int idle = 15, interval = 5, count = 3;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    const unsigned userTimeoutMs = 20000;
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs);
}

void close(Handle socket) {
    ::close(static_cast<int>(socket));
}

std::ptrdiff_t send(Handle socket, const char* data, std::size_t size) {
    return ::send(static_cast<int>(socket), data, size, MSG_NOSIGNAL);
}

std::ptrdiff_t receive(Handle socket, char* data, std::size_t size) {
    return ::recv(static_cast<int>(socket), data, size, 0);
}

int waitReadable(Handle socket, int ms) {
    return wait(socket, POLLIN, ms);
}

int waitWritable(Handle socket, int ms) {
    return wait(socket, POLLOUT, ms);
}

bool isIpv6Address(const std::string& text) {
    in6_addr six{};
    return ::inet_pton(AF_INET6, text.c_str(), &six) == 1;
}

int lastError() {
    return errno;
}

Error kindOf(int error) {
    switch (error) {
        case EINTR:
            return Error::Interrupted;
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
        case EINPROGRESS:
            return Error::WouldBlock;
        case ECONNREFUSED:
            return Error::Refused;
        case ETIMEDOUT:
            return Error::TimedOut;
        case ECONNRESET:
        case EPIPE:
        case ECONNABORTED:
            return Error::Gone;
        default:
            return Error::Other;
    }
}

std::string textOf(int error) {
    return std::strerror(error);
}

}  // namespace tolvan::sockets
