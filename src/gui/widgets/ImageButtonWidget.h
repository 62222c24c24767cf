#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

namespace tolvan::gui {

// One of the panel's keys: a picture that changes while the mouse is over it and while it is
// held. It only draws and reports: clicked() for a left-button press and release over the
// enabled button, hoveredChanged() as the mouse comes and goes (also while disabled).
class ImageButtonWidget : public QWidget {
    Q_OBJECT
  public:
    explicit ImageButtonWidget(QWidget* parent = nullptr);

    void setUpImage(const QImage& image);
    void setDownImage(const QImage& image);
    void setMouseOverImage(const QImage& image);
    void setImages(const QImage& up, const QImage& down, const QImage& mouseOver);
    const QImage& upImage() const { return up_; }

    // Pictures stretched to the button instead of drawn at their size from the top-left.
    void setStretch(bool stretch);
    // Pictures drawn over what lies behind, leaving out the pixels of the transparent colour,
    // instead of over the parent's colour.
    void setTransparent(bool transparent);
    void setTransparentColor(const QColor& color);

    bool isPressed() const { return pressed_; }
    bool isHovered() const { return hovered_; }
    // The picture the button shows now: pressed wins over hovered; a picture not given is
    // the normal one.
    const QImage& currentImage() const;

    QSize sizeHint() const override;

  signals:
    void clicked();
    void hoveredChanged(bool hovered);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void setHovered(bool hovered);
    QImage withoutTransparentColor(const QImage& image) const;

    QImage up_, down_, over_;
    bool stretch_ = false;
    bool transparent_ = false;
    QColor transparentColor_ = Qt::white;
    bool pressed_ = false;
    bool hovered_ = false;
};

}  // namespace tolvan::gui
