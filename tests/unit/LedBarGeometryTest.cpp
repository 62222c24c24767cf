#include "services/LedBarGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tolvan {
namespace {

constexpr Rgb kLime{0, 255, 0};
constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

class LedBarGeometryTest : public ::testing::Test {
  protected:
    ViewNotifier view;
    // iLedBar1 where the window puts it in normal mode: 290 x 16.
    LedBar bar{view, ControlId::iLedBar1, Rect{459, 304, 749, 320}};

    LedBarGeometry run(int sectors, int sector) {
        bar.prepare(sectors);
        bar.setPosition(sector);
        return LedBarGeometry::of(bar);
    }
};

TEST_F(LedBarGeometryTest, ThirtyTwoCellsNinePixelsApartFromTheMargin) {
    const LedBarGeometry g = LedBarGeometry::of(bar);
    EXPECT_EQ(g.width, 290);
    EXPECT_EQ(g.height, 16);
    ASSERT_EQ(g.count, 32);
    ASSERT_EQ(g.segments.size(), 32u);
    EXPECT_EQ(g.segments[0].cell, (Rect{2, 2, 9, 14}));
    EXPECT_EQ(g.segments[1].cell, (Rect{11, 2, 18, 14}));
    EXPECT_EQ(g.segments[31].cell, (Rect{281, 2, 288, 14}));
    EXPECT_EQ(g.background, (Rgb{0, 0, 0}));
    EXPECT_FALSE(g.transparent);
}

TEST_F(LedBarGeometryTest, CircleAndGleamBoxesOfTheFirstSegment) {
    const LedSegment s = LedBarGeometry::of(bar).segments[0];
    // Centre (5, 8); h = 3, q = 1.
    EXPECT_EQ(s.circle, (Rect{2, 5, 9, 12}));
    EXPECT_EQ(s.arcOuter, (Rect{3, 6, 8, 11}));
    EXPECT_EQ(s.arcInner, (Rect{4, 7, 7, 10}));
    EXPECT_EQ(s.arcFrom, (LedPoint{6, 5}));
    EXPECT_EQ(s.arcTo, (LedPoint{2, 9}));
    // From just right of the top round over the upper left to just below the left: the gleam.
    EXPECT_NEAR(s.arcStartDegrees(), 81.87, 0.01);
    EXPECT_NEAR(s.arcSweepDegrees(), 106.26, 0.01);
    const LedSegment next = LedBarGeometry::of(bar).segments[1];
    EXPECT_EQ(next.circle, (Rect{11, 5, 18, 12}));
}

TEST_F(LedBarGeometryTest, FortySectorsSplitIntoLimeYellowRed) {
    const LedBarGeometry g = run(40, 10);
    EXPECT_EQ(g.s1, 16);
    EXPECT_EQ(g.s2, 24);
    EXPECT_EQ(g.lit, 8);
    for (const LedSegment& s : g.segments) {
        const int expected = s.index <= 16 ? 1 : s.index <= 24 ? 2 : 3;
        EXPECT_EQ(s.section, expected) << "segment " << s.index;
        EXPECT_EQ(s.lit, s.index < 8) << "segment " << s.index;
    }
    EXPECT_EQ(g.segments[7].colour, kLime);
    EXPECT_EQ(g.segments[7].highlight, kWhite);
    EXPECT_EQ(g.segments[8].colour, (Rgb{0, 85, 0}));
    EXPECT_EQ(g.segments[8].highlight, kLime);
    EXPECT_EQ(g.segments[17].colour, (Rgb{85, 85, 0}));
    EXPECT_EQ(g.segments[25].colour, (Rgb{85, 0, 0}));
}

TEST_F(LedBarGeometryTest, PositionZeroIsAllDarkWithTheGleamInTheSectionColour) {
    const LedBarGeometry g = run(40, 0);
    EXPECT_EQ(g.lit, 0);
    for (const LedSegment& s : g.segments) {
        EXPECT_FALSE(s.lit);
        const Rgb c = s.section == 1 ? kLime : s.section == 2 ? kYellow : kRed;
        EXPECT_EQ(s.colour, darkColour(c));
        EXPECT_EQ(s.highlight, c);
    }
}

TEST_F(LedBarGeometryTest, AtAndAboveTheMaximumEverySegmentIsLit) {
    for (int sector : {40, 41, 1000}) {
        const LedBarGeometry g = run(40, sector);
        EXPECT_EQ(g.lit, 32) << sector;
        EXPECT_EQ(g.segments[31].colour, kRed);
        EXPECT_EQ(g.segments[20].colour, kYellow);
        EXPECT_EQ(g.segments[0].colour, kLime);
    }
}

TEST_F(LedBarGeometryTest, MaximumZeroLightsNothingAndTurnsRedAfterTheFirstSegment) {
    const LedBarGeometry g = run(0, 0);
    EXPECT_EQ(g.lit, 0);
    EXPECT_EQ(g.s1, 0);
    EXPECT_EQ(g.s2, 0);
    EXPECT_EQ(g.segments[0].section, 1);
    EXPECT_EQ(g.segments[0].colour, darkColour(kLime));
    for (int i = 1; i < 32; ++i)
        EXPECT_EQ(g.segments[i].section, 3) << i;
}

TEST_F(LedBarGeometryTest, SmallImagesRoundToTheNearestSegment) {
    const LedBarGeometry g = run(3, 1);
    EXPECT_EQ(g.s1, 16);
    EXPECT_EQ(g.s2, 24);
    EXPECT_EQ(g.lit, 11);          // 10.67
    EXPECT_EQ(run(3, 2).lit, 21);  // 21.33
}

TEST_F(LedBarGeometryTest, ExactHalvesGoToTheEvenCount) {
    EXPECT_EQ(run(64, 33).lit, 16);  // 16.5
    EXPECT_EQ(run(64, 35).lit, 18);  // 17.5
    EXPECT_EQ(run(64, 1).lit, 0);    // 0.5
    EXPECT_EQ(run(64, 3).lit, 2);    // 1.5
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(-1.5), -2);
    EXPECT_EQ(roundHalfEven(2.4999), 2);
}

