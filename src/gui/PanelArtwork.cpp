#include "gui/PanelArtwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace tolvan::gui {

namespace {

// Plain drawn pictures of the device's front panel and keys.

QImage drawPanel() {
    QImage img(589, 288, QImage::Format_RGB32);
    img.fill(QColor(40, 44, 52));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient body(0, 0, 0, 288);
    body.setColorAt(0, QColor(92, 98, 110));
    body.setColorAt(1, QColor(52, 56, 64));
    p.setBrush(body);
    p.setPen(QPen(QColor(20, 22, 26), 2));
    p.drawRoundedRect(QRectF(4, 4, 581, 280), 28, 28);
    // The title strip and the close mark's corner.
    p.setBrush(QColor(70, 75, 86));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(44, 12, 474, 28), 8, 8);
    // The display's bezel around the olive screen and the status line.
    p.setBrush(QColor(28, 30, 34));
    p.drawRoundedRect(QRectF(78, 58, 258, 160), 10, 10);
    p.setBrush(QColor(128, 128, 0));
    p.drawRect(QRect(88, 69, 236, 135));
    // The key pad's well.
    p.setBrush(QColor(60, 64, 74));
    p.drawRoundedRect(QRectF(356, 32, 126, 200), 14, 14);
    return img;
}

enum class Glyph { Up, Down, Return, Confirm };

QImage drawKey(QSize size, Glyph glyph, int look) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(QColor(60, 64, 74));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor face = look == 1   ? QColor(150, 150, 150)
                        : look == 2 ? QColor(225, 225, 215)
                                    : QColor(200, 200, 190);
    const int shift = look == 1 ? 2 : 0;
    QRectF key(4 + shift, 4 + shift, size.width() - 10, size.height() - 10);
    p.setPen(QPen(QColor(30, 30, 30), 1.5));
    p.setBrush(face);
    p.drawRoundedRect(key, 9, 9);
    p.setBrush(QColor(40, 40, 40));
    p.setPen(Qt::NoPen);
    const QPointF c = key.center();
    QPainterPath path;
    switch (glyph) {
        case Glyph::Up:
            path.moveTo(c.x(), c.y() - 10);
            path.lineTo(c.x() + 10, c.y() + 7);
            path.lineTo(c.x() - 10, c.y() + 7);
            break;
        case Glyph::Down:
            path.moveTo(c.x(), c.y() + 10);
            path.lineTo(c.x() + 10, c.y() - 7);
            path.lineTo(c.x() - 10, c.y() - 7);
            break;
        case Glyph::Return:
            path.moveTo(c.x() - 11, c.y());
            path.lineTo(c.x() - 1, c.y() - 9);
            path.lineTo(c.x() - 1, c.y() + 9);
            path.addRect(QRectF(c.x() - 1, c.y() - 3, 12, 6));
            break;
        case Glyph::Confirm:
            path.addEllipse(c, 9, 9);
            break;
    }
    path.closeSubpath();
    p.drawPath(path);
    return img;
}

KeyPictures drawKeys(QSize size, Glyph glyph) {
    return {drawKey(size, glyph, 0), drawKey(size, glyph, 1), drawKey(size, glyph, 2)};
}

QImage drawAbout() {
    QImage img(359, 286, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(92, 98, 110));
    p.setPen(QPen(QColor(20, 22, 26), 2));
    p.drawRoundedRect(QRectF(20, 30, 180, 230), 20, 20);
    p.setBrush(QColor(128, 128, 0));
    p.drawRect(QRectF(40, 60, 140, 80));
    return img;
}

QImage drawIcon() {
    QImage img(35, 35, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(92, 98, 110));
    p.setPen(QPen(Qt::black, 1));
    p.drawRoundedRect(QRectF(4, 2, 27, 31), 5, 5);
    p.setBrush(QColor(128, 128, 0));
    p.drawRect(QRectF(8, 6, 19, 12));
    return img;
}

}  // namespace

PanelArtwork PanelArtwork::load() {
    PanelArtwork art;
    art.panel = drawPanel();
    art.btnUp = drawKeys({50, 58}, Glyph::Up);
    art.btnDown = drawKeys({52, 58}, Glyph::Down);
    art.btnRetorna = drawKeys({50, 58}, Glyph::Return);
    art.btnConfirma = drawKeys({52, 58}, Glyph::Confirm);
    art.about = drawAbout();
    art.icon = drawIcon();
    return art;
}

}  // namespace tolvan::gui
