#include "platform/Interruptions.h"

#include <windows.h>

#include <QMetaObject>
#include <QWinEventNotifier>
#include <array>
#include <atomic>
#include <stdexcept>
#include <string>

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

constexpr int kSignals[] = {Interruptions::kInterrupt, Interruptions::kTerminate,
                            Interruptions::kHangUp};

// The event by which another process (a bench) passes `signal` on to process `pid`: a console
// event reaches only the processes of one console, and a bench's children may have none of
// its own (under Wine without a terminal, none at all). Manual-reset, so that one set before
// the process watches it waits until it does.
HANDLE signalEvent(unsigned long pid, int signal) {
    const std::wstring name =
        L"Local\\TolvanLink.signal." + std::to_wstring(pid) + L"." + std::to_wstring(signal);
    return ::CreateEventW(nullptr, TRUE, FALSE, name.c_str());
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

    // The signals passed on by another process, on the loop.
    std::array<HANDLE, 3> events{};
    std::array<std::unique_ptr<QWinEventNotifier>, 3> notifiers;
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
    watch_ = std::make_unique<Watch>();
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        const int signal = kSignals[i];
        watch_->events[i] = signalEvent(::GetCurrentProcessId(), signal);
        if (!watch_->events[i]) continue;
        watch_->notifiers[i] = std::make_unique<QWinEventNotifier>(watch_->events[i]);
        QObject::connect(watch_->notifiers[i].get(), &QWinEventNotifier::activated, this,
                         [this, i, signal] {
                             ::ResetEvent(watch_->events[i]);
                             int none = 0;
                             if (!taken.compare_exchange_strong(none, signal))
                                 ::ExitProcess(128 + signal);
                             take(signal);
                         });
    }
}

Interruptions::~Interruptions() {
    ::SetConsoleCtrlHandler(Watch::onConsoleEvent, FALSE);
    for (std::size_t i = 0; i < watch_->events.size(); ++i) {
        watch_->notifiers[i].reset();
        if (watch_->events[i]) ::CloseHandle(watch_->events[i]);
    }
    current = nullptr;
    // The program has ended what it was doing: a console closing may end the process now.
    ::SetEvent(endingDone);
}

void Interruptions::take(int number) {
    signal_ = number;
    onInterrupt_(signal_);
}

void Interruptions::passOn(long long pid, int signal) {
    // Through the child's event for the signal, which its Interruptions watch (a console's
    // Ctrl-Break would be Ctrl-Break alone, and reaches no child without the bench's console).
    // The handle stays open: the event, set, waits for a child that does not watch it yet.
    if (pid > 0) {
        if (const HANDLE event = signalEvent(static_cast<unsigned long>(pid), signal))
            ::SetEvent(event);
    }
}

void Interruptions::holdForChild() {
    // Nothing to hold on Windows: a signal passed on (passOn) waits in its event until the
    // child's Interruptions watch it.
}

}  // namespace tolvan
