#include "ImageButtonWidget.h"

#include <QEvent>
#include <QPainter>

#include "SystemColours.h"

namespace tolvan::gui {

ImageButtonWidget::ImageButtonWidget(QWidget* parent) : PanelWidget(parent) {
    setCursor(Qt::PointingHandCursor);
    // The click comes first and the picture goes back after it, so a key that opens a message
    // stays down while the message is up.
    setClickWhileHeld(true);
}

void ImageButtonWidget::setUpImage(const QImage& image) {
    up_ = image;
    update();
}

void ImageButtonWidget::setDownImage(const QImage& image) {
    down_ = image;
    update();
}

void ImageButtonWidget::setMouseOverImage(const QImage& image) {
    over_ = image;
    update();
}

void ImageButtonWidget::setImages(const QImage& up, const QImage& down, const QImage& mouseOver) {
    up_ = up;
    down_ = down;
    over_ = mouseOver;
    update();
}

void ImageButtonWidget::setStretch(bool stretch) {
    stretch_ = stretch;
    update();
}

void ImageButtonWidget::setTransparent(bool transparent) {
    transparent_ = transparent;
    update();
}

void ImageButtonWidget::setTransparentColor(const QColor& color) {
    transparentColor_ = color;
    update();
}

const QImage& ImageButtonWidget::currentImage() const {
    const QImage& chosen = isPressed() ? down_ : isHovered() ? over_ : up_;
    return chosen.width() < 1 ? up_ : chosen;
}

QSize ImageButtonWidget::sizeHint() const {
    return up_.isNull() ? QSize(50, 58) : up_.size();
}

QImage ImageButtonWidget::withoutTransparentColor(const QImage& image) const {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparentColor_.rgb() & RGB_MASK;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if ((line[x] & RGB_MASK) == key) line[x] = 0;
        }
    }
    return out;
}

void ImageButtonWidget::paintEvent(QPaintEvent*) {
    const QWidget* owner = parentWidget() ? parentWidget() : this;
    paintFrame(transparent_, owner->palette().color(QPalette::Window),
               [&](QPainter& p, const QRect& frame) {
                   if (up_.width() < 2) {
                       p.fillRect(frame, kBtnFace);
                       return;
                   }
                   const QImage picture =
                       transparent_ ? withoutTransparentColor(currentImage()) : currentImage();
                   if (stretch_) {
                       p.drawImage(frame, picture);
                   } else {
                       p.drawImage(0, 0, picture);
                   }
               });
}

void ImageButtonWidget::changeEvent(QEvent* event) {
    // A button disabled while held would never see its release: let it go up at once rather
    // than show the pressed picture until the next press.
    if (event->type() == QEvent::EnabledChange && !isEnabled()) releaseWithoutClick();
    QWidget::changeEvent(event);
}

}  // namespace tolvan::gui
