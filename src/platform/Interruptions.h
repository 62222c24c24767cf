#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

namespace tolvan {

// The ends of the process that the system asks for: SIGINT (Ctrl-C), SIGTERM (a service
// stopping, a time limit; Ctrl-Break on Windows) and SIGHUP (the terminal or the desktop session
// going away; on Windows the console closing, the operator logging off, the system shutting
// down), numbered as POSIX numbers them on every system. Each is
// handed to `onInterrupt` on the event loop, never inside the signal handler, so the program ends
// as at any other ending: its files written, its port released. A second signal while that ending
// runs ends the process at once, as if nothing had been caught.
//
// One instance at a time; the signals' former handling comes back when it is destroyed.
class Interruptions : public QObject {
  public:
    static constexpr int kInterrupt = 2;   // SIGINT
    static constexpr int kTerminate = 15;  // SIGTERM
    static constexpr int kHangUp = 1;      // SIGHUP

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
    // How this system brings an ending to the event loop.
    struct Watch;

    // Ending `number` has reached the event loop: the first is handed on, another ends the
    // process at once.
    void take(int number);

    std::function<void(int)> onInterrupt_;
    std::unique_ptr<Watch> watch_;
    int signal_ = 0;
};

}  // namespace tolvan
