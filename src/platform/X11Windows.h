#pragma once

#include <string>

namespace tolvan {

// Top-level windows of the X display ($DISPLAY) found by exact title: _NET_WM_NAME, else
// WM_NAME. Without a display every call finds nothing.
class X11Windows {
  public:
    // Whether an X connection opens on $DISPLAY (an X server or XWayland is there).
    static bool displayReachable();
    // Sends the window titled exactly `title` the standard close request (a WM_PROTOCOLS client
    // message carrying WM_DELETE_WINDOW). Returns whether such a window was found.
    static bool closeWindowTitled(const std::string& title);
    // Whether a window titled exactly `title` exists.
    static bool windowTitledExists(const std::string& title);
};

}  // namespace tolvan
