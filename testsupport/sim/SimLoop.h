#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "services/Clock.h"

namespace tolvan::sim {

// A simulated user-interface thread with a simulated clock. Events (timer ticks, bytes arriving
// on the line) are handled one at a time in the order of their due times; a blocking pause moves
// the clock on without handling anything, so what fell due meanwhile is handled afterwards. A
// modal dialog may run the loop nested, as a real modal dialog runs its own event loop.
class SimLoop : public Clock, public TimerFactory {
  public:
    SimLoop();
    ~SimLoop() override;

    std::int64_t nowMs() const override { return now_; }
    void pause(int ms) override;
    std::unique_ptr<Timer> create(const std::string& name, int intervalMs,
                                  std::function<void()> onTick) override;

    // An outside event due at `atMs` (at once when that has passed).
    void post(std::int64_t atMs, std::function<void()> event);
    // Handles every event due up to `untilMs`, then stands at `untilMs`.
    void runUntil(std::int64_t untilMs);
    void runFor(std::int64_t ms) { runUntil(now_ + ms); }
    // Handles events until `done` holds or `maxMs` have passed; returns whether it holds.
    bool runUntil(const std::function<bool()>& done, std::int64_t maxMs);
    // The program ends: no further event is handled, here or in any nested loop.
    void quit() { quitting_ = true; }
    bool quitting() const { return quitting_; }

    // Number of ticks each timer has had, by name.
    int ticks(const std::string& timerName) const;
    // Total time spent in blocking pauses.
    std::int64_t pausedMs() const { return pausedMs_; }

  private:
    friend class SimTimer;
    struct Key {
        std::int64_t at;
        std::uint64_t seq;
        bool operator<(const Key& o) const { return at != o.at ? at < o.at : seq < o.seq; }
    };
    void schedule(std::int64_t at, std::function<void()> event);
    // Handles the earliest event if it is due by `limit`; false when none is.
    bool step(std::int64_t limit);

    std::int64_t now_ = 0;
    std::uint64_t seq_ = 0;
    std::int64_t pausedMs_ = 0;
    bool quitting_ = false;
    std::map<Key, std::function<void()>> events_;
    std::map<std::string, int> ticks_;
};

}  // namespace tolvan::sim
