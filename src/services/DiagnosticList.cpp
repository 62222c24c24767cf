#include "services/DiagnosticList.h"

#include <algorithm>
#include <iterator>

namespace tolvan {

DiagnosticList::Line DiagnosticList::line(std::size_t i) const {
    // The last run that starts at or before line i.
    const auto run = std::prev(std::upper_bound(
        runs_.begin(), runs_.end(), i, [](std::size_t l, const Run& r) { return l < r.first; }));
    return {run->number + static_cast<std::int32_t>(i - run->first), bytes_[i]};
}

std::string DiagnosticList::text(std::size_t i) const {
    const Line l = line(i);
    static constexpr char kDigitos[] = "0123456789ABCDEF";
    return std::to_string(l.number) + ": " + kDigitos[l.byte >> 4] + kDigitos[l.byte & 0x0F];
}

void DiagnosticList::add(std::int32_t number, std::uint8_t byte) {
    const bool continues =
        !runs_.empty() &&
        static_cast<std::int64_t>(number) ==
            runs_.back().number + static_cast<std::int64_t>(bytes_.size() - runs_.back().first);
    if (!continues) runs_.push_back({bytes_.size(), number});
    bytes_.push_back(byte);
}

void DiagnosticList::clear() {
    bytes_.clear();
    bytes_.shrink_to_fit();
    runs_.clear();
    itemIndex_ = -1;
}

void DiagnosticList::setItemIndex(int i) {
    itemIndex_ = (i < 0 || static_cast<std::size_t>(i) >= bytes_.size()) ? -1 : i;
}

}  // namespace tolvan
