#include "services/Controls.h"

namespace tolvan {

const std::string& ListBox::item(int i) const {
    static const std::string none;
    if (i < 0 || i >= count()) return none;
    return items_[static_cast<std::size_t>(i)];
}

void ListBox::clear() {
    items_.clear();
    itemIndex_ = -1;
    changed();
}

void ListBox::add(std::string line) {
    items_.push_back(std::move(line));
    changed();
}

void ListBox::setItem(int i, std::string line) {
    if (i < 0 || i >= count()) return;
    items_[static_cast<std::size_t>(i)] = std::move(line);
    changed();
}

void ListBox::setItemIndex(int i) {
    if (i < 0 || i >= count()) i = -1;
    set(itemIndex_, i);
}

void Memo::addLine(std::string line) {
    lines_.push_back(std::move(line));
    changed();
}

}  // namespace tolvan
