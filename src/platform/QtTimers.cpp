#include "platform/QtTimers.h"

#include <QTimer>
#include <chrono>
#include <thread>

#include "platform/HeldOutput.h"

namespace tolvan {

namespace {

std::int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

class QtTimer : public Timer {
  public:
    QtTimer(const std::string& name, int intervalMs, std::function<void()> onTick)
        : interval_(intervalMs), onTick_(std::move(onTick)) {
        timer_.setObjectName(QString::fromStdString(name));
        timer_.setInterval(intervalMs);
        timer_.setSingleShot(false);
        // Coarse Qt timers may fire up to 5 % early: the 5 ms poll would lose its cadence and
        // the 5 s time-out would give up on a device that answers in 4.8 s.
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { tick(); });
    }

    // A running timer keeps its schedule: QTimer::start() would restart the interval.
    void start() override {
        if (!timer_.isActive()) timer_.start();
    }
    void stop() override { timer_.stop(); }
    bool running() const override { return timer_.isActive(); }
    int intervalMs() const override { return interval_; }

  private:
    // The handler may destroy this timer: it runs on a copy.
    void tick() {
        const std::function<void()> handler = onTick_;
        handler();
    }

    int interval_;
    std::function<void()> onTick_;
    QTimer timer_;
};

}  // namespace

QtClock::QtClock() : origin_(steadyMs()) {}

std::int64_t QtClock::nowMs() const {
    return steadyMs() - origin_;
}

void QtClock::pause(int ms) {
    // What a driver holds back goes on its way before the program sleeps.
    heldoutput::sendNow();
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::unique_ptr<Timer> QtTimerFactory::create(const std::string& name, int intervalMs,
                                              std::function<void()> onTick) {
    return std::make_unique<QtTimer>(name, intervalMs, std::move(onTick));
}

}  // namespace tolvan
