#pragma once

#include "panel/Controls.h"

namespace tolvan {

// The LED-segment progress bar iLedBar1: its settings and current values. How it is drawn is
// computed by LedBarGeometry.
class LedBar : public Control {
  public:
    using Control::Control;

    double position() const { return position_; }
    void setPosition(double p) { set(position_, p); }
    double positionMin() const { return positionMin_; }
    double positionMax() const { return positionMax_; }
    void setPositionMax(double m) { set(positionMax_, m); }
    double sectionEnd1() const { return sectionEnd1_; }
    void setSectionEnd1(double e) { set(sectionEnd1_, e); }
    double sectionEnd2() const { return sectionEnd2_; }
    void setSectionEnd2(double e) { set(sectionEnd2_, e); }
    bool transparent() const { return transparent_; }
    void setTransparent(bool t) { set(transparent_, t); }

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
};

}  // namespace tolvan
