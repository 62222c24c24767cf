#include "platform/TcpConnect.h"

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
#include <vector>

namespace tolvan {

namespace {

using std::chrono::steady_clock;

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

// The addresses of `host`; null with the failure when there are none by the deadline.
addrinfo* resolve(const std::string& host, std::uint16_t port, Deadline deadline,
                  NetworkFailure& failure) {
    reapAbandoned();
    const std::string service = std::to_string(port);
    // An address given as such needs no resolver.
    addrinfo numeric = baseHints();
    numeric.ai_flags |= AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), service.c_str(), &numeric, &found) == 0) return found;

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
    if (status == 0) return std::exchange(lookup->request.ar_result, nullptr);
    if (status == EAI_INPROGRESS) {
        if (::gai_cancel(&lookup->request) != EAI_CANCELED) {
            const std::lock_guard<std::mutex> lock(abandonedMutex);
            abandoned().push_back(std::move(lookup));
        }
        failure = {NetworkFault::TimedOut, "looking up the host " + host + " took too long"};
        return nullptr;
    }
    const bool unknown =
        status == EAI_NONAME || status == EAI_NODATA || status == EAI_FAIL || status == EAI_AGAIN;
    failure = {unknown ? NetworkFault::HostNotFound : NetworkFault::BadAddress,
               "host " + host + " not found (" + ::gai_strerror(status) + ")"};
    return nullptr;
}

void tune(int fd) {
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

// 0 once connected, else the error (ETIMEDOUT when the deadline passed first).
int connectOne(int fd, const addrinfo& a, Deadline deadline) {
    if (::connect(fd, a.ai_addr, a.ai_addrlen) == 0) return 0;
    if (errno != EINPROGRESS) return errno;
    pollfd p{fd, POLLOUT, 0};
    int n;
    while ((n = ::poll(&p, 1, deadline.msLeft())) < 0 && errno == EINTR) {
    }
    if (n == 0) return ETIMEDOUT;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
}

}  // namespace

int Deadline::msLeft() const {
    const auto left = at - steady_clock::now();
    if (left <= steady_clock::duration::zero()) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

int connectTcp(const std::string& host, std::uint16_t port, Deadline deadline,
               NetworkFailure& failure) {
    addrinfo* addresses = resolve(host, port, deadline, failure);
    if (!addresses) return -1;
    int lastError = ECONNREFUSED;
    int fd = -1;
    for (const addrinfo* a = addresses; a && fd < 0; a = a->ai_next) {
        const int s =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) {
            lastError = errno;
            continue;
        }
        lastError = connectOne(s, *a, deadline);
        if (lastError == 0) {
            fd = s;
        } else {
            ::close(s);
            if (lastError == ETIMEDOUT) break;  // no time is left for the others
        }
    }
    ::freeaddrinfo(addresses);
    if (fd >= 0) {
        tune(fd);
        return fd;
    }
    if (lastError == ECONNREFUSED) {
        failure = {NetworkFault::Refused, "refused the connection"};
    } else if (lastError == ETIMEDOUT) {
        failure = {NetworkFault::TimedOut, "did not answer the connection in time"};
    } else {
        // Unreachable networks and hosts say so at once: the machine cannot be got at.
        failure = {NetworkFault::TimedOut,
                   std::string("cannot be reached (") + std::strerror(lastError) + ")"};
    }
    return -1;
}

bool sendAll(int fd, std::string_view bytes, Deadline deadline) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, deadline.msLeft()) <= 0) return false;
            continue;
        }
        return false;
    }
    return true;
}

}  // namespace tolvan
