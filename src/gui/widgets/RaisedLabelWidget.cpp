#include "RaisedLabelWidget.h"

#include <QPainter>

#include "SystemColours.h"

namespace tolvan::gui {

RaisedLabelWidget::RaisedLabelWidget(QWidget* parent) : RaisedLabelWidget(QString(), parent) {}

RaisedLabelWidget::RaisedLabelWidget(const QString& text, QWidget* parent)
    : PanelWidget(parent), text_(text), fontColor_(kWindowText), color_(kBtnFace) {
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
    paintFrame(transparent_, color_, [&](QPainter& p, const QRect& box) {
        p.setFont(font());
        // "&" is shown as is: Qt draws no accelerators unless asked to.
        int flags = int(alignment_) | Qt::TextExpandTabs;
        if (wordWrap_) flags |= Qt::TextWordWrap;
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
    });
}

void RaisedLabelWidget::pressChanged(bool pressed) {
    // A shadowed text seems pressed while the button is held.
    if (look_.style == TextStyle::taShadow) look_.shadowWidth = pressed ? 0 : onMouse_.shadowWidth;
}

void RaisedLabelWidget::hoverChanged(bool hovered) {
    // The OnMouse look while the mouse is over the label; the saved one back when it leaves.
    if (hovered) {
        saved_ = look_;
        look_ = onMouse_;
    } else {
        look_ = saved_;
    }
}

}  // namespace tolvan::gui
