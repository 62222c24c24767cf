#include "Drawing.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>

#include "gui/widgets/PanelFonts.h"

namespace tolvan::artwork {

void addGrain(QImage& image, const QRect& area, double strength, quint32 seed, int streak) {
    Grain grain(seed);
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        double run = 0;
        for (int x = r.left(); x <= r.right(); ++x) {
            const double g = grain.next();
            run = streak > 0 ? (run * streak + g) / (streak + 1) : g;
            const int d = static_cast<int>(run * strength * (streak > 0 ? 2.5 : 1.0));
            const QRgb p = image.pixel(x, y);
            image.setPixel(x, y,
                           qRgb(std::clamp(qRed(p) + d, 0, 255), std::clamp(qGreen(p) + d, 0, 255),
                                std::clamp(qBlue(p) + d, 0, 255)));
        }
    }
}

void drawScrew(QPainter& p, QPointF c, double radius) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // The countersink.
    QRadialGradient sink(c, radius + 1.5);
    sink.setColorAt(0.7, QColor(20, 22, 26));
    sink.setColorAt(1.0, QColor(20, 22, 26, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sink);
    p.drawEllipse(c, radius + 1.5, radius + 1.5);
    // The head.
    QRadialGradient head(c - QPointF(radius * 0.4, radius * 0.4), radius * 1.6);
    head.setColorAt(0, QColor(215, 218, 224));
    head.setColorAt(1, QColor(95, 100, 110));
    p.setBrush(head);
    p.drawEllipse(c, radius, radius);
    // The cross.
    p.setPen(QPen(QColor(45, 48, 55), std::max(1.0, radius / 3.0), Qt::SolidLine, Qt::RoundCap));
    const double a = radius * 0.55;
    p.drawLine(c + QPointF(-a, -a), c + QPointF(a, a));
    p.drawLine(c + QPointF(-a, a), c + QPointF(a, -a));
    p.restore();
}

void drawBevelledSlab(QPainter& p, const QRectF& r, double radius, const QColor& top,
                      const QColor& bottom, bool raised) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(r, radius, radius);
    const QColor light(255, 255, 255, raised ? 110 : 40);
    const QColor dark(0, 0, 0, raised ? 120 : 160);
    QLinearGradient edge(r.topLeft(), r.bottomLeft());
    edge.setColorAt(0, raised ? light : dark);
    edge.setColorAt(0.5, QColor(128, 128, 128, 0));
    edge.setColorAt(1, raised ? dark : light);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(edge), 1.0));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.restore();
}

QFont artworkFont(int pixelHeight, bool bold, bool italic) {
    return gui::panelFont(QStringLiteral("Arial"), pixelHeight, bold, italic);
}

}  // namespace tolvan::artwork
