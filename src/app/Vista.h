#pragma once

#include <array>

#include "app/Splash.h"
#include "services/Controls.h"
#include "services/DiagnosticList.h"
#include "services/LedBar.h"

namespace tolvan {

// What the window draws, read-only: the main window's controls as the model holds them, where
// the keyboard focus is, the hidden diagnostic lists and the splash window.
struct Vista {
    const WindowFrame& janela;
    const Picture& ImgTolvanLink;
    const Label& lblMsg;
    const Label& lblFechar;
    const ListBox& lbxVisor;
    const ListBox& lbxSinalizador;
    const Label& lblStatus;
    const ImageButton& btnUp;
    const ImageButton& btnDown;
    const ImageButton& btnRetorna;
    const ImageButton& btnConfirma;
    const Label& lblMsg2;
    const LedBar& iLedBar1;
    const Memo& Memo1;
    const ControlId& foco;
    // ListBox1, ListBox2, ListBox1a, ListBox2a, ListBox1b, ListBox2b, ListBox1c, ListBox2c.
    std::array<const DiagnosticList*, 8> listasDeDiagnostico;
    const Splash& frmCarregando;

    // The display takes the keys: it has the focus and answers.
    bool visorTemFoco() const {
        return foco == ControlId::lbxVisor && lbxVisor.enabled() && lbxVisor.visible();
    }
};

}  // namespace tolvan
