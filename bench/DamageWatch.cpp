#include "DamageWatch.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>

namespace tolvan::bench {

DamageWatch::DamageWatch(const std::string& display, std::string title) : title_(std::move(title)) {
    display_ = XOpenDisplay(display.c_str());
    if (!display_) return;
    int errorBase = 0;
    if (!XDamageQueryExtension(display_, &damageEventBase_, &errorBase)) return;
    const Window root = DefaultRootWindow(display_);
    // Raw rectangles: one event for every drawing, none merged away, no subtracting needed.
    damage_ = XDamageCreate(display_, root, XDamageReportRawRectangles);
    XSelectInput(display_, root, SubstructureNotifyMask);
    XSync(display_, False);
}

DamageWatch::~DamageWatch() {
    if (!display_) return;
    if (damage_) XDamageDestroy(display_, damage_);
    XCloseDisplay(display_);
}

void DamageWatch::reset() {
    handlePending();
    lastDamage_.reset();
    mapped_ = false;
    events_ = 0;
    drawings_.clear();
}

void DamageWatch::handlePending() {
    while (XPending(display_) > 0) {
        XEvent ev;
        XNextEvent(display_, &ev);
        if (ev.type == damageEventBase_ + XDamageNotify) {
            lastDamage_ = Clock::now();
            ++events_;
            const auto& d = reinterpret_cast<const XDamageNotifyEvent&>(ev);
            drawings_.push_back({*lastDamage_, d.area.x, d.area.y, d.area.width, d.area.height});
        } else if (ev.type == MapNotify) {
            char* name = nullptr;
            if (XFetchName(display_, ev.xmap.window, &name) && name) {
                if (title_ == name) mapped_ = true;
                XFree(name);
            }
        }
    }
}

void DamageWatch::pump(Clock::time_point until) {
    if (!ok()) return;
    for (;;) {
        handlePending();
        const auto now = Clock::now();
        if (now >= until) return;
        pollfd p{ConnectionNumber(display_), POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now);
        ::poll(&p, 1, static_cast<int>(left.count()) + 1);
    }
}

}  // namespace tolvan::bench
