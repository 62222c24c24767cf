#pragma once

#include <string>
#include <string_view>

namespace tolvan {

// The text without the blanks and control characters (codes 0 to 32) at either end.
std::string_view TrimView(std::string_view text);
inline std::string Trim(std::string_view text) {
    return std::string(TrimView(text));
}

}  // namespace tolvan
