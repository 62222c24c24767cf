#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include "Artwork.h"
#include "Drawing.h"

namespace tolvan::artwork {

namespace {

QColor glyphColour(Glyph g) {
    switch (g) {
        case Glyph::Return:
            return QColor(255, 178, 60);
        case Glyph::Confirm:
            return QColor(110, 226, 110);
        default:
            return QColor(232, 236, 242);
    }
}

QPainterPath glyphPath(Glyph g, QPointF c) {
    QPainterPath path;
    switch (g) {
        case Glyph::Up:
            path.moveTo(c + QPointF(0, -9));
            path.lineTo(c + QPointF(10, 6));
            path.lineTo(c + QPointF(-10, 6));
            path.closeSubpath();
            break;
        case Glyph::Down:
            path.moveTo(c + QPointF(0, 9));
            path.lineTo(c + QPointF(10, -6));
            path.lineTo(c + QPointF(-10, -6));
            path.closeSubpath();
            break;
        case Glyph::Return: {
            // A hooked arrow: up from the right, round to the left, pointing left.
            QPainterPath stroke;
            stroke.moveTo(c + QPointF(8, -9));
            stroke.lineTo(c + QPointF(8, 0));
            stroke.quadTo(c + QPointF(8, 4), c + QPointF(4, 4));
            stroke.lineTo(c + QPointF(-4, 4));
            QPainterPathStroker stroker;
            stroker.setWidth(4);
            stroker.setCapStyle(Qt::FlatCap);
            stroker.setJoinStyle(Qt::RoundJoin);
            path = stroker.createStroke(stroke);
            QPainterPath head;
            head.moveTo(c + QPointF(-11, 4));
            head.lineTo(c + QPointF(-3, -3));
            head.lineTo(c + QPointF(-3, 11));
            head.closeSubpath();
            path = path.united(head);
            break;
        }
        case Glyph::Confirm: {
            QPainterPath stroke;
            stroke.moveTo(c + QPointF(-9, 0));
            stroke.lineTo(c + QPointF(-3, 7));
            stroke.lineTo(c + QPointF(10, -8));
            QPainterPathStroker stroker;
            stroker.setWidth(4.5);
            stroker.setCapStyle(Qt::RoundCap);
            stroker.setJoinStyle(Qt::RoundJoin);
            path = stroker.createStroke(stroke);
            break;
        }
    }
    return path;
}

}  // namespace

QImage drawKey(const KeySpec& key, KeyLook look, const QImage& panel) {
    QImage img = panel.copy(key.place).convertToFormat(QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const bool pressed = look == KeyLook::Pressed;
    const bool hover = look == KeyLook::Hover;
    const double w = img.width(), h = img.height();
    const double sink = pressed ? 2 : 0;
    const QRectF cap(4, 3 + sink, w - 8, h - 11);

    // Shadow on the panel: deep for a key at rest, shallow for a pressed one.
    const int depth = pressed ? 1 : 4;
    for (int i = depth; i >= 1; --i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, pressed ? 70 : 45));
        p.drawRoundedRect(cap.translated(0, i).adjusted(-0.5 * i, 0, 0.5 * i, 0.5 * i), 9, 9);
    }
    if (hover) {
        for (int i = 3; i >= 1; --i) {
            p.setPen(QPen(QColor(110, 190, 255, 40 + 30 * (3 - i)), i * 1.6));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(cap.adjusted(-1, -1, 1, 1), 10, 10);
        }
    }

    // The rubber cap: its sides, then its slightly dished top.
    QColor top(96, 103, 117), bottom(52, 57, 67);
    if (hover) top = top.lighter(118), bottom = bottom.lighter(118);
    if (pressed) top = top.darker(118), bottom = bottom.darker(112);
    drawBevelledSlab(p, cap, 9, top, bottom, !pressed);
    const QRectF face = cap.adjusted(3.5, 3, -3.5, -5);
    QLinearGradient dish(face.topLeft(), face.bottomLeft());
    dish.setColorAt(0, bottom.lighter(104));
    dish.setColorAt(1, top.darker(104));
    p.setPen(Qt::NoPen);
    p.setBrush(dish);
    p.drawRoundedRect(face, 7, 7);
    QRadialGradient sheen(face.center() - QPointF(face.width() * 0.25, face.height() * 0.3),
                          face.width() * 0.8);
    sheen.setColorAt(0, QColor(255, 255, 255, pressed ? 12 : 34));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(sheen);
    p.drawRoundedRect(face, 7, 7);

    // The glyph, printed on the cap with a faint engraving below it.
    const QPointF c = face.center() + QPointF(0, 0.5);
    const QPainterPath glyph = glyphPath(key.glyph, c);
    p.setBrush(QColor(0, 0, 0, 110));
    p.drawPath(glyph.translated(0, 1));
    QColor ink = glyphColour(key.glyph);
    if (pressed) ink = ink.darker(115);
    if (hover) ink = ink.lighter(108);
    p.setBrush(ink);
    p.drawPath(glyph);
    return img;
}

}  // namespace tolvan::artwork
