#include "RaisedLabelWidget.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

#include "SystemColours.h"

namespace tolvan::gui {

RaisedLabelWidget::RaisedLabelWidget(QWidget* parent) : RaisedLabelWidget(QString(), parent) {}

RaisedLabelWidget::RaisedLabelWidget(const QString& text, QWidget* parent)
    : QWidget(parent), text_(text), fontColor_(kWindowText), color_(kBtnFace) {
    look_.shadowColor = kBtnShadow;
    onMouse_.shadowColor = kBtnShadow;
    onMouse_.borderWidth = 1;
}

void RaisedLabelWidget::setText(const QString& text) {
    if (text_ == text) return;
    text_ = text;
    update();
}

void RaisedLabelWidget::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}

void RaisedLabelWidget::setWordWrap(bool wrap) {
    wordWrap_ = wrap;
    update();
}

void RaisedLabelWidget::setFontColor(const QColor& color) {
    fontColor_ = color;
    update();
}

void RaisedLabelWidget::setColor(const QColor& color) {
    color_ = color;
    update();
}

void RaisedLabelWidget::setTransparent(bool transparent) {
    transparent_ = transparent;
    update();
}

void RaisedLabelWidget::setTextStyle(TextStyle style) {
    look_.style = style;
    update();
}

void RaisedLabelWidget::setShadowColor(const QColor& color) {
    look_.shadowColor = color;
    update();
}

void RaisedLabelWidget::setShadowWidth(int width) {
    look_.shadowWidth = width;
    update();
}

void RaisedLabelWidget::setBorderWidth(int width) {
    look_.borderWidth = width;
    update();
}

void RaisedLabelWidget::setBorderColor(const QColor& color) {
    look_.borderColor = color;
    update();
}

QSize RaisedLabelWidget::sizeHint() const {
    return fontMetrics().boundingRect(text_).size() + QSize(2, 2);
}

void RaisedLabelWidget::paintEvent(QPaintEvent*) {
    QImage frame(size(), QImage::Format_ARGB32_Premultiplied);
    if (frame.isNull()) return;
    frame.fill(transparent_ ? QColor(Qt::transparent) : color_);
    {
        QPainter p(&frame);
        p.setFont(font());
        // "&" is shown as is: Qt draws no accelerators unless asked to.
        int flags = int(alignment_) | Qt::TextExpandTabs;
        if (wordWrap_) flags |= Qt::TextWordWrap;
        const QRect box = frame.rect();
        auto pass = [&](int dx, int dy, const QColor& colour) {
            p.setPen(colour);
            p.drawText(box.translated(dx, dy), flags, text_);
        };
        switch (look_.style) {
            case TextStyle::tsRaised:
                pass(1, 1, kBtnShadow);
                pass(-1, -1, kBtnHighlight);
                break;
            case TextStyle::tsRecessed:
                pass(1, 1, kBtnHighlight);
                pass(-1, -1, kBtnShadow);
                break;
            case TextStyle::taShadow:
                pass(look_.shadowWidth, look_.shadowWidth, look_.shadowColor);
                break;
            case TextStyle::tsNone:
                break;
        }
        if (const int w = look_.borderWidth; w > 0) {
            pass(w, w, look_.borderColor);
            pass(w, -w, look_.borderColor);
            pass(-w, w, look_.borderColor);
            pass(-w, -w, look_.borderColor);
        }
        pass(0, 0, isEnabled() ? fontColor_ : kGrayText);
    }
    QPainter(this).drawImage(0, 0, frame);
}

void RaisedLabelWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    pressed_ = true;
    // A shadowed text seems pressed while the button is held.
    if (look_.style == TextStyle::taShadow) setShadowWidth(0);
}

void RaisedLabelWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return;
    pressed_ = false;
    if (look_.style == TextStyle::taShadow) setShadowWidth(onMouse_.shadowWidth);
    if (rect().contains(event->position().toPoint())) emit clicked();
}

void RaisedLabelWidget::enterEvent(QEnterEvent*) {
    if (hovered_) return;  // the saved look must not be overwritten by the OnMouse one
    hovered_ = true;
    saved_ = look_;
    look_ = onMouse_;
    update();
    emit hoveredChanged(true);
}

void RaisedLabelWidget::leaveEvent(QEvent*) {
    if (!hovered_) return;
    hovered_ = false;
    look_ = saved_;
    update();
    emit hoveredChanged(false);
}

}  // namespace tolvan::gui
