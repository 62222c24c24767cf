#pragma once

#include <string>

namespace tolvan {

struct HelpRequest;

// The desktop's own Windows calls behind QtDesktop (made in platform/win32, where Windows'
// headers are): the sibling launcher's window found by its exact title and asked to close, the
// system's beep, and the compiled manual through HtmlHelpA. HHCtrl.OCX is loaded with the object
// (at start) and released with it (at exit); without it, or without HtmlHelpA in it, F1 does
// nothing.
class Win32Desktop {
  public:
    Win32Desktop();
    ~Win32Desktop();
    Win32Desktop(const Win32Desktop&) = delete;
    Win32Desktop& operator=(const Win32Desktop&) = delete;

    static void beep();
    // Sends WM_CLOSE to the top-level window titled exactly `title` (UTF-8). Returns whether
    // such a window was found.
    static bool closeWindowTitled(const std::string& title);
    // HtmlHelpA(active window, request.file, request.command, request.topic).
    void showHelp(const HelpRequest& request);

    bool helpAvailable() const { return htmlHelp_ != nullptr; }

  private:
    void* module_ = nullptr;        // HHCtrl.OCX
    void (*htmlHelp_)() = nullptr;  // its HtmlHelpA, typed where it is called
    bool helpShown_ = false;
};

}  // namespace tolvan
