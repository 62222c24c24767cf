#pragma once

#include <QColor>
#include <QString>

#include "PanelWidget.h"

namespace tolvan::gui {

// How a raised label draws its text, in the order the label's properties number them.
enum class TextStyle { tsNone, tsRaised, tsRecessed, taShadow };

// A text label drawn embossed, which takes another look while the mouse is over it: on entry
// the text style, border and shadow are swapped for their OnMouse counterparts, and on leaving
// they come back. It only draws and reports: clicked() for a left-button press and release over
// the enabled label, hoveredChanged() as the mouse comes and goes (also while disabled).
class RaisedLabelWidget : public PanelWidget {
    Q_OBJECT
  public:
    explicit RaisedLabelWidget(QWidget* parent = nullptr);
    explicit RaisedLabelWidget(const QString& text, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    void setText(const QString& text);
    void setAlignment(Qt::Alignment alignment);
    void setWordWrap(bool wrap);
    // The text's colour; the font is the widget's own (QWidget::setFont).
    void setFontColor(const QColor& color);
    // The fill behind the text when not transparent.
    void setColor(const QColor& color);
    // Draw over what lies behind instead of filling with the label's colour.
    void setTransparent(bool transparent);
    bool isTransparent() const { return transparent_; }

    // The current look (the OnMouse look while the mouse is over the label).
    TextStyle textStyle() const { return look_.style; }
    void setTextStyle(TextStyle style);
    void setShadowColor(const QColor& color);
    void setShadowWidth(int width);
    int shadowWidth() const { return look_.shadowWidth; }
    void setBorderWidth(int width);
    int borderWidth() const { return look_.borderWidth; }
    void setBorderColor(const QColor& color);

    // The look while the mouse is over the label.
    void setOnMouseTextStyle(TextStyle style) { onMouse_.style = style; }
    void setOnMouseShadowColor(const QColor& color) { onMouse_.shadowColor = color; }
    void setOnMouseShadowWidth(int width) { onMouse_.shadowWidth = width; }
    void setOnMouseBorderWidth(int width) { onMouse_.borderWidth = width; }
    int onMouseBorderWidth() const { return onMouse_.borderWidth; }
    void setOnMouseBorderColor(const QColor& color) { onMouse_.borderColor = color; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void hoverChanged(bool hovered) override;
    void pressChanged(bool pressed) override;

  private:
    struct Look {
        TextStyle style = TextStyle::tsNone;
        QColor shadowColor;
        int shadowWidth = 1;
        int borderWidth = 0;
        QColor borderColor{255, 255, 0};
    };

    QString text_;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignTop;
    bool wordWrap_ = false;
    QColor fontColor_;
    QColor color_;
    bool transparent_ = false;
    Look look_;
    Look onMouse_;
    Look saved_;
};

}  // namespace tolvan::gui
