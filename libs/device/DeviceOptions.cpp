#include "device/DeviceOptions.h"

#include <charconv>

#include "device/Commands.h"

namespace tolvan::emu {

namespace {

std::optional<int> positive(std::string_view text) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
    return value;
}

}  // namespace

bool FrameSelector::matches(std::uint8_t frameCode, int overall, int ofItsCode) const {
    if (code && *code != frameCode) return false;
    if (!number) return true;
    const int n = code ? ofItsCode : overall;
    return n >= *number && n <= upTo.value_or(*number);
}

std::optional<FrameSelector> FrameSelector::parse(std::string_view text) {
    FrameSelector selector;
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        if (auto n = positive(text)) {
            selector.number = n;
            return selector;
        }
        selector.code = parseCommand(text);
        if (!selector.code) return std::nullopt;
        return selector;
    }
    selector.code = parseCommand(text.substr(0, colon));
    std::string_view numbers = text.substr(colon + 1);
    if (const auto dash = numbers.find('-'); dash != std::string_view::npos) {
        selector.upTo = positive(numbers.substr(dash + 1));
        if (!selector.upTo) return std::nullopt;
        numbers = numbers.substr(0, dash);
    }
    selector.number = positive(numbers);
    if (!selector.code || !selector.number) return std::nullopt;
    if (selector.upTo && *selector.upTo < *selector.number) return std::nullopt;
    return selector;
}

}  // namespace tolvan::emu
