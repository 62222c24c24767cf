#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

class QSocketNotifier;

namespace tolvan {

// The ends of the process that the system asks for: SIGINT (Ctrl-C), SIGTERM (a service
// stopping, a time limit) and SIGHUP (the terminal or the desktop session going away). Each is
// handed to `onInterrupt` on the event loop, never inside the signal handler, so the program ends
// as at any other ending: its files written, its port released. A second signal while that ending
// runs ends the process at once, as if nothing had been caught.
//
// One instance at a time; the signals' former handling comes back when it is destroyed.
class Interruptions : public QObject {
  public:
    explicit Interruptions(std::function<void(int signal)> onInterrupt);
    ~Interruptions() override;
    Interruptions(const Interruptions&) = delete;
    Interruptions& operator=(const Interruptions&) = delete;

    // The signal taken, or 0.
    int signal() const { return signal_; }

    // The signal's name, "SIGTERM".
    static std::string nameOf(int signal);
    // What a process ended by `signal` reports: 128 + its number (130, 143, 129).
    static int exitStatusFor(int signal) { return 128 + signal; }
    // Passes `signal` on to the process `pid` (a bench's child).
    static void passOn(long long pid, int signal);
    // In a child process about to run this program: the three signals wait, blocked, until its
    // own Interruptions take them, so that one passed on while it starts up is not lost with
    // the run's files.
    static void holdForChild();

  private:
    void readPending();

    std::function<void(int)> onInterrupt_;
    std::unique_ptr<QSocketNotifier> notifier_;
    int signal_ = 0;
};

}  // namespace tolvan
