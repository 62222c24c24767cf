#pragma once

#include <QImage>
#include <QWidget>

#include "services/LedBar.h"
#include "services/LedBarGeometry.h"

namespace tolvan::gui {

// Draws one frame of the bar into an image of the bar's size. A transparent bar leaves the
// image transparent between the segments, so that what lies behind it shows through.
QImage renderLedBar(const LedBarGeometry& geometry);

// The LED-segment progress bar. It draws its model, a LedBar, as LedBarGeometry lays it out:
// into an off-screen picture first, then onto the screen in one step. Call update() (or
// repaint() to draw at once) when the model has changed; place and size follow the model's
// bounds when the owner applies them.
class LedBarWidget : public QWidget {
    Q_OBJECT
  public:
    explicit LedBarWidget(QWidget* parent = nullptr);

    // The model to draw; not owned, and it must outlive the widget or be replaced first.
    void setBar(const LedBar* bar);
    const LedBar* bar() const { return bar_; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const LedBar* bar_ = nullptr;
};

}  // namespace tolvan::gui
