#pragma once

#include <QColor>
#include <QWidget>
#include <functional>

class QPainter;

namespace tolvan::gui {

// What the panel's keys and raised labels share: a left-button click that counts only when
// released over the widget, the mouse-over state with its signal (also while disabled), and
// drawing through an off-screen frame, so that a transparent widget shows what lies behind.
class PanelWidget : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;

    bool isPressed() const { return pressed_; }
    bool isHovered() const { return hovered_; }

  signals:
    void clicked();
    void hoveredChanged(bool hovered);

  protected:
    // The widget changes its look as the mouse comes and goes or the button is held.
    virtual void hoverChanged(bool) {}
    virtual void pressChanged(bool) {}
    // Whether clicked() comes before the widget lets go of its held look: a key that opens a
    // message stays down while the message is up.
    void setClickWhileHeld(bool held) { clickWhileHeld_ = held; }
    // Lets go of a held press without a click (a widget disabled while held never sees its
    // release).
    void releaseWithoutClick();
    // Fills a frame of the widget's size with `background` (clear when transparent), lets
    // `draw` paint on it, then shows the frame.
    void paintFrame(bool transparent, const QColor& background,
                    const std::function<void(QPainter&, const QRect&)>& draw);

    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void setPressed(bool pressed);
    void setHovered(bool hovered);

    bool pressed_ = false;
    bool hovered_ = false;
    bool clickWhileHeld_ = false;
};

}  // namespace tolvan::gui
