#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "panel/Controls.h"

namespace tolvan {

class FrmTolvanLink;

// One hidden diagnostic list: a line per byte, "<number>: <HH>". Held as data, drawn by a
// model-based view.
class DiagnosticList {
  public:
    struct Line {
        std::int32_t number;
        std::uint8_t byte;
    };
    std::size_t count() const { return lines_.size(); }
    const Line& line(std::size_t i) const { return lines_[i]; }
    std::string text(std::size_t i) const;
    void add(std::int32_t number, std::uint8_t byte) { lines_.push_back({number, byte}); }
    void clear();
    int itemIndex() const { return itemIndex_; }
    void setItemIndex(int i) { itemIndex_ = i; }

  private:
    std::vector<Line> lines_;
    int itemIndex_ = -1;
};

// The four pairs of lists (file side, device side) bucketed by entry number, the compare and
// clear actions, and the receive log.
class DiagnosticLists {
  public:
    explicit DiagnosticLists(FrmTolvanLink& form) : f_(form) {}

    DiagnosticList ListBox1, ListBox2, ListBox1a, ListBox2a, ListBox1b, ListBox2b, ListBox1c,
        ListBox2c;

    void adicionaArquivo(std::int32_t numero, std::uint8_t byte);
    void adicionaLido(std::int32_t numero, std::uint8_t byte);
    // Compare: the first differing line of each pair is selected in both lists, then "Fim".
    void Button1Click();
    // Clear: empties the eight lists.
    void Button2Click();
    // One receive event's bytes, when the receive log (Memo1) is visible.
    void registraRecepcao(const std::string& textoBytes);

  private:
    FrmTolvanLink& f_;
};

}  // namespace tolvan
