#pragma once

#include <QImage>

namespace tolvan::gui {

// The pictures stored with the windows: the front panel, the three pictures of each key, the
// about box's product picture and the splash window's icon.
struct KeyPictures {
    QImage up, down, mouseOver;
};

struct PanelArtwork {
    QImage panel;  // 589 x 288
    KeyPictures btnUp, btnDown, btnRetorna, btnConfirma;
    QImage about;  // 359 x 286
    QImage icon;   // 35 x 35

    static PanelArtwork load();
};

}  // namespace tolvan::gui
