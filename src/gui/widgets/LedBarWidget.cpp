#include "LedBarWidget.h"

#include <QPainter>

namespace tolvan::gui {

namespace {

QColor toQColor(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

// A box with its right and bottom edges excluded, as the rectangle whose outline, drawn with a
// one-pixel pen without antialiasing, covers exactly its pixels.
QRectF outlineBox(const Rect& r) {
    return QRectF(r.left, r.top, r.width() - 1, r.height() - 1);
}

void drawSegment(QPainter& p, const LedSegment& s) {
    const QColor c = toQColor(s.colour);
    p.setPen(QPen(c, 1));
    p.setBrush(c);
    p.drawEllipse(outlineBox(s.circle));

    // The upper-left gleam: two concentric arcs, counter-clockwise as Qt counts angles.
    const int start = qRound(s.arcStartDegrees() * 16);
    const int sweep = qRound(s.arcSweepDegrees() * 16);
    p.setPen(QPen(toQColor(s.highlight), 1));
    p.setBrush(Qt::NoBrush);
    p.drawArc(outlineBox(s.arcOuter), start, sweep);
    p.drawArc(outlineBox(s.arcInner), start, sweep);
}

}  // namespace

QImage renderLedBar(const LedBarGeometry& g) {
    QImage image(qMax(g.width, 0), qMax(g.height, 0), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return image;
    image.fill(g.transparent ? QColor(Qt::transparent) : toQColor(g.background));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const LedSegment& s : g.segments)
        drawSegment(p, s);
    return image;
}

LedBarWidget::LedBarWidget(QWidget* parent) : QWidget(parent) {}

void LedBarWidget::setBar(const LedBar* bar) {
    bar_ = bar;
    update();
}

QSize LedBarWidget::sizeHint() const {
    return bar_ ? QSize(bar_->width(), bar_->height()) : QSize(290, 16);
}

void LedBarWidget::paintEvent(QPaintEvent*) {
    if (!bar_) return;
    const QImage frame = renderLedBar(LedBarGeometry::of(*bar_));
    QPainter p(this);
    p.drawImage(0, 0, frame);
}

}  // namespace tolvan::gui
