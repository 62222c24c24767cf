#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "services/DiagnosticList.h"

namespace tolvan {

class Dialogs;
class Memo;
class ViewNotifier;

// Entry numbers that end buckets 1 to 3; bucket 4 takes every later entry.
inline constexpr std::array<std::int32_t, 3> kFimDosBaldes = {32700, 65400, 98100};
// The bucket (0 to 3) of an entry number counted from 1.
int baldeDe(std::int32_t numero);

// The four pairs of lists (file side, device side) bucketed by entry number, the compare and
// clear actions, and the receive log. The view is told of changes once per batch of lines.
class DiagnosticLists {
  public:
    DiagnosticLists(Memo& memo1, ViewNotifier& view, Dialogs& dialogs)
        : memo1_(memo1), view_(view), dialogs_(dialogs) {}

    DiagnosticList ListBox1, ListBox2, ListBox1a, ListBox2a, ListBox1b, ListBox2b, ListBox1c,
        ListBox2c;

    // The file-side and device-side list of bucket 0 to 3.
    DiagnosticList& ladoArquivo(int balde);
    DiagnosticList& ladoLido(int balde);

    // Adds a kept file byte / a byte read back, by its entry number from 1. The view hears of
    // it at the next notifica() (the end of the file read, the receive log of the event).
    void adicionaArquivo(std::int32_t numero, std::uint8_t byte);
    void adicionaLido(std::int32_t numero, std::uint8_t byte);
    // Room for `bytes` more file-side lines from entry `primeiro` on, before a long read.
    void reservaArquivo(std::int32_t primeiro, std::size_t bytes);
    // Tells the view once about every line added since the last time.
    void notifica();

    // Compare: the first differing line of each pair is selected in both lists, then "Fim".
    void Button1Click();
    // Clear: empties the eight lists.
    void Button2Click();
    // One receive event's bytes, when the receive log (Memo1) is visible.
    void registraRecepcao(const std::string& textoBytes);

  private:
    Memo& memo1_;
    ViewNotifier& view_;
    Dialogs& dialogs_;
    bool pendente_ = false;
};

}  // namespace tolvan
