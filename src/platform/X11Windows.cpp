#include "platform/X11Windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <optional>

namespace tolvan {

namespace {

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// A window's title: _NET_WM_NAME (UTF-8) when it has one, else WM_NAME.
std::optional<std::string> titleOf(Display* d, Window w) {
    const Atom netWmName = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, netWmName, 0, 4096, False, utf8, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        std::string title(reinterpret_cast<char*>(data), count);
        XFree(data);
        if (type == utf8 && format == 8) return title;
    }
    XTextProperty prop{};
    if (XGetWMName(d, w, &prop) && prop.value) {
        std::optional<std::string> title;
        char** list = nullptr;
        int n = 0;
        if (Xutf8TextPropertyToTextList(d, &prop, &list, &n) >= Success && list && n > 0) {
            title = list[0];
            XFreeStringList(list);
        } else {
            title = std::string(reinterpret_cast<char*>(prop.value), prop.nitems);
        }
        XFree(prop.value);
        return title;
    }
    return std::nullopt;
}

// Depth-first search under `w`: a window manager puts each top-level client inside a frame, so
// the client may sit a level or two under the root.
std::optional<Window> findTitled(Display* d, Window w, const std::string& title, int depth) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n)) return std::nullopt;
    std::optional<Window> found;
    for (unsigned int i = 0; i < n && !found; ++i) {
        if (titleOf(d, children[i]) == title) found = children[i];
    }
    for (unsigned int i = 0; i < n && !found && depth > 1; ++i) {
        found = findTitled(d, children[i], title, depth - 1);
    }
    if (children) XFree(children);
    return found;
}

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

// A window may go away while it is being looked at; such errors mean "not this one".
class QuietErrors {
  public:
    QuietErrors() : previous_(XSetErrorHandler(ignoreErrors)) {}
    ~QuietErrors() { XSetErrorHandler(previous_); }

  private:
    int (*previous_)(Display*, XErrorEvent*);
};

constexpr int kSearchDepth = 3;

}  // namespace

bool X11Windows::displayReachable() {
    return DisplayPtr(XOpenDisplay(nullptr)) != nullptr;
}

bool X11Windows::windowTitledExists(const std::string& title) {
    DisplayPtr d(XOpenDisplay(nullptr));
    if (!d) return false;
    QuietErrors quiet;
    return findTitled(d.get(), DefaultRootWindow(d.get()), title, kSearchDepth).has_value();
}

bool X11Windows::closeWindowTitled(const std::string& title) {
    DisplayPtr d(XOpenDisplay(nullptr));
    if (!d) return false;
    QuietErrors quiet;
    const std::optional<Window> w =
        findTitled(d.get(), DefaultRootWindow(d.get()), title, kSearchDepth);
    if (!w) return false;
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = *w;
    ev.xclient.message_type = XInternAtom(d.get(), "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(d.get(), "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(d.get(), *w, False, NoEventMask, &ev);
    XSync(d.get(), False);
    return true;
}

}  // namespace tolvan
