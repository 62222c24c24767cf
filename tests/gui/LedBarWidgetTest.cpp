#include "gui/widgets/LedBarWidget.h"

#include <gtest/gtest.h>

#include "Backdrop.h"

namespace tolvan::gui {
namespace {

QRgb rgb(int r, int g, int b) {
    return qRgb(r, g, b);
}

class LedBarWidgetTest : public ::testing::Test {
  protected:
    ViewNotifier view;
    LedBar bar{view, ControlId::iLedBar1, Rect{459, 304, 749, 320}};

    QImage grab(LedBarWidget& w) {
        return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    static QPoint centre(const LedSegment& s) {
        return {(s.circle.left + s.circle.right) / 2, (s.circle.top + s.circle.bottom) / 2};
    }
    // A pixel of the gleam: inside the upper-left quarter of the circle.
    static QPoint gleam(const LedSegment& s) { return {s.circle.left + 2, s.circle.top + 2}; }
};

TEST_F(LedBarWidgetTest, LitAndDarkSegmentsInTheirSectionColours) {
    bar.prepare(40);
    bar.setPosition(10);
    LedBarWidget w;
    w.setBar(&bar);
    w.resize(290, 16);
    const QImage img = grab(w);
    const LedBarGeometry g = LedBarGeometry::of(bar);

    for (const LedSegment& s : g.segments) {
        const QRgb expected = rgb(s.colour.r, s.colour.g, s.colour.b);
        EXPECT_EQ(img.pixel(centre(s)), expected) << "segment " << s.index;
    }
    EXPECT_EQ(img.pixel(centre(g.segments[7])), rgb(0, 255, 0));
    EXPECT_EQ(img.pixel(centre(g.segments[8])), rgb(0, 85, 0));
    EXPECT_EQ(img.pixel(centre(g.segments[20])), rgb(85, 85, 0));
    EXPECT_EQ(img.pixel(centre(g.segments[31])), rgb(85, 0, 0));
    // Black around and between the circles, which stay inside their boxes.
    EXPECT_EQ(img.pixel(0, 0), rgb(0, 0, 0));
    EXPECT_EQ(img.pixel(10, 8), rgb(0, 0, 0));
    EXPECT_EQ(img.pixel(289, 8), rgb(0, 0, 0));
    const LedSegment& first = g.segments[0];
    EXPECT_EQ(img.pixel(first.circle.left - 1, centre(first).y()), rgb(0, 0, 0));
    EXPECT_EQ(img.pixel(first.circle.right, centre(first).y()), rgb(0, 0, 0));
    EXPECT_EQ(img.pixel(centre(first).x(), first.circle.top - 1), rgb(0, 0, 0));
    EXPECT_EQ(img.pixel(centre(first).x(), first.circle.bottom), rgb(0, 0, 0));
    EXPECT_EQ(img.pixel(first.circle.left, centre(first).y()), rgb(0, 255, 0));
}

TEST_F(LedBarWidgetTest, GleamIsWhiteWhenLitAndTheFullColourWhenDark) {
    bar.prepare(40);
    bar.setPosition(10);
    LedBarWidget w;
    w.setBar(&bar);
    w.resize(290, 16);
    const QImage img = grab(w);
    const LedBarGeometry g = LedBarGeometry::of(bar);
    EXPECT_EQ(img.pixel(gleam(g.segments[0])), rgb(255, 255, 255));
    EXPECT_EQ(img.pixel(gleam(g.segments[8])), rgb(0, 255, 0));
    EXPECT_EQ(img.pixel(gleam(g.segments[20])), rgb(255, 255, 0));
    EXPECT_EQ(img.pixel(gleam(g.segments[31])), rgb(255, 0, 0));
    // The lower right of a circle has no gleam.
    const LedSegment& s = g.segments[0];
    EXPECT_EQ(img.pixel(s.circle.right - 2, s.circle.bottom - 2), rgb(0, 255, 0));
}

TEST_F(LedBarWidgetTest, RedrawsWhatTheModelSaysNow) {
    bar.prepare(40);
    LedBarWidget w;
    w.setBar(&bar);
    w.resize(290, 16);
    const QPoint last = centre(LedBarGeometry::of(bar).segments[31]);
    EXPECT_EQ(grab(w).pixel(last), rgb(85, 0, 0));
    bar.setPosition(40);
    EXPECT_EQ(grab(w).pixel(last), rgb(255, 0, 0));
}

TEST_F(LedBarWidgetTest, TransparentBarShowsThePictureBehindBetweenTheSegments) {
    // The selector-mode background, and the bar on it at its place there.
    Backdrop window(QSize(800, 600), QColor(30, 60, 200));

    bar.prepare(40);
    bar.setPosition(30);
    bar.setTransparent(true);
    LedBarWidget w(&window);
    w.setBar(&bar);
    w.setGeometry(500, 72, 290, 16);

    const QImage img = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const LedBarGeometry g = LedBarGeometry::of(bar);
    const QPoint at(500, 72);
    EXPECT_EQ(img.pixel(at + QPoint(0, 0)), rgb(30, 60, 200));
    EXPECT_EQ(img.pixel(at + QPoint(10, 8)), rgb(30, 60, 200));
    EXPECT_EQ(img.pixel(at + centre(g.segments[0])), rgb(0, 255, 0));
    EXPECT_EQ(img.pixel(at + centre(g.segments[31])), rgb(85, 0, 0));
    EXPECT_EQ(img.pixel(at + gleam(g.segments[0])), rgb(255, 255, 255));
}

TEST_F(LedBarWidgetTest, NoModelDrawsNothingAndAnEmptyBarIsSafe) {
    LedBarWidget w;
    w.resize(290, 16);
    EXPECT_FALSE(w.grab().isNull());
    LedBar tiny{view, ControlId::iLedBar1, Rect{0, 0, 0, 0}};
    EXPECT_TRUE(renderLedBar(LedBarGeometry::of(tiny)).isNull());
}

}  // namespace
}  // namespace tolvan::gui
