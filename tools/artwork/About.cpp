#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include "Artwork.h"
#include "Drawing.h"

namespace tolvan::artwork {

namespace {

// A desktop computer's monitor showing a transfer in progress.
void drawMonitor(QPainter& p, const QRectF& screen) {
    const QRectF body = screen.adjusted(-7, -7, 7, 9);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 30));
    p.drawRoundedRect(body.translated(3, 4), 7, 7);
    // Stand.
    QPainterPath stand;
    const double cx = body.center().x();
    stand.moveTo(cx - 10, body.bottom());
    stand.lineTo(cx + 10, body.bottom());
    stand.lineTo(cx + 14, body.bottom() + 13);
    stand.lineTo(cx - 14, body.bottom() + 13);
    stand.closeSubpath();
    p.setBrush(QColor(150, 158, 170));
    p.drawPath(stand);
    p.drawRoundedRect(QRectF(cx - 30, body.bottom() + 12, 60, 6), 3, 3);
    drawBevelledSlab(p, body, 7, QColor(214, 219, 227), QColor(168, 175, 187), true);
    QLinearGradient glass(screen.topLeft(), screen.bottomLeft());
    glass.setColorAt(0, QColor(46, 80, 124));
    glass.setColorAt(1, QColor(24, 44, 74));
    p.setBrush(glass);
    p.drawRoundedRect(screen, 2, 2);
    // A window with a progress bar of round LEDs on the screen.
    const QRectF win = screen.adjusted(9, 12, -9, -14);
    p.setBrush(QColor(236, 239, 244));
    p.drawRoundedRect(win, 2, 2);
    p.setBrush(QColor(70, 110, 170));
    p.drawRect(QRectF(win.left(), win.top(), win.width(), 6));
    const int n = 9;
    const double pitch = (win.width() - 10) / n;
    for (int i = 0; i < n; ++i) {
        const QColor lit = i < 5   ? QColor(0, 220, 0)
                           : i < 7 ? QColor(240, 220, 0)
                                   : QColor(230, 30, 30);
        p.setBrush(i < 6 ? lit : QColor(lit.red() / 3, lit.green() / 3, lit.blue() / 3));
        p.drawEllipse(QPointF(win.left() + 5 + pitch * (i + 0.5), win.center().y() + 3), 2.6, 2.6);
    }
    QLinearGradient shine(screen.topLeft(), screen.bottomRight());
    shine.setColorAt(0, QColor(255, 255, 255, 45));
    shine.setColorAt(0.45, QColor(255, 255, 255, 0));
    p.setBrush(shine);
    p.drawRoundedRect(screen, 2, 2);
}

}  // namespace

QImage drawAbout(const QImage& preview) {
    QImage img(359, 286, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);

    // Two soft sweeps of blue across the picture.
    QPainterPath sweep;
    sweep.moveTo(0, 210);
    sweep.cubicTo(110, 150, 220, 250, 359, 120);
    sweep.lineTo(359, 286);
    sweep.lineTo(0, 286);
    sweep.closeSubpath();
    QLinearGradient blue(0, 120, 0, 286);
    blue.setColorAt(0, QColor(214, 230, 248));
    blue.setColorAt(0.75, QColor(255, 255, 255));
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawPath(sweep);
    QPainterPath line;
    line.moveTo(0, 200);
    line.cubicTo(110, 140, 220, 240, 359, 110);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(120, 165, 220, 120), 2));
    p.drawPath(line);

    // The device, with its shadow on the page.
    const QRectF device(52, 8, 260, 127);
    for (int i = 6; i >= 1; --i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 40, 70, 10));
        p.drawRoundedRect(device.translated(2, 2 + i).adjusted(-i, -i / 2.0, i, i), 8, 8);
    }
    QImage scaled =
        preview.scaled(device.size().toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainterPath clip;
    clip.addRoundedRect(device, 4, 4);
    p.save();
    p.setClipPath(clip);
    p.drawImage(device.topLeft(), scaled);
    p.restore();

    // The serial cable from the device's socket down into the back of the computer.
    QPainterPath cable;
    cable.moveTo(device.left() + device.width() * 0.72, device.bottom() - 1);
    cable.cubicTo(device.left() + device.width() * 0.72, 185, 190, 168, 140, 184);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(40, 44, 52), 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cable);
    p.setPen(QPen(QColor(120, 128, 140), 1.0, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cable.translated(-0.6, -0.8));

    drawMonitor(p, QRectF(26, 156, 112, 66));

    // A pale card behind the list of installed systems (232, 179 on the about box).
    const QRectF card(205, 123, 142, 127);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 70, 110, 22));
    p.drawRoundedRect(card.translated(1, 2), 8, 8);
    p.setBrush(QColor(250, 251, 253));
    p.setPen(QPen(QColor(196, 210, 228), 1));
    p.drawRoundedRect(card, 8, 8);
    return img;
}

}  // namespace tolvan::artwork
