#pragma once

namespace tolvan::gui {

// Chooses Qt's platform before the application object exists. The sibling launcher's window,
// the window region and centring are X11's, so with an X display reachable ($DISPLAY, XWayland
// included) the program runs on X11 even inside a Wayland session, and on native Wayland only
// when no X display is there. A QT_QPA_PLATFORM set by the user is left as it is.
// Returns false, after one line on standard error, when no display can be reached at all.
bool choosePlatform();
// Once Qt has started: takes back a platform that choosePlatform set, so that programs started
// from this one (the manual's viewer) choose their own.
void forgetChosenPlatform();

// Whether the compositor of $WAYLAND_DISPLAY (wayland-0 when unset; under $XDG_RUNTIME_DIR
// unless it is an absolute path) accepts a connection, as the Wayland client library finds it.
bool waylandReachable();

}  // namespace tolvan::gui
