#pragma once

#include "platform/ui/Geometry.h"

#include <functional>

namespace tavlo::ui {

class View;

// Turns touches on a view into one action. Tests drive it through recognize().
class GestureRecognizer {
public:
    enum class State { Possible, Began, Changed, Ended, Cancelled, Failed };
    using Action = std::function<void(GestureRecognizer&)>;

    explicit GestureRecognizer(Action action) : action_(std::move(action)) {}
    virtual ~GestureRecognizer() = default;

    View* view() const { return view_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    State state() const { return state_; }
    int numberOfTouchesRequired() const { return touches_; }
    void setNumberOfTouchesRequired(int touches) { touches_ = touches; }
    // Where the gesture happened, in a view's coordinates (null: the root of the tree).
    Point locationInView(const View* view) const;

    // A person's gesture at a point of the recogniser's view, held for some seconds; answers
    // whether this recogniser took it (and so ran its action).
    bool recognize(Point location, int touches, int taps, double seconds);

protected:
    virtual bool accepts(int touches, int taps, double seconds) const = 0;
    // Discrete gestures end at once; continuous ones begin and then end.
    virtual bool isContinuous() const { return false; }

private:
    friend class View;
    View* view_ = nullptr;
    Action action_;
    bool enabled_ = true;
    State state_ = State::Possible;
    int touches_ = 1;
    Point location_; // in the view's coordinates
};

class TapGestureRecognizer : public GestureRecognizer {
public:
    using GestureRecognizer::GestureRecognizer;
    int numberOfTapsRequired() const { return taps_; }
    void setNumberOfTapsRequired(int taps) { taps_ = taps; }

protected:
    bool accepts(int touches, int taps, double seconds) const override;

private:
    int taps_ = 1;
};

class LongPressGestureRecognizer : public GestureRecognizer {
public:
    using GestureRecognizer::GestureRecognizer;
    double minimumPressDuration() const { return minimum_; }
    void setMinimumPressDuration(double seconds) { minimum_ = seconds; }
    double allowableMovement() const { return movement_; }
    void setAllowableMovement(double points) { movement_ = points; }

protected:
    bool accepts(int touches, int taps, double seconds) const override;
    bool isContinuous() const override { return true; }

private:
    double minimum_ = 0.5;
    double movement_ = 10;
};

} // namespace tavlo::ui
