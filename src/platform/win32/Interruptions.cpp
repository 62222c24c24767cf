#include "platform/Interruptions.h"

#include <windows.h>

#include <QMetaObject>
#include <atomic>
#include <stdexcept>

namespace tolvan {

namespace {

// How long the handler holds back the system's end of the process after the console closed,
// the operator logged off or the system shuts down, so that the ending can write its files;
// Windows itself ends the process a few seconds later anyway.
constexpr DWORD kEndingMs = 4000;

// The one instance, and what the handler (on a thread of the system's) shares with it.
std::atomic<Interruptions*> current{nullptr};
std::atomic<int> taken{0};
HANDLE endingDone = nullptr;

int signalFor(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            return Interruptions::kInterrupt;
        case CTRL_BREAK_EVENT:
            return Interruptions::kTerminate;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            return Interruptions::kHangUp;
        default:
            return 0;
    }
}

}  // namespace

// The console's handler, on a thread of the system's; a member for its way to take().
struct Interruptions::Watch {
    static BOOL WINAPI onConsoleEvent(DWORD event) {
        const int signal = signalFor(event);
        Interruptions* to = current.load();
        if (signal == 0 || to == nullptr) return FALSE;
        int none = 0;
        // Another event while the first one's ending runs: the process ends now.
        if (!taken.compare_exchange_strong(none, signal)) ::ExitProcess(128 + signal);
        QMetaObject::invokeMethod(
            to, [to, signal] { to->take(signal); }, Qt::QueuedConnection);
        // When this returns after these three, Windows ends the process: the ending runs first.
        if (signal == Interruptions::kHangUp) ::WaitForSingleObject(endingDone, kEndingMs);
        return TRUE;
    }
};

Interruptions::Interruptions(std::function<void(int signal)> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
    Interruptions* none = nullptr;
    if (!current.compare_exchange_strong(none, this))
        throw std::logic_error("Interruptions: one instance at a time");
    taken = 0;
    if (!endingDone) endingDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::ResetEvent(endingDone);
    ::SetConsoleCtrlHandler(Watch::onConsoleEvent, TRUE);
}

Interruptions::~Interruptions() {
    ::SetConsoleCtrlHandler(Watch::onConsoleEvent, FALSE);
    current = nullptr;
    // The program has ended what it was doing: a console closing may end the process now.
    ::SetEvent(endingDone);
}

void Interruptions::take(int number) {
    signal_ = number;
    onInterrupt_(signal_);
}

void Interruptions::passOn(long long pid, int signal) {
    // A console event reaches another process only as its process group's Ctrl-Break (Ctrl-C
    // cannot be sent to a group): the child must have been started with
    // CREATE_NEW_PROCESS_GROUP, its id being the group's, and takes Ctrl-Break as SIGTERM.
    (void)signal;
    if (pid > 0) ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(pid));
}

void Interruptions::holdForChild() {
    // Nothing to hold on Windows: a console event is not queued for later like a blocked
    // signal, and a child started in a process group of its own gets none until its parent
    // sends one (passOn).
}

}  // namespace tolvan
