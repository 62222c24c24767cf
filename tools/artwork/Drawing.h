#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRectF>

namespace tolvan::artwork {

// Deterministic grain: the same pictures on every build.
class Grain {
  public:
    explicit Grain(quint32 seed) : state_(seed) {}
    // A value from -1 to 1.
    double next() {
        state_ = state_ * 1664525u + 1013904223u;
        return (static_cast<double>(state_ >> 8) / double(1 << 24)) * 2.0 - 1.0;
    }

  private:
    quint32 state_;
};

// Lightens (positive) or darkens every pixel of `area` a little at random, for a brushed or
// moulded surface. Horizontal streaks when `streak` is above 0.
void addGrain(QImage& image, const QRect& area, double strength, quint32 seed, int streak = 0);

// A countersunk cross-head screw centred on `c`.
void drawScrew(QPainter& p, QPointF c, double radius);

// A rounded slab with a bright upper edge and a dark lower edge.
void drawBevelledSlab(QPainter& p, const QRectF& r, double radius, const QColor& top,
                      const QColor& bottom, bool raised);

QFont artworkFont(int pixelHeight, bool bold = true, bool italic = false);

}  // namespace tolvan::artwork
