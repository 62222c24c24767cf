#include "link/PortDialog.h"

#include "services/PortRegistry.h"

namespace tolvan {

void PortDialog::FormActivate() {
    lines_.clear();
    for (const SerialPortEntry& port : registry_.ports())
        lines_.push_back(port.name);
    while (lines_.size() < 6)
        lines_.emplace_back();
    // The line of the port whose number is Porta; the last one when several read so.
    selected_ = 0;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (numeroDaPorta(lines_[i]) == Porta) selected_ = static_cast<int>(i);
    }
}

void PortDialog::lbxPortaClick(int index) {
    if (index < 0 || index >= static_cast<int>(lines_.size())) return;
    selected_ = index;
    // The clicked port's own number, so that closing the dialog by its title bar keeps the port
    // the operator pointed at; a blank line counts by its position.
    const int numero = numeroDaPorta(lines_[static_cast<std::size_t>(index)]);
    Porta = numero >= 0 ? numero : index + 1;
}

void PortDialog::btnOkClick() {
    int numero = -1;
    if (selected_ >= 0 && selected_ < static_cast<int>(lines_.size())) {
        numero = numeroDaPorta(lines_[static_cast<std::size_t>(selected_)]);
    }
    Porta = numero >= 0 ? numero : 1;
}

}  // namespace tolvan
