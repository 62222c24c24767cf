#include "services/LedBarGeometry.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

namespace tolvan {

namespace {

constexpr Rgb kWhite{255, 255, 255};

Rect shrink(const Rect& r, int by) {
    return {r.left + by, r.top + by, r.right - by, r.bottom - by};
}

// Angle of the radial from the box's centre through p, in degrees 0 to 360, counter-clockwise
// with y growing upwards.
double radialDegrees(const Rect& box, LedPoint p) {
    const double cx = (box.left + box.right) / 2.0;
    const double cy = (box.top + box.bottom) / 2.0;
    double a = std::atan2(cy - p.y, p.x - cx) * 180.0 / std::numbers::pi;
    if (a < 0) a += 360.0;
    return a;
}

// Section limit in segments for a section end in position units.
int sectionLimit(double end, double min, double max, int n) {
    if (max == min || n == 0) return 0;
    return roundHalfEven((end - min) / (max - min) * n);
}

}  // namespace

int roundHalfEven(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    const double lower = std::floor(value);
    const double rest = value - lower;
    double result = lower;
    if (rest > 0.5) {
        result = lower + 1;
    } else if (rest == 0.5) {
        result = std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
    }
    return static_cast<int>(result);
}

double fractionReached(double position, double min, double max) {
    if (position > max) return 1.0;
    if (position >= min && max != min) {
        const double f = (position - min) / (max - min);
        return std::isfinite(f) ? f : 0.0;
    }
    return 0.0;
}

Rgb darkColour(Rgb c) {
    return {static_cast<std::uint8_t>(c.r / 3), static_cast<std::uint8_t>(c.g / 3),
            static_cast<std::uint8_t>(c.b / 3)};
}

double LedSegment::arcStartDegrees() const {
    return radialDegrees(circle, arcFrom);
}

double LedSegment::arcSweepDegrees() const {
    double sweep = radialDegrees(circle, arcTo) - arcStartDegrees();
    if (sweep <= 0) sweep += 360.0;
    return sweep;
}

LedBarGeometry LedBarGeometry::of(const LedBar& bar) {
    const LedBarStyle& st = bar.style();
    LedBarGeometry g;
    g.width = bar.width();
    g.height = bar.height();
    g.transparent = bar.transparent();
    g.background = st.backGroundColor;

    // The segments run from the left margin; what is left over at the right end stays empty.
    const int usable = g.width - 2 * st.segmentMargin + 2;
    const int pitch = st.segmentSize + st.segmentSpacing;
    g.count = (usable > 0 && pitch > 0) ? usable / pitch : 0;

    const double min = bar.positionMin();
    const double max = bar.positionMax();
    g.lit = roundHalfEven(fractionReached(bar.position(), min, max) * g.count);
    g.s1 = sectionLimit(bar.sectionEnd1(), min, max, g.count);
    g.s2 = sectionLimit(bar.sectionEnd2(), min, max, g.count);

    const int s = st.segmentSize;
    const int h = s / 2;
    const int q = s / 4;
    Rect cell{st.segmentMargin, st.segmentMargin, st.segmentMargin + s,
              g.height - st.segmentMargin};
    int section = 1;
    for (int i = 0; i < g.count; ++i, cell.left += pitch, cell.right += pitch) {
        if (i == g.lit && !st.showOffSegments) break;
        // The section only ever moves up, so segment s1 still belongs to the first section.
        if (st.sectionCount > 1 && i > g.s1 && section < 2) section = 2;
        if (st.sectionCount > 2 && i > g.s2 && section < 3) section = 3;
        const Rgb c = section == 1   ? st.sectionColor1
                      : section == 2 ? st.sectionColor2
                                     : st.sectionColor3;
        LedSegment seg;
        seg.index = i;
        seg.section = section;
        seg.lit = i < g.lit;
        seg.cell = cell;
        const int cx = (cell.left + cell.right) / 2;
        const int cy = (cell.top + cell.bottom) / 2;
        seg.circle = {cx - h, cy - h, cx + s - h, cy + s - h};
        seg.colour = seg.lit ? c : darkColour(c);
        seg.highlight = seg.lit ? kWhite : c;
        seg.arcOuter = shrink(seg.circle, q);
        seg.arcInner = shrink(seg.circle, q + 1);
        seg.arcFrom = {seg.circle.right - h, seg.circle.top};
        seg.arcTo = {seg.circle.left, seg.circle.bottom - h};
        g.segments.push_back(seg);
    }
    return g;
}

}  // namespace tolvan
