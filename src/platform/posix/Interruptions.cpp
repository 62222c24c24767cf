#include "platform/Interruptions.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace tolvan {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
static_assert(SIGINT == Interruptions::kInterrupt && SIGTERM == Interruptions::kTerminate &&
              SIGHUP == Interruptions::kHangUp);

// The pipe from the handler to the event loop: [0] is read on the loop, [1] written by the
// handler. The handler may touch nothing else.
int pipeEnds[2] = {-1, -1};
struct sigaction formerActions[sizeof kSignals / sizeof kSignals[0]];

sigset_t signalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kSignals)
        sigaddset(&set, s);
    return set;
}

extern "C" void onSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full pipe already holds a signal for the loop.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &number, 1);
    errno = saved;
}

}  // namespace

struct Interruptions::Watch {
    QSocketNotifier notifier{pipeEnds[0], QSocketNotifier::Read};
};

Interruptions::Interruptions(std::function<void(int signal)> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
    if (pipeEnds[0] >= 0) throw std::logic_error("Interruptions: one instance at a time");
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pipeEnds) != 0)
        throw std::runtime_error(std::string("Interruptions: ") + std::strerror(errno));
    watch_ = std::make_unique<Watch>();
    QObject::connect(&watch_->notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char number = 0;
        while (::read(pipeEnds[0], &number, 1) == 1)
            take(number);
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Once taken, the next one of the same signal has its default effect: a second Ctrl-C ends
    // an ending that hangs. SA_RESTART: a read or write under way goes on.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &action, &formerActions[i]);
    // One that came while they were held (holdForChild) is taken now.
    const sigset_t held = signalSet();
    ::sigprocmask(SIG_UNBLOCK, &held, nullptr);
}

Interruptions::~Interruptions() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &formerActions[i], nullptr);
    watch_.reset();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void Interruptions::take(int number) {
    if (signal_ != 0) {
        // Another of the three while the first one's ending runs: the process ends now, as
        // that signal would end it.
        ::signal(number, SIG_DFL);
        ::raise(number);
        return;
    }
    signal_ = number;
    // The other two now end the process at once too.
    for (int s : kSignals)
        if (s != signal_) ::signal(s, SIG_DFL);
    onInterrupt_(signal_);
}

void Interruptions::holdForChild() {
    const sigset_t held = signalSet();
    ::sigprocmask(SIG_BLOCK, &held, nullptr);
}

void Interruptions::passOn(long long pid, int signal) {
    if (pid > 0) ::kill(static_cast<pid_t>(pid), signal);
}

}  // namespace tolvan
