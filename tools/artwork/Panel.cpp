#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include "Artwork.h"
#include "Drawing.h"

namespace tolvan::artwork {

namespace {

constexpr int kWidth = 589;
constexpr int kHeight = 288;
const QColor kOlive(128, 128, 0);  // the display's own background

void drawBody(QImage& img) {
    img.fill(QColor(14, 16, 20));
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient body(0, 0, 0, kHeight);
        body.setColorAt(0, QColor(78, 86, 100));
        body.setColorAt(0.45, QColor(58, 64, 76));
        body.setColorAt(1, QColor(36, 40, 49));
        p.setPen(Qt::NoPen);
        p.setBrush(body);
        p.drawRoundedRect(QRectF(1, 1, kWidth - 2, kHeight - 2), 7, 7);
    }
    addGrain(img, QRect(3, 3, kWidth - 6, kHeight - 6), 3.0, 0x70a1u);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // The moulded edge: light along the top, dark along the bottom.
    QLinearGradient edge(0, 0, 0, kHeight);
    edge.setColorAt(0, QColor(255, 255, 255, 90));
    edge.setColorAt(0.2, QColor(255, 255, 255, 0));
    edge.setColorAt(0.8, QColor(0, 0, 0, 0));
    edge.setColorAt(1, QColor(0, 0, 0, 140));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(edge), 1.5));
    p.drawRoundedRect(QRectF(2.25, 2.25, kWidth - 4.5, kHeight - 4.5), 6, 6);
}

void drawTitleStrip(QPainter& p) {
    // A brushed-metal nameplate behind the title line (53, 17; 428 x 19).
    const QRectF strip(44, 11, 444, 29);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawRoundedRect(strip.adjusted(-1, -1, 1, 2), 6, 6);
    drawBevelledSlab(p, strip, 5, QColor(226, 229, 234), QColor(170, 175, 184), true);
    // The close mark's own small plate (496, 16; 13 x 14).
    const QRectF close(491, 12, 23, 22);
    p.setBrush(QColor(0, 0, 0, 90));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(close.adjusted(-1, -1, 1, 2), 5, 5);
    drawBevelledSlab(p, close, 4, QColor(226, 229, 234), QColor(170, 175, 184), true);
}

void drawDisplayBezel(QPainter& p) {
    // The glass over the display: a black frame, a dark rim and the olive screen behind it.
    const QRectF frame(74, 53, 264, 166);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 110));
    p.drawRoundedRect(frame.adjusted(-2, -2, 2, 3), 11, 11);
    drawBevelledSlab(p, frame, 9, QColor(34, 37, 42), QColor(14, 16, 19), true);

    QLinearGradient glare(frame.topLeft(), frame.bottomRight());
    glare.setColorAt(0, QColor(255, 255, 255, 38));
    glare.setColorAt(0.35, QColor(255, 255, 255, 8));
    glare.setColorAt(0.36, QColor(255, 255, 255, 0));
    p.setBrush(glare);
    p.drawRoundedRect(frame.adjusted(2, 2, -2, -2), 8, 8);

    const QRectF rim(85, 66, 242, 141);
    p.setBrush(QColor(60, 60, 8));
    p.drawRoundedRect(rim, 2, 2);
    p.setBrush(QColor(98, 98, 4));
    p.drawRect(rim.adjusted(1.5, 1.5, -1, -1));
    p.setBrush(kOlive);
    p.drawRect(QRect(88, 69, 236, 135));
}

void drawKeypadWell(QPainter& p) {
    const QRectF well(357, 32, 124, 201);
    drawBevelledSlab(p, well, 14, QColor(30, 33, 41), QColor(44, 48, 58), false);
    // Engraved names between the two rows of keys.
    p.setFont(artworkFont(9, true));
    auto engrave = [&](QRectF r, const QString& text) {
        p.setPen(QColor(255, 255, 255, 40));
        p.drawText(r.translated(0, 1), Qt::AlignCenter, text);
        p.setPen(QColor(150, 158, 172));
        p.drawText(r, Qt::AlignCenter, text);
    };
    engrave(QRectF(362, 103, 58, 12), QStringLiteral("SOBE"));
    engrave(QRectF(418, 105, 58, 12), QStringLiteral("DESCE"));
    engrave(QRectF(362, 151, 58, 12), QStringLiteral("RETORNA"));
    engrave(QRectF(418, 151, 58, 12), QStringLiteral("CONFIRMA"));
    // A groove across the middle.
    p.setPen(QPen(QColor(14, 16, 20), 1));
    p.drawLine(QPointF(372, 133.5), QPointF(466, 133.5));
    p.setPen(QPen(QColor(255, 255, 255, 30), 1));
    p.drawLine(QPointF(372, 134.5), QPointF(466, 134.5));
}

