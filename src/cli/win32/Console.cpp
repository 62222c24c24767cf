#include "cli/Console.h"

#include <windows.h>
//
#include <shellapi.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <deque>
#include <mutex>
#include <thread>

namespace tolvan::cli {

namespace {

std::string narrow(const wchar_t* text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.pop_back();  // the terminating NUL
    return out;
}

bool isConsole(DWORD which) {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(which), &mode) != 0;
}

// Standard input as one thread of the process reads it: a console's ReadFile waits for a whole
// line and cannot wait beside the event loop. What it reads waits here for a watch; the thread
// lives as long as the process (a read cannot be called off).
struct InputQueue {
    std::mutex lock;
    std::deque<std::string> pieces;  // an empty piece: the input ended
    bool reading = false;
    std::function<void(std::string_view)>* listener = nullptr;  // the loop's side only

    // On the loop: hands what waits to the watch there is.
    void deliver() {
        for (;;) {
            std::string piece;
            {
                const std::lock_guard guard(lock);
                if (!listener || pieces.empty()) return;
                piece = std::move(pieces.front());
                pieces.pop_front();
            }
            (*listener)(piece);
        }
    }

    void startReading() {
        const std::lock_guard guard(lock);
        if (reading) return;
        reading = true;
        std::thread([this] {
            const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
            for (;;) {
                char buf[256];
                DWORD n = 0;
                const bool got = ::ReadFile(input, buf, sizeof buf, &n, nullptr) && n > 0;
                {
                    const std::lock_guard guard(lock);
                    pieces.emplace_back(buf, got ? n : 0);
                }
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(), [this] { deliver(); }, Qt::QueuedConnection);
                if (!got) return;
            }
        }).detach();
    }
};

InputQueue& inputQueue() {
    static InputQueue* queue = new InputQueue;  // never destroyed: its thread may outlive main
    return *queue;
}

}  // namespace

std::vector<std::string> commandLineArguments(int, char**) {
    ::SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; words && i < count; ++i)
        args.push_back(narrow(words[i]));
    ::LocalFree(words);
    return args;
}

bool inputIsTerminal() {
    // A console, not merely a character device (NUL is one too).
    return isConsole(STD_INPUT_HANDLE);
}

bool errorsOnLiveTerminal() {
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!::GetConsoleMode(error, &mode)) return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           ::SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

std::size_t terminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) {
        const int width = info.srWindow.Right - info.srWindow.Left + 1;
        if (width > 10) return static_cast<std::size_t>(width);
    }
    return 80;
}

struct InputWatch::Impl {
    std::function<void(std::string_view)> onInput;
};

InputWatch::InputWatch(std::function<void(std::string_view)> onInput)
    : impl_(std::make_unique<Impl>(Impl{std::move(onInput)})) {
    InputQueue& queue = inputQueue();
    queue.listener = &impl_->onInput;
    queue.startReading();
    // What came before this watch.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&queue] { queue.deliver(); }, Qt::QueuedConnection);
}

InputWatch::~InputWatch() {
    inputQueue().listener = nullptr;
}

}  // namespace tolvan::cli
