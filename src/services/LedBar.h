#pragma once

#include <cstdint>

#include "services/Controls.h"

namespace tolvan {

// A colour as red, green and blue.
struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The bar's look as stored with the window; nothing of it changes at run time.
struct LedBarStyle {
    Rgb backGroundColor{0, 0, 0};
    int segmentSize = 7;     // along the bar, and the circle's diameter
    int segmentSpacing = 2;  // gap between segments
    int segmentMargin = 2;   // between the bar's edge and the segments
    int sectionCount = 3;
    Rgb sectionColor1{0, 255, 0};
    Rgb sectionColor2{255, 255, 0};
    Rgb sectionColor3{255, 0, 0};
    bool showOffSegments = true;  // segments beyond the position are drawn dark
};

// The LED-segment progress bar iLedBar1: its settings and current values. How it is drawn is
// computed by LedBarGeometry.
class LedBar : public Control {
  public:
    using Control::Control;

    double position() const { return position_; }
    void setPosition(double p) { set(position_, p); }
    double positionMin() const { return positionMin_; }
    void setPositionMin(double m) { set(positionMin_, m); }
    double positionMax() const { return positionMax_; }
    void setPositionMax(double m) { set(positionMax_, m); }
    double sectionEnd1() const { return sectionEnd1_; }
    void setSectionEnd1(double e) { set(sectionEnd1_, e); }
    double sectionEnd2() const { return sectionEnd2_; }
    void setSectionEnd2(double e) { set(sectionEnd2_, e); }
    bool transparent() const { return transparent_; }
    void setTransparent(bool t) { set(transparent_, t); }
    const LedBarStyle& style() const { return style_; }
    void setStyle(const LedBarStyle& s) {
        style_ = s;
        changed();
    }

    // Position 0, maximum `sectors`, sections ending at half and three quarters of it, in that
    // order, as every image's transfer prepares the bar.
    void prepare(int sectors) {
        setPosition(0);
        setPositionMax(sectors);
        setSectionEnd1(sectors * 0.5);
        setSectionEnd2(sectors * 0.75);
    }

  private:
    double position_ = 0;
    double positionMin_ = 0;
    double positionMax_ = 100;
    double sectionEnd1_ = 50;
    double sectionEnd2_ = 75;
    bool transparent_ = false;
    LedBarStyle style_;
};

}  // namespace tolvan
