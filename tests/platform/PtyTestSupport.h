#pragma once

// A pseudo-terminal pair for the test to play the device on.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "EventLoopWait.h"

#include <functional>
#include <string>
#include <string_view>

namespace tolvan::test {

// A pseudo-terminal pair: the test plays the device on the master side.
class Pty {
  public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(master_, 0);
        EXPECT_EQ(::grantpt(master_), 0);
        EXPECT_EQ(::unlockpt(master_), 0);
        slave_ = ::ptsname(master_);
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& slave() const { return slave_; }
    int master() const { return master_; }
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }
    void send(std::string_view bytes) {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Whatever the host has sent that waits now.
    std::string take() {
        std::string out;
        char buf[4096];
        ssize_t n;
        while ((n = ::read(master_, buf, sizeof buf)) > 0)
            out.append(buf, static_cast<std::size_t>(n));
        return out;
    }
    // `count` bytes sent by the host, waiting for them outside any event loop.
    std::string take(std::size_t count) {
        std::string out;
        pollfd pfd{master_, POLLIN, 0};
        while (out.size() < count && ::poll(&pfd, 1, kLimitMs) > 0)
            out += take();
        return out;
    }

  private:
    int master_ = -1;
    std::string slave_;
};

// `count` bytes sent by the host, running the event loop meanwhile: a driver sends what it
// holds when the loop gets control back.
inline std::string takeOnLoop(Pty& pty, std::size_t count) {
    std::string out;
    runUntil([&] {
        out += pty.take();
        return out.size() >= count;
    });
    return out;
}

}  // namespace tolvan::test
