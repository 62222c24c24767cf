#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvan {

// One hidden diagnostic list: a line per byte, "<number>: <HH>". A large image gives millions
// of lines, so they are held as their bytes, one byte a line, with their numbers as runs of
// consecutive numbers (a list fills one entry after another; a new run starts where a new read
// starts numbering again), and rendered on demand for a model-based view.
class DiagnosticList {
  public:
    struct Line {
        std::int32_t number;
        std::uint8_t byte;
        friend bool operator==(const Line&, const Line&) = default;
    };
    std::size_t count() const { return bytes_.size(); }
    Line line(std::size_t i) const;
    std::string text(std::size_t i) const;
    void add(std::int32_t number, std::uint8_t byte);
    // Room for `more` lines beyond those held, so that a long read grows the list once.
    void reserve(std::size_t more) { bytes_.reserve(bytes_.size() + more); }
    // Empties the list; nothing stays selected.
    void clear();
    int itemIndex() const { return itemIndex_; }
    // A selection outside the lines selects nothing, as a list box does.
    void setItemIndex(int i);

  private:
    struct Run {
        std::size_t first;    // the run's first line
        std::int32_t number;  // that line's number
    };
    std::vector<std::uint8_t> bytes_;
    std::vector<Run> runs_;
    int itemIndex_ = -1;
};

}  // namespace tolvan
