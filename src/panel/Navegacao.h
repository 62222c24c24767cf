#pragma once

#include <memory>
#include <string>

#include "services/Clock.h"
#include "services/Controls.h"

namespace tolvan {

// The front panel's state: which screen the display shows, the window of lines the pointer may
// take, and the system chosen on it.
struct Navegacao {
    explicit Navegacao(std::unique_ptr<Timer> timerMontaTela)
        : TimerMontaTela(std::move(timerMontaTela)) {}

    int Tela = 0;  // 0 main menu, 1 systems, 2 operations, 3 ports
    int LinhaIni = 1;
    int LinhaFim = 2;
    int LinhaSinal = 1;            // the line that carries the pointer
    bool Rolagem = false;          // the system list scrolls over a longer catalogue
    std::string SistemaEscolhido;  // the chosen line, as shown
    std::string SistemaSelecao;    // the system the selection file names (selector mode)

    std::unique_ptr<Timer> TimerMontaTela;  // 500 ms after a connection: the system list
};

// The display and its pointer column, with the title and status lines around them.
struct Visor {
    ListBox& lbxVisor;
    ListBox& lbxSinalizador;
    Label& lblMsg;
    Label& lblStatus;
};

// What the operator presses: the four keys and the close mark.
struct Teclas {
    ImageButton& btnUp;
    ImageButton& btnDown;
    ImageButton& btnRetorna;
    ImageButton& btnConfirma;
    Label& lblFechar;
};

}  // namespace tolvan
