#pragma once

#include <cstdint>
#include <string>

#include "services/Controls.h"
#include "services/LedBar.h"

namespace tolvan {

// Where a transfer shows how far it has come: the status line, selector mode's caption and the
// LED bar.
struct Progresso {
    Label& lblStatus;
    Label& lblMsg2;
    LedBar& iLedBar1;

    // "[Conectado] Setor: 7/40" and the bar at the sector.
    void mostraSetor(int setorAtual, std::int32_t qtdSetores) const {
        lblStatus.setCaption("[Conectado] Setor: " + std::to_string(setorAtual) + "/" +
                             std::to_string(qtdSetores));
        iLedBar1.setPosition(setorAtual);
    }
};

}  // namespace tolvan
