#pragma once

#include <functional>
#include <string>

#include "services/Desktop.h"

namespace tolvan::cli {

// The desktop services without a desktop: no sound, no manual, no cursor, no other windows.
// quit() ends the event loop; errors go to `report` (standard error).
class HeadlessDesktop : public Desktop {
  public:
    explicit HeadlessDesktop(std::function<void(const std::string&)> report)
        : report_(std::move(report)) {}
    void beep() override {}
    void showHelp(const HelpRequest&) override {}
    bool closeWindowTitled(const std::string&) override { return false; }
    void setBusyCursor(bool) override {}
    // Every running event loop is told to exit; asked before the main loop runs, the main loop
    // ends as soon as it starts.
    void quit() override;
    void reportError(const std::string& text) override { report_(text); }

  private:
    std::function<void(const std::string&)> report_;
};

}  // namespace tolvan::cli
