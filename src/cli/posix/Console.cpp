#include "cli/Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace tolvan::cli {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

bool inputIsTerminal() {
    return ::isatty(STDIN_FILENO);
}

bool errorsOnLiveTerminal() {
    return ::isatty(STDERR_FILENO);
}

std::size_t terminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 10) return size.ws_col;
    return 80;
}

struct InputWatch::Impl {
    QSocketNotifier notifier{STDIN_FILENO, QSocketNotifier::Read};
};

InputWatch::InputWatch(std::function<void(std::string_view)> onInput)
    : impl_(std::make_unique<Impl>()) {
    QObject::connect(&impl_->notifier, &QSocketNotifier::activated, &impl_->notifier,
                     [onInput = std::move(onInput)] {
                         char buf[256];
                         const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
                         onInput(std::string_view(buf, n > 0 ? static_cast<std::size_t>(n) : 0));
                     });
}

InputWatch::~InputWatch() = default;

}  // namespace tolvan::cli
