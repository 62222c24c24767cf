#pragma once

// The Qt event loop run until something has happened, on every system.
#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace tolvan::test {

// Limits that only keep a broken run from hanging; nothing here measures time.
constexpr int kLimitMs = 5000;

// Runs the event loop until `done` holds (or the limit passes); returns whether it holds.
inline bool runUntil(const std::function<bool()>& done) {
    if (done()) return true;
    QEventLoop loop;
    QTimer check;
    check.setInterval(1);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    QTimer::singleShot(kLimitMs, &loop, &QEventLoop::quit);
    check.start();
    loop.exec();
    return done();
}

// Lets the event loop run a little, to see that nothing keeps happening.
inline void runAWhile(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace tolvan::test
