#pragma once

#include <functional>

#include "services/Desktop.h"
#ifdef _WIN32
#include "platform/Win32Desktop.h"
#else
#include "platform/HelpViewer.h"
#endif

namespace tolvan {

// The desktop services on Qt and X11. Without an X display (native Wayland) the sibling
// launcher's window cannot be reached: the first attempt says so on standard error. On Windows
// the window, the beep and the manual are the system's own calls (Win32Desktop).
class QtDesktop : public Desktop {
  public:
    void beep() override;
    void showHelp(const HelpRequest& request) override;
    bool closeWindowTitled(const std::string& title) override;
    void setBusyCursor(bool busy) override;
    // Every running event loop is told to exit, nested ones included; a loop started later
    // returns at once. Asked before the main loop runs, the main loop ends as soon as it starts.
    void quit() override;
    void reportError(const std::string& text) override;

    bool quitRequested() const { return quitRequested_; }

  private:
#ifdef _WIN32
    Win32Desktop native_;
#else
    HelpViewer help_;
    bool toldNoX11_ = false;
#endif
    bool busy_ = false;
    bool quitRequested_ = false;
};

}  // namespace tolvan
