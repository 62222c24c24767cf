#include "cli/Answers.h"

#include <QEventLoop>
#include <cctype>
#include <cstdio>
#include <string>

#include "cli/Console.h"
#include "services/Clock.h"

namespace tolvan::cli {

namespace {

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

// The button a typed answer names: its caption or the caption's first letter (any case), or
// y/yes and n/no for Yes and No; 0 for none.
int buttonNamed(const MessageDialog& d, const std::string& typed) {
    const std::string t = lower(trimmed(typed));
    if (t.empty()) return d.defaultCode;
    for (const MessageDialog::Button& b : d.buttons) {
        const std::string caption = lower(b.caption);
        if (t == caption || (t.size() == 1 && !caption.empty() && caption[0] == t[0]))
            return b.code;
    }
    if (t == "y" || t == "yes") return kResultSim;
    if (t == "n" || t == "no") return kResultNao;
    return 0;
}

void say(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace

std::string okPrompt(const MessageDialog& d) {
    return "[" + (d.buttons.empty() ? std::string("OK") : d.buttons.front().caption) +
           ": press Enter] ";
}

int UnattendedAnswers::question(const MessageDialog& d) {
    if (d.id == MessageId::AbandonarConexao)
        return clock_.nowMs() - begun_ >= timeoutMs_ ? kResultSim : kResultNao;
    return d.cancelCode;
}

void UnattendedAnswers::connectionBegins() {
    begun_ = clock_.nowMs();
}

void TerminalAnswers::waitForCable(const MessageDialog& d) {
    if (inputEnded_) return;
    beforePrompt_();
    say(okPrompt(d));
    std::string line;
    inputEnded_ = readLine(line) == Read::EndOfInput;
}

int TerminalAnswers::question(const MessageDialog& d) {
    if (inputEnded_) return unattended_.question(d);
    std::string choices;
    for (const MessageDialog::Button& b : d.buttons)
        choices += (choices.empty() ? "" : "/") + b.caption;
    for (;;) {
        beforePrompt_();
        say("[" + choices + "] ");
        std::string line;
        switch (readLine(line)) {
            case Read::EndOfInput:
                say("\n");
                inputEnded_ = true;
                return unattended_.question(d);
            case Read::Dismissed:
                say("\n");
                return kClosedByTitleBar;
            case Read::Line:
                if (const int code = buttonNamed(d, line)) return code;
                break;
        }
    }
}

void TerminalAnswers::dismiss() {
    dismissed_ = true;
    if (waiting_) waiting_->exit(1);
}

TerminalAnswers::Read TerminalAnswers::readLine(std::string& line) {
    dismissed_ = false;
    QEventLoop loop;
    enum { Waiting, Got, Ended } state = Waiting;
    const InputWatch input([&](std::string_view piece) {
        if (state != Waiting) return;
        if (piece.empty()) {
            state = Ended;
            loop.exit(0);
            return;
        }
        line.append(piece);
        if (const auto end = line.find('\n'); end != std::string::npos) {
            line.erase(end);
            state = Got;
            loop.exit(0);
        }
    });
    waiting_ = &loop;
    // Returns at once, or early, when the program is ending: as if dismissed.
    loop.exec();
    waiting_ = nullptr;
    if (state == Got) return Read::Line;
    if (state == Ended && !dismissed_) return Read::EndOfInput;
    return Read::Dismissed;
}

std::unique_ptr<Answers> makeAnswers(bool yes, Clock& clock, int connectTimeoutS,
                                     std::function<void()> beforePrompt) {
    if (yes || !inputIsTerminal())
        return std::make_unique<UnattendedAnswers>(clock, connectTimeoutS * std::int64_t{1000});
    return std::make_unique<TerminalAnswers>(clock, connectTimeoutS * std::int64_t{1000},
                                             std::move(beforePrompt));
}

}  // namespace tolvan::cli
