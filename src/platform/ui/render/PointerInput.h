#pragma once

#include "platform/ui/Geometry.h"
#include "platform/ui/render/Renderer.h"

#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace tavlo::ui::render {

// Turns a pointer and keys into what a person's finger and keys do, on the screen as it is drawn
// now, through the same paths as the test harness (ui/Interaction):
// - pressed and let go in place: a tap (on a button, a field, a segment, a picker's row, a table
//   row, a drawn bar item or alert button, or the gesture recognisers there); a double click is a
//   double tap;
// - held in place: a long press, offered to the recognisers when the hold lasts (hold()) and
//   when it ends; a tap when none takes it;
// - moved: a drag (touches to the view, scrolling the scroll view under it, moving a slider);
//   a quick sideways flick to the left over a table row shows its delete button;
// - a click of the secondary button is a tap with two fingers (the recognisers there);
// - the wheel scrolls what is under the pointer (a picker turns); a scroll view that pages (a grid
//   of buttons) moves a page a notch, and comes to rest on a whole page when a drag lets it go;
// - typed text, backspace and return go to the first responder; tab moves it to the next field.
// Times are seconds on any steady scale.
class PointerInput {
public:
    // The hit regions of the screen as it is now (the window draws, or fingerprints, it anew).
    using Regions = std::function<std::vector<HitRegion>()>;

    static constexpr double kSlop = 10; // points a tap may wander
    static constexpr double kLongPressSeconds = 0.5;
    static constexpr double kSwipeDistance = 40;
    static constexpr double kSwipeSeconds = 0.6;
    static constexpr double kWheelStep = 40; // points a wheel notch scrolls

    explicit PointerInput(Regions regions);

    void press(Point at, double time);
    void move(Point to, double time);
    void release(Point at, double time, int clicks = 1);
    // The pointer is still down at this time: a long enough hold is a long press.
    void hold(double time);
    bool isPressed() const { return pressed_; }
    // The secondary button clicked: a two-finger tap.
    void secondaryClick(Point at);
    void wheel(Point at, double dx, double dy);

    enum class Key { Backspace, Return, Tab, BackTab };
    void text(std::string_view typed);
    void key(Key key);

private:
    // What a finger on a point reaches: a drawn thing's action, a view, or nothing (a barrier).
    struct Target {
        std::function<void()> action;
        std::shared_ptr<View> view; // the deepest view hit
        Point local;                // the point in its coordinates
        bool found = false;
    };
    Target targetAt(Point at) const;
    void tap(const Target& target, int clicks);
    bool longPress(double seconds);
    // Scrolls the nearest scroll view under `from` that can still move; by whole pages across (at
    // least one for any move) where it pages and `byPage` says so.
    void scroll(View& from, double dx, double dy, bool byPage = false);
    // A drag let go over a scroll view that pages: it comes to rest on a whole page.
    void settle(View& from);
    std::vector<View*> focusableViews() const;

    Regions regions_;
    bool pressed_ = false;
    bool dragging_ = false;
    bool consumed_ = false; // a long press took the touch
    Point start_, last_;
    double startTime_ = 0;
    Target target_;
};

} // namespace tavlo::ui::render
