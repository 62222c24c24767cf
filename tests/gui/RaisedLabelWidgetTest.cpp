#include "gui/widgets/RaisedLabelWidget.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <functional>

#include "Backdrop.h"
#include "gui/widgets/PanelFonts.h"
#include "gui/widgets/SystemColours.h"

namespace tolvan::gui {
namespace {

const QColor kFace(212, 208, 200);
const QColor kBlack(0, 0, 0);
const QColor kYellow(255, 255, 0);

class RaisedLabelWidgetTest : public ::testing::Test {
  protected:
    RaisedLabelWidgetTest() {
        label.setFont(panelFont("Arial", 40, true));
        label.setGeometry(0, 0, 60, 60);
        label.setAlignment(Qt::AlignCenter);
        label.setColor(kFace);
    }

    QImage image() { return label.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // Pixels of `img` where the plain text lies fully inked, with the step `d` from them
    // landing twice on bare background: the places where an offset pass alone shows.
    std::vector<QPoint> edge(const QImage& plain, QPoint d) {
        std::vector<QPoint> out;
        auto at = [&](QPoint p) { return plain.rect().contains(p) ? plain.pixelColor(p) : kFace; };
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x) {
                const QPoint p(x, y);
                if (at(p) == kBlack && at(p + d) == kFace && at(p + 2 * d) == kFace)
                    out.push_back(p + d);
            }
        return out;
    }

    int count(const QImage& img, const QColor& c) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += img.pixelColor(x, y) == c;
        return n;
    }

    void enter() {
        QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(&label, &e);
    }
    void leave() {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(&label, &e);
    }

    RaisedLabelWidget label{"I"};
};

TEST_F(RaisedLabelWidgetTest, RaisedTextHasItsShadowBelowRightAndItsHighlightAboveLeft) {
    const QImage plain = image();
    ASSERT_GT(count(plain, kBlack), 50);
    EXPECT_EQ(count(plain, kBtnHighlight), 0);

    label.setTextStyle(TextStyle::tsRaised);
    const QImage raised = image();
    const auto shadow = edge(plain, {1, 1});
    const auto highlight = edge(plain, {-1, -1});
    ASSERT_FALSE(shadow.empty());
    ASSERT_FALSE(highlight.empty());
    for (QPoint p : shadow)
        EXPECT_EQ(raised.pixelColor(p), kBtnShadow) << p.x() << "," << p.y();
    for (QPoint p : highlight)
        EXPECT_EQ(raised.pixelColor(p), kBtnHighlight) << p.x() << "," << p.y();

    label.setTextStyle(TextStyle::tsRecessed);
    const QImage recessed = image();
    for (QPoint p : shadow)
        EXPECT_EQ(recessed.pixelColor(p), kBtnHighlight);
    for (QPoint p : highlight)
        EXPECT_EQ(recessed.pixelColor(p), kBtnShadow);
}

TEST_F(RaisedLabelWidgetTest, ShadowStyleUsesItsOwnColourAndWidth) {
    const QImage plain = image();
    label.setTextStyle(TextStyle::taShadow);
    label.setShadowColor(QColor(0, 0, 255));
    label.setShadowWidth(2);
    const QImage shadowed = image();
    const auto at2 = edge(plain, {2, 2});
    ASSERT_FALSE(at2.empty());
    for (QPoint p : at2)
        EXPECT_EQ(shadowed.pixelColor(p), QColor(0, 0, 255));
    EXPECT_EQ(count(shadowed, kBtnHighlight), 0);
}

TEST_F(RaisedLabelWidgetTest, OutlineShowsOnHoverOnlyWithAnOnMouseBorder) {
    // The close mark: raised, with a yellow outline one pixel wide under the mouse.
    label.setTransparent(false);
    label.setTextStyle(TextStyle::tsRaised);
    label.setOnMouseTextStyle(TextStyle::tsRaised);
    label.setOnMouseBorderColor(kYellow);
    label.setOnMouseBorderWidth(1);
    EXPECT_EQ(count(image(), kYellow), 0);
    enter();
    EXPECT_EQ(label.borderWidth(), 1);
    EXPECT_GT(count(image(), kYellow), 5);
    leave();
    EXPECT_EQ(label.borderWidth(), 0);
    EXPECT_EQ(count(image(), kYellow), 0);

    // The panel disabled: no outline, and the text turns grey.
    label.setOnMouseBorderWidth(0);
    label.setEnabled(false);
    enter();
    const QImage disabled = image();
    EXPECT_EQ(count(disabled, kYellow), 0);
    EXPECT_EQ(count(disabled, kBlack), 0);
    EXPECT_GT(count(disabled, kGrayText), 50);
    leave();
}

TEST_F(RaisedLabelWidgetTest, HoverSwapsTheWholeLookAndGivesItBack) {
    label.setTextStyle(TextStyle::tsRecessed);
    label.setBorderWidth(2);
    label.setOnMouseTextStyle(TextStyle::taShadow);
    label.setOnMouseBorderWidth(0);
    label.setOnMouseShadowWidth(3);
    std::vector<bool> reports;
    QObject::connect(&label, &RaisedLabelWidget::hoveredChanged,
                     [&](bool h) { reports.push_back(h); });
    enter();
    enter();  // a second entry must not lose the saved look
    EXPECT_EQ(label.textStyle(), TextStyle::taShadow);
    EXPECT_EQ(label.borderWidth(), 0);
    EXPECT_EQ(label.shadowWidth(), 3);
    leave();
    EXPECT_EQ(label.textStyle(), TextStyle::tsRecessed);
    EXPECT_EQ(label.borderWidth(), 2);
    EXPECT_EQ(label.shadowWidth(), 1);
    EXPECT_EQ(reports, (std::vector<bool>{true, false}));
}

TEST_F(RaisedLabelWidgetTest, ClicksOnlyWhileEnabledAndShadowTextSeemsPressed) {
    int clicks = 0;
    QObject::connect(&label, &RaisedLabelWidget::clicked, [&] { ++clicks; });
    auto click = [&] {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&label, &press);
        const int widthWhileHeld = label.shadowWidth();
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&label, &release);
        return widthWhileHeld;
    };
    label.setOnMouseTextStyle(TextStyle::taShadow);
    label.setOnMouseShadowWidth(2);
    enter();
    EXPECT_EQ(click(), 0);
    EXPECT_EQ(label.shadowWidth(), 2);
    EXPECT_EQ(clicks, 1);
    label.setEnabled(false);
    click();
    EXPECT_EQ(clicks, 1);
}

TEST_F(RaisedLabelWidgetTest, TransparentLabelShowsWhatLiesBehind) {
    Backdrop window(QSize(100, 100), QColor(9, 99, 9));
    RaisedLabelWidget caption("I", &window);
    caption.setFont(panelFont("Arial", 40, true));
    caption.setGeometry(10, 10, 60, 60);
    caption.setTransparent(true);
    QImage img = window.grab().toImage();
    EXPECT_EQ(img.pixelColor(12, 12), QColor(9, 99, 9));
    caption.setTransparent(false);
    img = window.grab().toImage();
    EXPECT_EQ(img.pixelColor(12, 12), kBtnFace);
}

TEST_F(RaisedLabelWidgetTest, AmpersandIsShownAsIs) {
    label.setText("&");
    const int withAmpersand = count(image(), kBlack);
    EXPECT_GT(withAmpersand, 20);
}

}  // namespace
}  // namespace tolvan::gui
