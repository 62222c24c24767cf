#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace tolvan::bench {

// A TCP relay on 127.0.0.1 that holds every piece of data for a fixed delay in each direction,
// as a longer network would: what arrives at one end leaves at the other `delay` later, in
// order. Connections are taken one after another; each is relayed to 127.0.0.1:`upstream`.
// It runs on a thread of its own until destroyed.
class DelayProxy {
  public:
    DelayProxy(std::uint16_t upstream, std::chrono::milliseconds delay);
    ~DelayProxy();
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    std::uint16_t port() const { return port_; }

  private:
    void run();
    // Relays one accepted connection until either end closes or the proxy stops.
    void relay(int client);

    std::uint16_t upstream_;
    std::chrono::milliseconds delay_;
    int listener_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::thread thread_;
};

}  // namespace tolvan::bench
