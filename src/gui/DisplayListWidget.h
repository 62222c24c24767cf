#pragma once

#include <QStringList>
#include <QWidget>

namespace tolvan::gui {

// A borderless list box as the panel's display and pointer column draw it: fixed item height,
// the selected line highlighted, the list scrolled so that the selection is in view. It does not
// move its selection itself: it reports mouse presses and double-clicks by row, and the owner
// sets the lines and the selection from the model.
class DisplayListWidget : public QWidget {
    Q_OBJECT
  public:
    explicit DisplayListWidget(QWidget* parent = nullptr);

    void setItemHeight(int pixels);
    void setBackground(const QColor& colour);
    void setLines(const QStringList& lines);
    const QStringList& lines() const { return lines_; }
    // -1: no selection.
    void setCurrentRow(int row);
    int currentRow() const { return current_; }
    int topRow() const { return top_; }
    // The row under a point of the widget: the last line below the lines, -1 when there are none.
    int rowAt(int y) const;

  signals:
    void rowPressed(int row);
    void rowDoubleClicked(int row);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void scrollToCurrent();

    QStringList lines_;
    int current_ = -1;
    int top_ = 0;
    int itemHeight_ = 19;
    QColor background_;
};

}  // namespace tolvan::gui
