#pragma once

#include <string>
#include <vector>

#include "services/ViewListener.h"

namespace tolvan {

// Passes model changes to the window, when there is one (tests run without).
class ViewNotifier {
  public:
    void setListener(ViewListener* listener) { listener_ = listener; }
    void changed(ControlId id) const {
        if (listener_) listener_->changed(id);
    }
    void repaintNow(ControlId id) const {
        if (listener_) listener_->repaintNow(id);
    }

  private:
    ViewListener* listener_ = nullptr;
};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom excluded
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// What every control of the main window has: a place, a size, visibility and enabled state.
class Control {
  public:
    Control(ViewNotifier& view, ControlId id, Rect bounds)
        : view_(view), id_(id), bounds_(bounds) {}
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    ControlId id() const { return id_; }
    bool visible() const { return visible_; }
    void setVisible(bool v) { set(visible_, v); }
    bool enabled() const { return enabled_; }
    void setEnabled(bool e) { set(enabled_, e); }
    const Rect& bounds() const { return bounds_; }
    int left() const { return bounds_.left; }
    int top() const { return bounds_.top; }
    int width() const { return bounds_.width(); }
    int height() const { return bounds_.height(); }
    void setLeft(int x) { setBounds({x, bounds_.top, x + width(), bounds_.bottom}); }
    void setTop(int y) { setBounds({bounds_.left, y, bounds_.right, y + height()}); }
    void setWidth(int w) {
        setBounds({bounds_.left, bounds_.top, bounds_.left + w, bounds_.bottom});
    }
    void setHeight(int h) {
        setBounds({bounds_.left, bounds_.top, bounds_.right, bounds_.top + h});
    }
    void setBounds(Rect r) { set(bounds_, r); }
    // Draws the control at once, also in the middle of a blocking routine.
    void repaint() const { view_.repaintNow(id_); }

  protected:
    void changed() const { view_.changed(id_); }
    template <typename T>
    void set(T& field, const T& value) {
        if (field == value) return;
        field = value;
        changed();
    }

  private:
    ViewNotifier& view_;
    ControlId id_;
    Rect bounds_;
    bool visible_ = true;
    bool enabled_ = true;
};

// A list box: lines of text and the selected line (-1 for none).
class ListBox : public Control {
  public:
    using Control::Control;
    const std::vector<std::string>& items() const { return items_; }
    int count() const { return static_cast<int>(items_.size()); }
    // The text of line i; empty for a line that is not there.
    const std::string& item(int i) const;
    void clear();
    void add(std::string line);
    void setItem(int i, std::string line);
    int itemIndex() const { return itemIndex_; }
    // A selection outside the lines selects nothing, as a list box does.
    void setItemIndex(int i);

  private:
    std::vector<std::string> items_;
    int itemIndex_ = -1;
};

// A text label; the raised labels carry the look of their text as well.
class Label : public Control {
  public:
    Label(ViewNotifier& view, ControlId id, Rect bounds, std::string caption)
        : Control(view, id, bounds), caption_(std::move(caption)) {}
    const std::string& caption() const { return caption_; }
    void setCaption(std::string c) { set(caption_, c); }
    bool transparent() const { return transparent_; }
    void setTransparent(bool t) { set(transparent_, t); }
    // Width of the outline drawn while the mouse is over the label (0: none).
    int onMouseBorderWidth() const { return onMouseBorderWidth_; }
    void setOnMouseBorderWidth(int w) { set(onMouseBorderWidth_, w); }

  private:
    std::string caption_;
    bool transparent_ = false;
    int onMouseBorderWidth_ = 0;
};

// One of the panel's keys.
class ImageButton : public Control {
  public:
    ImageButton(ViewNotifier& view, ControlId id, Rect bounds, std::string hint)
        : Control(view, id, bounds), hint_(std::move(hint)) {}
    const std::string& hint() const { return hint_; }

  private:
    std::string hint_;
};

// A multi-line text box that only grows.
class Memo : public Control {
  public:
    using Control::Control;
    const std::vector<std::string>& lines() const { return lines_; }
    void addLine(std::string line);

  private:
    std::vector<std::string> lines_;
};

// The window's background picture: the front panel, or in selector mode a JPEG file.
class Picture : public Control {
  public:
    using Control::Control;
    // Empty: the front panel picture stored with the window.
    const std::string& jpegFile() const { return jpegFile_; }
    void setJpegFile(std::string path) { set(jpegFile_, path); }

  private:
    std::string jpegFile_;
};

// The main window itself: place, size and, in selector mode, the region that is drawn.
class WindowFrame : public Control {
  public:
    using Control::Control;
    const std::vector<Rect>& region() const { return region_; }  // empty: the whole window
    void setRegion(std::vector<Rect> rects) { set(region_, rects); }

  private:
    std::vector<Rect> region_;
};

}  // namespace tolvan
