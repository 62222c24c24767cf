#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "services/Dialogs.h"

class QEventLoop;

namespace tolvan {
class Clock;
}

namespace tolvan::cli {

// Who answers the messages that wait for the operator: the cable message (OK once the cable
// is back) and the questions.
class Answers {
  public:
    virtual ~Answers() = default;
    // The cable message (unplug, OK, plug in again): returns once the operator has said OK.
    virtual void waitForCable(const MessageDialog& dialog) = 0;
    // A Yes/No question: the result code of the button chosen.
    virtual int question(const MessageDialog& dialog) = 0;
    // The question open has nothing left to decide (the handshake ended meanwhile): it returns
    // kClosedByTitleBar.
    virtual void dismiss() {}
    // The connection attempt begins now: the link polls start.
    virtual void connectionBegins() {}
};

// Unattended: the cable message does not wait; the question whether to abandon the connection
// is answered No until `timeoutMs` have passed since the attempt began, then Yes; any other
// question gets its cancel button (No).
class UnattendedAnswers : public Answers {
  public:
    UnattendedAnswers(Clock& clock, std::int64_t timeoutMs)
        : clock_(clock), timeoutMs_(timeoutMs) {}
    void waitForCable(const MessageDialog&) override {}
    int question(const MessageDialog& dialog) override;
    void connectionBegins() override;

  private:
    Clock& clock_;
    std::int64_t timeoutMs_;
    std::int64_t begun_ = 0;
};

// The operator at the terminal: the cable message waits for Enter, a question for an answer
// typed on standard input, while the event loop goes on (as a modal dialog's does). Once the
// input has ended (Ctrl-D), the questions are answered as unattended. `beforePrompt` runs before
// anything is asked (the live lines step aside).
class TerminalAnswers : public Answers {
  public:
    TerminalAnswers(Clock& clock, std::int64_t timeoutMs, std::function<void()> beforePrompt)
        : unattended_(clock, timeoutMs), beforePrompt_(std::move(beforePrompt)) {}
    void waitForCable(const MessageDialog& dialog) override;
    int question(const MessageDialog& dialog) override;
    void dismiss() override;
    void connectionBegins() override { unattended_.connectionBegins(); }

  private:
    enum class Read { Line, EndOfInput, Dismissed };
    // Reads one line of standard input into `line`, running the event loop meanwhile.
    Read readLine(std::string& line);

    UnattendedAnswers unattended_;
    bool inputEnded_ = false;
    std::function<void()> beforePrompt_;
    QEventLoop* waiting_ = nullptr;
    bool dismissed_ = false;
};

// What the terminal asks for a message with an OK button: "[OK: press Enter] ".
std::string okPrompt(const MessageDialog& dialog);

// Unattended when asked to be, or when standard input is no terminal to ask on.
std::unique_ptr<Answers> makeAnswers(bool yes, Clock& clock, int connectTimeoutS,
                                     std::function<void()> beforePrompt);

}  // namespace tolvan::cli
