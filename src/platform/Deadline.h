#pragma once

#include <chrono>

namespace tolvan {

// A moment by which something must be done.
struct Deadline {
    std::chrono::steady_clock::time_point at;
    static Deadline in(std::chrono::milliseconds span) {
        return {std::chrono::steady_clock::now() + span};
    }
    // What is left, in whole milliseconds rounded up (for poll), never below 0.
    int msLeft() const {
        const auto left = at - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) return 0;
        return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
    }
};

}  // namespace tolvan
