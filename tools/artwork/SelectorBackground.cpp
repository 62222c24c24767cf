#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include "Artwork.h"
#include "Drawing.h"

namespace tolvan::artwork {

QImage drawSelectorBackground() {
    constexpr int w = 800, h = 600;
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(240, 244, 249));
    sky.setColorAt(1, QColor(196, 210, 228));
    p.fillRect(img.rect(), sky);

    // Large soft rings and a sweep, kept away from the calm band where the progress shows.
    p.setPen(Qt::NoPen);
    for (auto [c, r, a] : {std::tuple{QPointF(120, 470), 260.0, 50},
                           {QPointF(690, 560), 200.0, 40},
                           {QPointF(330, 300), 140.0, 28}}) {
        QRadialGradient g(c, r);
        g.setColorAt(0, QColor(255, 255, 255, a));
        g.setColorAt(0.7, QColor(255, 255, 255, a / 2));
        g.setColorAt(1, QColor(255, 255, 255, 0));
        p.setBrush(g);
        p.drawEllipse(c, r, r);
    }
    QPainterPath sweep;
    sweep.moveTo(0, 430);
    sweep.cubicTo(250, 330, 520, 520, 800, 360);
    sweep.lineTo(800, 600);
    sweep.lineTo(0, 600);
    sweep.closeSubpath();
    QLinearGradient sea(0, 330, 0, 600);
    sea.setColorAt(0, QColor(120, 160, 210, 90));
    sea.setColorAt(1, QColor(40, 80, 140, 140));
    p.setBrush(sea);
    p.drawPath(sweep);
    QPainterPath crest;
    crest.moveTo(0, 425);
    crest.cubicTo(250, 325, 520, 515, 800, 355);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 150), 2));
    p.drawPath(crest);

    // The launcher's header.
    QLinearGradient header(0, 0, 0, 38);
    header.setColorAt(0, QColor(52, 86, 130));
    header.setColorAt(1, QColor(30, 58, 96));
    p.setPen(Qt::NoPen);
    p.fillRect(QRect(0, 0, w, 38), header);
    p.fillRect(QRect(0, 38, w, 2), QColor(120, 170, 225));
    p.setFont(artworkFont(20, true, true));
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(QRectF(25, 1, 400, 38), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Tolvan Flex"));
    p.setPen(Qt::white);
    p.drawText(QRectF(24, 0, 400, 38), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Tolvan Flex"));
    p.setFont(artworkFont(14, false));
    p.setPen(QColor(170, 200, 235));
    p.drawText(QRectF(150, 1, 300, 38), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Selecionador"));

    // A quiet frosted card under the progress caption and bar (500, 50 to 790, 88).
    const QRectF card(486, 46, 312, 48);
    p.setBrush(QColor(255, 255, 255, 70));
    p.setPen(QPen(QColor(255, 255, 255, 140), 1));
    p.drawRoundedRect(card, 8, 8);

    p.end();
    addGrain(img, img.rect(), 1.2, 0x5e1ecu);
    return img;
}

}  // namespace tolvan::artwork
