#include "PanelWidget.h"

#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace tolvan::gui {

void PanelWidget::paintFrame(bool transparent, const QColor& background,
                             const std::function<void(QPainter&, const QRect&)>& draw) {
    QImage frame(size(), QImage::Format_ARGB32_Premultiplied);
    if (frame.isNull()) return;
    frame.fill(transparent ? QColor(Qt::transparent) : background);
    {
        QPainter p(&frame);
        draw(p, frame.rect());
    }
    QPainter(this).drawImage(0, 0, frame);
}

void PanelWidget::mousePressEvent(QMouseEvent* event) {
    // Qt delivers no presses to a disabled widget, so its held look never shows then.
    if (event->button() != Qt::LeftButton) return;
    setPressed(true);
}

void PanelWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return;
    const bool over = rect().contains(event->position().toPoint());
    if (!clickWhileHeld_) {
        setPressed(false);
        if (over) emit clicked();
        return;
    }
    QPointer<PanelWidget> self(this);
    if (over) emit clicked();
    if (self) setPressed(false);
}

void PanelWidget::releaseWithoutClick() {
    if (pressed_) setPressed(false);
}

void PanelWidget::enterEvent(QEnterEvent*) {
    setHovered(true);
}

void PanelWidget::leaveEvent(QEvent*) {
    setHovered(false);
}

void PanelWidget::setPressed(bool pressed) {
    pressed_ = pressed;
    pressChanged(pressed);
    update();
}

void PanelWidget::setHovered(bool hovered) {
    if (hovered_ == hovered) return;
    hovered_ = hovered;
    hoverChanged(hovered);
    update();
    emit hoveredChanged(hovered);
}

}  // namespace tolvan::gui