TEST_F(LedBarGeometryTest, FractionCountsFromTheMinimum) {
    EXPECT_DOUBLE_EQ(fractionReached(15, 10, 20), 0.5);
    EXPECT_DOUBLE_EQ(fractionReached(5, 10, 20), 0.0);
    EXPECT_DOUBLE_EQ(fractionReached(21, 10, 20), 1.0);
    EXPECT_DOUBLE_EQ(fractionReached(10, 10, 10), 0.0);
    bar.setPositionMin(10);
    bar.setPositionMax(20);
    bar.setSectionEnd1(15);
    bar.setSectionEnd2(17.5);
    bar.setPosition(15);
    const LedBarGeometry g = LedBarGeometry::of(bar);
    EXPECT_EQ(g.lit, 16);
    EXPECT_EQ(g.s1, 16);
    EXPECT_EQ(g.s2, 24);
}

TEST_F(LedBarGeometryTest, StyleChangesCountAndSections) {
    LedBarStyle st;
    st.sectionCount = 1;
    st.showOffSegments = false;
    bar.setStyle(st);
    const LedBarGeometry g = run(40, 10);
    ASSERT_EQ(g.segments.size(), 8u);  // drawing stops at the first unlit segment
    for (const LedSegment& s : g.segments)
        EXPECT_EQ(s.section, 1);

    st.segmentMargin = 200;  // nothing fits
    bar.setStyle(st);
    EXPECT_EQ(LedBarGeometry::of(bar).count, 0);
    EXPECT_TRUE(LedBarGeometry::of(bar).segments.empty());
}

TEST_F(LedBarGeometryTest, OutlandishValuesStayInRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    bar.setPositionMax(nan);
    bar.setPosition(5);
    LedBarGeometry g = LedBarGeometry::of(bar);
    EXPECT_EQ(g.lit, 0);
    EXPECT_EQ(g.segments.size(), 32u);

    bar.setPositionMax(1e-300);
    bar.setSectionEnd1(1e300);
    bar.setSectionEnd2(-1e300);
    bar.setPosition(0);
    g = LedBarGeometry::of(bar);
    EXPECT_EQ(g.s1, std::numeric_limits<int>::max());
    EXPECT_EQ(g.s2, std::numeric_limits<int>::min());
    EXPECT_EQ(g.segments[0].section, 3);  // every i lies above s2
}

}  // namespace
}  // namespace tolvan
