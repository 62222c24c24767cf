#include <QLinearGradient>
#include <QPainterPath>

#include "Artwork.h"
#include "Drawing.h"

namespace tolvan::artwork {

QImage drawIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);  // drawn on a 64-unit grid

    // The handheld, seen from the front, tilted a little as on a desk.
    p.translate(32, 33);
    p.rotate(-8);
    p.translate(-32, -33);

    const QRectF body(3, 13, 58, 40);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRoundedRect(body.translated(1.2, 2.2), 6, 6);
    QLinearGradient shell(body.topLeft(), body.bottomLeft());
    shell.setColorAt(0, QColor(92, 102, 120));
    shell.setColorAt(1, QColor(40, 45, 56));
    p.setBrush(shell);
    p.setPen(QPen(QColor(18, 20, 25), 1.0));
    p.drawRoundedRect(body, 6, 6);

    // The nameplate, the screen with its text lines, and the four keys.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(210, 214, 222));
    p.drawRoundedRect(QRectF(8, 16, 48, 4), 1.5, 1.5);
    p.setBrush(QColor(12, 14, 17));
    p.drawRoundedRect(QRectF(7, 22, 29, 25), 2.5, 2.5);
    p.setBrush(QColor(150, 150, 20));
    p.drawRect(QRectF(9, 24, 25, 21));
    p.setBrush(QColor(40, 40, 0));
    for (int i = 0; i < 3; ++i)
        p.drawRect(QRectF(14, 27 + i * 5.5, 15 - i * 4, 2));
    p.drawRect(QRectF(11, 32.5, 2, 2));
    const QColor glyphs[] = {QColor(230, 234, 240), QColor(230, 234, 240), QColor(255, 178, 60),
                             QColor(110, 226, 110)};
    for (int i = 0; i < 4; ++i) {
        const QRectF key(40 + (i % 2) * 9, 23 + (i / 2) * 12, 7.5, 9);
        p.setBrush(QColor(100, 108, 124));
        p.drawRoundedRect(key, 2, 2);
        p.setBrush(glyphs[i]);
        const QPointF c = key.center();
        if (i < 2) {
            const double d = i == 0 ? -1 : 1;  // up, then down
            p.drawPolygon(QPolygonF(
                {c + QPointF(0, 1.8 * d), c + QPointF(-2, -1.4 * d), c + QPointF(2, -1.4 * d)}));
        } else {
            p.drawEllipse(c, 1.6, 1.6);
        }
    }
    // Three LEDs of the progress bar under the keys.
    const QColor leds[] = {QColor(0, 230, 0), QColor(245, 220, 0), QColor(235, 40, 40)};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(leds[i]);
        p.drawEllipse(QPointF(43 + i * 4.5, 48.5), 1.6, 1.6);
    }
    return img;
}

}  // namespace tolvan::artwork
