#pragma once

#include <QJsonObject>
#include <functional>
#include <string>

#include "services/Dialogs.h"

namespace tolvan::cli {

class Answers;

// The program's dialogs without a window: each message becomes an event (shown on the
// terminal or as JSON), in the title and text the core gave it; the cable message and the
// questions are answered by `answers`. Nothing here runs without a window: the about box and the
// port dialogs are never asked for, and the serial layer's port choice is cancelled.
class TerminalDialogs : public Dialogs {
  public:
    TerminalDialogs(std::function<void(const QJsonObject&)> publish, Answers& answers)
        : publish_(std::move(publish)), answers_(answers) {}

    int showMessage(const MessageDialog& dialog) override;
    // Only a question waits on the terminal; it has nothing left to decide.
    void dismissMessage() override;
    void showPlainMessage(const std::string& text) override;
    void showAbout(AboutBox&) override {}
    void showPortDialog(PortDialog&) override {}
    std::optional<std::string> showSelectPort(const SelectPortRequest&) override {
        return std::nullopt;
    }

  private:
    std::function<void(const QJsonObject&)> publish_;
    Answers& answers_;
};

}  // namespace tolvan::cli
