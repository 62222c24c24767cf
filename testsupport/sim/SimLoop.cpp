#include "sim/SimLoop.h"

#include <algorithm>

namespace tolvan::sim {

// A timer on the simulated loop. Each scheduled tick carries the generation it was scheduled
// in; stop() moves the generation on, so ticks scheduled before it are dropped.
class SimTimer : public Timer {
  public:
    SimTimer(SimLoop& loop, std::string name, int intervalMs, std::function<void()> onTick)
        : loop_(loop),
          name_(std::move(name)),
          interval_(std::max(1, intervalMs)),
          onTick_(std::move(onTick)),
          alive_(std::make_shared<bool>(true)) {}
    ~SimTimer() override { *alive_ = false; }

    void start() override {
        if (running_) return;
        running_ = true;
        scheduleAt(loop_.nowMs() + interval_);
    }
    void stop() override {
        running_ = false;
        ++generation_;
    }
    bool running() const override { return running_; }
    int intervalMs() const override { return interval_; }

  private:
    void scheduleAt(std::int64_t due) {
        const std::uint64_t gen = generation_;
        std::weak_ptr<bool> alive = alive_;
        loop_.schedule(due, [this, alive, gen, due] {
            if (alive.expired() || !*alive.lock() || !running_ || gen != generation_) return;
            // The next tick follows the schedule; one that has already passed (the thread was
            // blocked) comes a whole interval from now, late ticks are not piled up.
            std::int64_t next = due + interval_;
            if (next <= loop_.nowMs()) next = loop_.nowMs() + interval_;
            scheduleAt(next);
            ++loop_.ticks_[name_];
            onTick_();
        });
    }

    SimLoop& loop_;
    std::string name_;
    int interval_;
    std::function<void()> onTick_;
    bool running_ = false;
    std::uint64_t generation_ = 0;
    std::shared_ptr<bool> alive_;
};

SimLoop::SimLoop() = default;
SimLoop::~SimLoop() = default;

void SimLoop::pause(int ms) {
    if (ms <= 0) return;
    now_ += ms;
    pausedMs_ += ms;
}

std::unique_ptr<Timer> SimLoop::create(const std::string& name, int intervalMs,
                                       std::function<void()> onTick) {
    return std::make_unique<SimTimer>(*this, name, intervalMs, std::move(onTick));
}

void SimLoop::schedule(std::int64_t at, std::function<void()> event) {
    events_.emplace(Key{at, seq_++}, std::move(event));
}

void SimLoop::post(std::int64_t atMs, std::function<void()> event) {
    schedule(std::max(atMs, now_), std::move(event));
}

bool SimLoop::step(std::int64_t limit) {
    if (quitting_ || events_.empty()) return false;
    auto it = events_.begin();
    if (it->first.at > limit) return false;
    now_ = std::max(now_, it->first.at);
    std::function<void()> event = std::move(it->second);
    events_.erase(it);
    event();
    return true;
}

void SimLoop::runUntil(std::int64_t untilMs) {
    while (step(untilMs)) {
    }
    if (!quitting_) now_ = std::max(now_, untilMs);
}

bool SimLoop::runUntil(const std::function<bool()>& done, std::int64_t maxMs) {
    const std::int64_t deadline = now_ + maxMs;
    while (!done()) {
        if (!step(deadline)) {
            if (!quitting_) now_ = std::max(now_, deadline);
            return done();
        }
    }
    return true;
}

int SimLoop::ticks(const std::string& timerName) const {
    auto it = ticks_.find(timerName);
    return it == ticks_.end() ? 0 : it->second;
}

}  // namespace tolvan::sim
