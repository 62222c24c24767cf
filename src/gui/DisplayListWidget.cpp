#include "gui/DisplayListWidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "gui/widgets/SystemColours.h"

namespace tolvan::gui {

namespace {
const QColor kHighlight{0, 0, 128};
const QColor kHighlightText{255, 255, 255};
constexpr int kTextMargin = 2;
}  // namespace

DisplayListWidget::DisplayListWidget(QWidget* parent) : QWidget(parent), background_(Qt::white) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DisplayListWidget::setItemHeight(int pixels) {
    itemHeight_ = std::max(1, pixels);
    scrollToCurrent();
    update();
}

void DisplayListWidget::setBackground(const QColor& colour) {
    background_ = colour;
    update();
}

void DisplayListWidget::setLines(const QStringList& lines) {
    if (lines == lines_) return;
    lines_ = lines;
    top_ = std::clamp(top_, 0, std::max(0, static_cast<int>(lines_.size()) - 1));
    scrollToCurrent();
    update();
}

void DisplayListWidget::setCurrentRow(int row) {
    if (row < 0 || row >= lines_.size()) row = -1;
    if (row == current_) return;
    current_ = row;
    scrollToCurrent();
    update();
}

// As a list box does when its selection is set: a line above the view becomes the top line, a
// line below it (or only partly shown) the last whole line.
void DisplayListWidget::scrollToCurrent() {
    if (current_ < 0) return;
    const int whole = std::max(1, height() / itemHeight_);
    if (current_ < top_) {
        top_ = current_;
    } else if (current_ >= top_ + whole) {
        top_ = current_ - whole + 1;
    }
}

int DisplayListWidget::rowAt(int y) const {
    if (lines_.isEmpty()) return -1;
    const int row = top_ + std::max(0, y) / itemHeight_;
    return std::min(row, static_cast<int>(lines_.size()) - 1);
}

void DisplayListWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), background_);
    p.setFont(font());
    const QColor text = isEnabled() ? kWindowText : kGrayText;
    for (int row = top_, y = 0; row < lines_.size() && y < height(); ++row, y += itemHeight_) {
        const QRect box(0, y, width(), itemHeight_);
        if (row == current_) {
            p.fillRect(box, kHighlight);
            p.setPen(kHighlightText);
        } else {
            p.setPen(text);
        }
        p.drawText(box.adjusted(kTextMargin, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   lines_.at(row));
    }
}

void DisplayListWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int row = rowAt(event->position().toPoint().y());
    if (row >= 0) emit rowPressed(row);
}

void DisplayListWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int row = rowAt(event->position().toPoint().y());
    if (row >= 0) emit rowDoubleClicked(row);
}

void DisplayListWidget::resizeEvent(QResizeEvent*) {
    scrollToCurrent();
}

}  // namespace tolvan::gui
