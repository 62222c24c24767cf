#pragma once

#include <string>
#include <vector>

#include "link/PortName.h"

namespace tolvan {

class PortRegistry;

// The port dialog TfrmPorta: the machine's ports in a list, the chosen port number in Porta.
class PortDialog {
  public:
    explicit PortDialog(PortRegistry& registry) : registry_(registry) {}

    int Porta = 0;

    const std::vector<std::string>& lines() const { return lines_; }  // lbxPorta
    int selected() const { return selected_; }

    // Fills the list from the port list, pads it to six lines and preselects Porta's line.
    void FormActivate();
    // A click on line `index`.
    void lbxPortaClick(int index);
    // OK: Porta from the selected line (1 when none can be read); the dialog closes.
    void btnOkClick();

  private:
    PortRegistry& registry_;
    std::vector<std::string> lines_;
    int selected_ = -1;
};

}  // namespace tolvan
