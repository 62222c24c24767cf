#include "Artwork.h"
#include "Drawing.h"

namespace tolvan::artwork {

namespace {

// Text embossed as the panel's raised labels draw it.
void raisedText(QPainter& p, const QRectF& r, const QString& text) {
    p.setPen(QColor(128, 128, 128));
    p.drawText(r.translated(1, 1), Qt::AlignLeft | Qt::AlignTop, text);
    p.setPen(Qt::white);
    p.drawText(r.translated(-1, -1), Qt::AlignLeft | Qt::AlignTop, text);
    p.setPen(Qt::black);
    p.drawText(r, Qt::AlignLeft | Qt::AlignTop, text);
}

}  // namespace

QImage drawPanelPreview(const QImage& panel) {
    QImage img = panel.convertToFormat(QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (const KeySpec& key : panelKeys())
        p.drawImage(key.place.topLeft(), drawKey(key, KeyLook::Normal, panel));

    p.setFont(artworkFont(16, true));
    raisedText(p, QRectF(53, 17, 428, 19), QStringLiteral("Vessaro"));
    p.setFont(artworkFont(11, true));
    raisedText(p, QRectF(496, 16, 13, 14), QStringLiteral(" X "));

    // The main menu as the display shows it after start-up.
    p.setFont(artworkFont(16, true));
    p.setPen(Qt::black);
    const QString lines[] = {QString(), QStringLiteral("Conexão"),
                             QStringLiteral("Sair do Programa")};
    for (int i = 0; i < 3; ++i)
        p.drawText(QRectF(101, 69 + 19 * i, 223, 19), Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
    p.drawText(QRectF(88, 69 + 19, 11, 19), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral(">"));
    p.setFont(artworkFont(11, false));
    p.drawText(QRectF(88, 191, 236, 13), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("[Desconectado]"));
    return img;
}

}  // namespace tolvan::artwork
