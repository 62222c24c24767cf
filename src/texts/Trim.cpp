#include "texts/Trim.h"

namespace tolvan {

std::string_view TrimView(std::string_view text) {
    auto blankOrControl = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && blankOrControl(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blankOrControl(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace tolvan
