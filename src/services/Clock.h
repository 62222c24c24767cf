#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tolvan {

// Time as the program sees it. The desktop clock sleeps; the simulated one moves on.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::int64_t nowMs() const = 0;
    // A blocking pause of the user-interface thread: bytes and ticks that fall due meanwhile
    // are handled only after the running handler has returned.
    virtual void pause(int ms) = 0;
};

// A repeating timer on the user-interface thread. A running timer ticks again and again until
// it is stopped; start() on a running timer leaves its current interval alone.
class Timer {
  public:
    virtual ~Timer() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool running() const = 0;
    virtual int intervalMs() const = 0;
};

class TimerFactory {
  public:
    virtual ~TimerFactory() = default;
    virtual std::unique_ptr<Timer> create(const std::string& name, int intervalMs,
                                          std::function<void()> onTick) = 0;
};

}  // namespace tolvan
