#pragma once

#include <filesystem>
#include <string>

namespace tolvan {

struct HelpRequest {
    std::string file;  // the manual's path followed by ">" and the window type, as built
    std::filesystem::path manual;  // the manual file on this machine
    int command = 0;               // 0: display a topic
    std::string topic;
};

// Services of the desktop around the main window.
class Desktop {
  public:
    virtual ~Desktop() = default;
    virtual void beep() = 0;
    virtual void showHelp(const HelpRequest& request) = 0;
    // Sends the standard close request to the top-level window titled exactly `title`.
    // Returns whether such a window was found.
    virtual bool closeWindowTitled(const std::string& title) = 0;
    virtual void setBusyCursor(bool busy) = 0;
    // Ends the program once control is back in the main event loop.
    virtual void quit() = 0;
    // A failure that no handler caught: the platform's standard error report.
    virtual void reportError(const std::string& text) = 0;
};

}  // namespace tolvan
