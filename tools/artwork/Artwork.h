#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <vector>

namespace tolvan::artwork {

enum class Glyph { Up, Down, Return, Confirm };
enum class KeyLook { Normal, Pressed, Hover };

// One of the panel's keys: its control's name and place on the front panel.
struct KeySpec {
    QString name;
    QRect place;
    Glyph glyph;
};

// The four keys where the window puts them.
const std::vector<KeySpec>& panelKeys();

// The front panel behind the controls, 589 x 288.
QImage drawPanel();
// A key's picture, drawn over the panel's pixels at its place so that its corners blend in.
QImage drawKey(const KeySpec& key, KeyLook look, const QImage& panel);
// The panel with its keys and texts in place, as the window shows it (for the other pictures).
QImage drawPanelPreview(const QImage& panel);
// The about box's product picture, 359 x 286.
QImage drawAbout(const QImage& preview);
// The program's icon, a square of any size.
QImage drawIcon(int size);
// Writes `images` (each at most 256 on a side) as one Windows icon file.
bool saveIco(const std::vector<QImage>& images, const QString& path);
// The selector-mode background, 800 x 600.
QImage drawSelectorBackground();

}  // namespace tolvan::artwork
