#pragma once

namespace tolvan {

// The splash window TfrmCarregando: created at start-up, never shown, collapsed at the main
// window's first activation.
struct Splash {
    static constexpr int kLargura = 250;
    static constexpr int kAltura = 76;
    int width = kLargura;
    int left = 0;
    bool recolhido = false;
};

}  // namespace tolvan
