#include <gtest/gtest.h>

#include <vector>

#include "sim/SimLoop.h"
#include "sim/SimSerial.h"

namespace tolvan::sim {
namespace {

TEST(SimLoopTest, RunningTimerTicksUntilStoppedAndStartDoesNotRestartIt) {
    SimLoop loop;
    std::vector<std::int64_t> at;
    auto timer = loop.create("t", 100, [&] { at.push_back(loop.nowMs()); });
    timer->start();
    loop.runFor(50);
    timer->start();  // already running: the interval under way goes on
    loop.runFor(200);
    EXPECT_EQ(at, (std::vector<std::int64_t>{100, 200}));
    timer->stop();
    loop.runFor(500);
    EXPECT_EQ(at.size(), 2u);
    timer->start();  // a stopped timer counts afresh
    loop.runFor(100);
    EXPECT_EQ(at.back(), 850);
}

TEST(SimLoopTest, PauseHoldsEverythingBackAndLateTicksDoNotPileUp) {
    SimLoop loop;
    std::vector<std::int64_t> ticks;
    std::unique_ptr<Timer> timer;
    bool paused = false;
    timer = loop.create("t", 10, [&] {
        ticks.push_back(loop.nowMs());
        if (!paused) {
            paused = true;
            loop.pause(45);  // blocks the thread through four intervals
        }
    });
    timer->start();
    loop.runFor(100);
    // One late tick at 55, then the schedule goes on from there.
    ASSERT_GE(ticks.size(), 3u);
    EXPECT_EQ(ticks[0], 10);
    EXPECT_EQ(ticks[1], 55);
    EXPECT_EQ(ticks[2], 65);
}

TEST(SimLoopTest, NestedLoopKeepsHandlingEventsWhileAHandlerWaits) {
    SimLoop loop;
    int inner = 0;
    auto ticker = loop.create("ticker", 10, [&] { ++inner; });
    loop.post(5, [&] {
        ticker->start();
        loop.runFor(100);  // a modal dialog open for 100 ms
        ticker->stop();
    });
    loop.runFor(1000);
    EXPECT_EQ(inner, 10);
}

TEST(SimLoopTest, QuitStopsEveryLoop) {
    SimLoop loop;
    int after = 0;
    loop.post(10, [&] { loop.quit(); });
    loop.post(20, [&] { ++after; });
    loop.runFor(100);
    EXPECT_EQ(after, 0);
}

class CountingListener : public SerialDriver::Listener {
  public:
    explicit CountingListener(SimSerialDriver& d) : driver(d) {}
    void bytesArrived() override { events.push_back(driver.takeReceived()); }
    SimSerialDriver& driver;
    std::vector<std::string> events;
};

TEST(SimSerialTest, BytesThatArriveWhileTheHostIsBlockedAreTakenTogether) {
    SimLoop loop;
    SimSerialDriver driver(loop);
    driver.addDevice("/dev/x");
    std::string error;
    ASSERT_TRUE(driver.open("/dev/x", error));
    CountingListener listener(driver);
    driver.setListener(&listener);
    driver.deliver("a", 10);
    driver.deliver("b", 20);
    loop.post(5, [&] { loop.pause(30); });
    driver.deliver("c", 60);
    loop.runFor(100);
    EXPECT_EQ(listener.events, (std::vector<std::string>{"ab", "c"}));
}

}  // namespace
}  // namespace tolvan::sim
