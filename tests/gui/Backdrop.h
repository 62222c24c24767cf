#pragma once

#include <QImage>
#include <QPainter>
#include <QWidget>

namespace tolvan::gui {

// A window that paints a picture of its own, for widgets that should let it show through.
class Backdrop : public QWidget {
  public:
    explicit Backdrop(const QImage& picture) : picture_(picture) { resize(picture.size()); }
    explicit Backdrop(QSize size, QColor colour) : picture_(size, QImage::Format_RGB32) {
        picture_.fill(colour);
        resize(size);
    }

  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, picture_); }

  private:
    QImage picture_;
};

}  // namespace tolvan::gui