void drawSpeaker(QPainter& p) {
    // A grille of holes in staggered rows, inside a rounded outline.
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF grille(21, 78, 38, 118);
    QPainterPath outline;
    outline.addRoundedRect(grille, 10, 10);
    p.setClipPath(outline);
    for (int row = 0; row < 14; ++row) {
        const double shift = (row % 2) * 4.5;
        for (int col = 0; col < 5; ++col) {
            const QPointF c(grille.left() + 6 + shift + col * 9, grille.top() + 5 + row * 8.5);
            if (c.x() > grille.right() - 4) continue;
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 255, 255, 40));
            p.drawEllipse(c + QPointF(0, 0.8), 2.3, 2.3);
            p.setBrush(QColor(10, 11, 14));
            p.drawEllipse(c, 2.2, 2.2);
        }
    }
    p.restore();
}

void drawBrand(QPainter& p) {
    // Name plate under the display, and three bars in the progress bar's colours.
    QFont brand = artworkFont(19, true, true);
    brand.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(brand);
    const QRectF name(88, 230, 240, 26);
    p.setPen(QColor(0, 0, 0, 150));
    p.drawText(name.translated(1, 1), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("TOLVAN LINK"));
    QLinearGradient metal(name.topLeft(), name.bottomLeft());
    metal.setColorAt(0, QColor(236, 238, 242));
    metal.setColorAt(1, QColor(150, 156, 168));
    p.setPen(QPen(QBrush(metal), 1));
    p.drawText(name, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("TOLVAN LINK"));

    const QColor bars[] = {QColor(0, 210, 0), QColor(235, 215, 0), QColor(225, 30, 30)};
    for (int i = 0; i < 3; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(bars[i]);
        p.drawRoundedRect(QRectF(255 + i * 12, 239, 9, 9), 4.5, 4.5);
        p.setBrush(QColor(255, 255, 255, 120));
        p.drawEllipse(QRectF(257 + i * 12, 240.5, 3.5, 3));
    }

    p.setFont(artworkFont(9, true));
    p.setPen(QColor(128, 136, 150));
    p.drawText(QRectF(88, 256, 240, 14), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("PROGRAMADOR DE SISTEMAS"));
    p.drawText(QRectF(357, 250, 124, 14), Qt::AlignCenter, QStringLiteral("SERIAL  19200"));
    // The serial socket's outline beside its label.
    QPainterPath socket;
    socket.moveTo(392, 266);
    socket.lineTo(446, 266);
    socket.lineTo(441, 276);
    socket.lineTo(397, 276);
    socket.closeSubpath();
    p.setPen(QPen(QColor(20, 22, 27), 1.2));
    p.setBrush(QColor(28, 31, 38));
    p.drawPath(socket);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 156, 168));
    for (int i = 0; i < 5; ++i)
        p.drawEllipse(QPointF(402 + i * 8.5, 269.5), 1.1, 1.1);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(406.25 + i * 8.5, 273), 1.1, 1.1);
}

}  // namespace

const std::vector<KeySpec>& panelKeys() {
    static const std::vector<KeySpec> keys = {
        {QStringLiteral("btnUp"), QRect(366, 41, 50, 58), Glyph::Up},
        {QStringLiteral("btnDown"), QRect(420, 43, 52, 58), Glyph::Down},
        {QStringLiteral("btnRetorna"), QRect(366, 166, 50, 58), Glyph::Return},
        {QStringLiteral("btnConfirma"), QRect(420, 166, 52, 58), Glyph::Confirm},
    };
    return keys;
}

QImage drawPanel() {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    drawBody(img);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawTitleStrip(p);
    drawDisplayBezel(p);
    drawKeypadWell(p);
    drawSpeaker(p);
    drawBrand(p);
    for (QPointF c : {QPointF(13, 13), QPointF(576, 13), QPointF(13, 275), QPointF(576, 275)})
        drawScrew(p, c, 4.5);
    return img;
}

}  // namespace tolvan::artwork
