#include "DelayProxy.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <stdexcept>
#include <string>

namespace tolvan::bench {

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

void noDelay(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// The data of one direction waiting for its time.
struct Held {
    Clock::time_point due;
    std::string bytes;
};

}  // namespace

DelayProxy::DelayProxy(std::uint16_t upstream, std::chrono::milliseconds delay)
    : upstream_(upstream), delay_(delay) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    socklen_t length = sizeof a;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0 ||
        ::pipe2(stopPipe_, O_CLOEXEC) != 0)
        throw std::runtime_error("the delay proxy cannot listen");
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { run(); });
}

DelayProxy::~DelayProxy() {
    const char stop = 0;
    if (::write(stopPipe_[1], &stop, 1) < 0) {
        // The thread then ends with the process.
    }
    thread_.join();
    ::close(listener_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

void DelayProxy::run() {
    for (;;) {
        pollfd p[2] = {{stopPipe_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) continue;
        if (p[0].revents) return;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        relay(client);
        ::close(client);
        pollfd stop{stopPipe_[0], POLLIN, 0};
        if (::poll(&stop, 1, 0) > 0) return;
    }
}

void DelayProxy::relay(int client) {
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = loopback(upstream_);
    if (::connect(server, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        ::close(server);
        return;
    }
    noDelay(client);
    noDelay(server);
    const int ends[2] = {client, server};
    std::deque<Held> held[2];  // [0]: from the client, for the server; [1]: the other way
    bool open = true;
    char buffer[4096];
    while (open) {
        int wait = -1;
        for (const auto& queue : held) {
            if (queue.empty()) continue;
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(queue.front().due - Clock::now());
            const int ms = static_cast<int>(std::max<long long>(0, left.count()));
            wait = wait < 0 ? ms : std::min(wait, ms);
        }
        pollfd p[3] = {{stopPipe_[0], POLLIN, 0}, {client, POLLIN, 0}, {server, POLLIN, 0}};
        if (::poll(p, 3, wait) < 0) continue;
        if (p[0].revents) break;
        for (int from = 0; from < 2; ++from) {
            if (!p[from + 1].revents) continue;
            const ssize_t n = ::recv(ends[from], buffer, sizeof buffer, 0);
            if (n <= 0) {
                open = false;
                break;
            }
            held[from].push_back({Clock::now() + delay_, std::string(buffer, n)});
        }
        for (int from = 0; from < 2; ++from) {
            while (!held[from].empty() && held[from].front().due <= Clock::now()) {
                const std::string& bytes = held[from].front().bytes;
                if (::send(ends[1 - from], bytes.data(), bytes.size(), MSG_NOSIGNAL) !=
                    static_cast<ssize_t>(bytes.size()))
                    open = false;
                held[from].pop_front();
            }
        }
    }
    ::close(server);
}

}  // namespace tolvan::bench
