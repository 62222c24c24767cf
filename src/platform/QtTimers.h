#pragma once

#include <functional>
#include <memory>
#include <string>

#include "services/Clock.h"

namespace tolvan {

// The desktop clock: monotonic milliseconds; a pause blocks the user-interface thread.
class QtClock : public Clock {
  public:
    QtClock();
    std::int64_t nowMs() const override;
    void pause(int ms) override;

  private:
    std::int64_t origin_;
};

// Repeating QTimers on the user-interface thread.
class QtTimerFactory : public TimerFactory {
  public:
    std::unique_ptr<Timer> create(const std::string& name, int intervalMs,
                                  std::function<void()> onTick) override;
};

}  // namespace tolvan
