#pragma once

#include <QImage>

namespace tolvan::gui {

// The pictures stored with the windows: the front panel, the three pictures of each key, the
// about box's product picture and the splash window's icon; and the program's icon. A picture
// that is not there is a null image (a program built without tolvan_artwork).
struct KeyPictures {
    QImage up, down, mouseOver;
};

struct PanelArtwork {
    QImage panel;  // 589 x 288
    KeyPictures btnUp, btnDown, btnRetorna, btnConfirma;
    QImage about;  // 359 x 286
    QImage icon;   // 35 x 35, the splash window's
    QImage programIcon;

    static PanelArtwork load();
};

}  // namespace tolvan::gui
