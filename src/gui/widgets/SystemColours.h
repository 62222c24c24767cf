#pragma once

#include <QColor>

namespace tolvan::gui {

// The desktop colours the panel was drawn with, fixed so that it looks the same on every
// desktop theme.
inline const QColor kBtnFace{212, 208, 200};
inline const QColor kBtnShadow{128, 128, 128};
inline const QColor kBtnHighlight{255, 255, 255};
inline const QColor kGrayText{128, 128, 128};
inline const QColor kWindowText{0, 0, 0};

}  // namespace tolvan::gui
