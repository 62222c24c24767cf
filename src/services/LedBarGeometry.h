#pragma once

#include <vector>

#include "services/Controls.h"
#include "services/LedBar.h"

namespace tolvan {

struct LedPoint {
    int x = 0, y = 0;
    friend bool operator==(const LedPoint&, const LedPoint&) = default;
};

// One circular segment as it is drawn. Boxes are left, top, right, bottom with the right and
// bottom edges excluded, in the bar's own coordinates.
struct LedSegment {
    int index = 0;
    int section = 1;  // 1, 2 or 3
    bool lit = false;
    Rect cell;
    Rect circle;       // filled and outlined in `colour`
    Rgb colour;        // the section's colour when lit, its dark colour when not
    Rgb highlight;     // the gleam's pen: white when lit, the section's colour when dark
    Rect arcOuter;     // the circle shrunk by a quarter of the segment size
    Rect arcInner;     // shrunk by one pixel more
    LedPoint arcFrom;  // the gleam runs counter-clockwise from the radial through this point...
    LedPoint arcTo;    // ...to the radial through this one

    // The gleam's start angle and its sweep in degrees, counter-clockwise from three o'clock
    // with y growing upwards, measured from the centre of the circle box.
    double arcStartDegrees() const;
    double arcSweepDegrees() const;
};

// Everything about drawing the bar that does not need a window: counts, section limits and
// every segment's place and colours.
struct LedBarGeometry {
    int width = 0, height = 0;
    bool transparent = false;
    Rgb background;                    // filled behind the segments unless transparent
    int count = 0;                     // segments that fit
    int lit = 0;                       // segments lit
    int s1 = 0, s2 = 0;                // last segment of the first and of the second section
    std::vector<LedSegment> segments;  // the segments drawn, left to right

    static LedBarGeometry of(const LedBar& bar);
};

// Rounds to the nearest integer, an exact half going to the even neighbour; values beyond the
// int range are held at its ends and NaN gives 0.
int roundHalfEven(double value);

// How far the position has come: 1 above the maximum, 0 below the minimum or on an empty range.
double fractionReached(double position, double min, double max);

// The unlit look of a colour: each channel divided by 3, the fraction dropped.
Rgb darkColour(Rgb colour);

}  // namespace tolvan
