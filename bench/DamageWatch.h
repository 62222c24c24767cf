#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace tolvan::bench {

using Clock = std::chrono::steady_clock;

// Watches an X display from outside: every drawing that lands on the screen (the DAMAGE
// extension on the root window) and the mapping of a top-level window with a given title.
class DamageWatch {
  public:
    DamageWatch(const std::string& display, std::string title);
    ~DamageWatch();
    DamageWatch(const DamageWatch&) = delete;
    DamageWatch& operator=(const DamageWatch&) = delete;

    bool ok() const { return display_ != nullptr && damage_ != 0; }

    // Forgets what was seen so far.
    void reset();
    // Handles the display's events until `until`.
    void pump(Clock::time_point until);

    // When the screen was last drawn on, and whether the titled window has been mapped.
    std::optional<Clock::time_point> lastDamage() const { return lastDamage_; }
    bool mapped() const { return mapped_; }
    int damageEvents() const { return events_; }
    // Every drawing seen since the last reset: when, and the area drawn on the screen.
    struct Drawing {
        Clock::time_point at;
        int x, y, width, height;
    };
    const std::vector<Drawing>& drawings() const { return drawings_; }

  private:
    void handlePending();

    ::_XDisplay* display_ = nullptr;
    std::string title_;
    unsigned long damage_ = 0;
    int damageEventBase_ = 0;
    std::optional<Clock::time_point> lastDamage_;
    bool mapped_ = false;
    int events_ = 0;
    std::vector<Drawing> drawings_;
};

}  // namespace tolvan::bench
