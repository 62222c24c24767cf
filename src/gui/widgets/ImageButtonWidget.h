#pragma once

#include <QColor>
#include <QImage>

#include "PanelWidget.h"

namespace tolvan::gui {

// One of the panel's keys: a picture that changes while the mouse is over it and while it is
// held. It only draws and reports: clicked() for a left-button press and release over the
// enabled button, hoveredChanged() as the mouse comes and goes (also while disabled).
class ImageButtonWidget : public PanelWidget {
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

    // The picture the button shows now: pressed wins over hovered; a picture not given is
    // the normal one.
    const QImage& currentImage() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QImage withoutTransparentColor(const QImage& image) const;

    QImage up_, down_, over_;
    bool stretch_ = false;
    bool transparent_ = false;
    QColor transparentColor_ = Qt::white;
};

}  // namespace tolvan::gui
