#pragma once

#include "platform/foundation/Clock.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Slider.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/ViewController.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace tavlo::ui::test {

// Thrown when a test asks for something a person could not see or do.
class HarnessError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Drives screens the way a person would, headless: a fresh application of one idiom with a fake
// clock and a clean main loop, acts on what is on screen, and reads it back.
class Harness {
public:
    explicit Harness(DeviceIdiom idiom = DeviceIdiom::Phone);
    ~Harness();
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    Application& app() { return *app_; }
    Window& window() { return app_->window(); }
    FakeClock& clock() { return *clock_; }

    // --- screens and time
    // Makes the controller the window's root, shows the window and runs until idle.
    void show(std::shared_ptr<ViewController> root);
    // The front-most controller: the top of the presented chain, inside its containers.
    ViewController& visibleController();
    template <typename T> T& visible() { return as<T>(visibleController(), "the visible controller"); }
    // Runs the main loop until nothing is left to do now, then lays out the windows.
    void runUntilIdle();
    // Moves the fake clock on, firing the timers that fall due on the way.
    void advance(double seconds);
    void rotate(DeviceOrientation orientation);

    // --- alerts
    bool hasAlert() const { return app_->frontAlert() != nullptr; }
    AlertView& frontAlert();
    void clickAlert(int buttonIndex);
    void clickAlert(const std::string& buttonTitle);

    // --- finding, among the views a person sees (front-most first)
    template <typename T = View> T& outlet(const std::string& name);
    template <typename T = View> T& viewWithTag(int tag) {
        return as<T>(findView([tag](View& v) { return v.tag() == tag; }, "a view with tag " + std::to_string(tag)),
                     "the view with that tag");
    }
    template <typename T = View> T& viewWithText(const std::string& text);
    template <typename T> std::vector<T*> viewsOf();
    std::vector<std::string> visibleLabelTexts();
    // Every view a person sees, front-most first.
    std::vector<View*> visibleViews();

    // --- acting
    void tap(Button& button);
    void tap(BarButtonItem& item);
    // A shown button or bar item with this title (front-most first).
    void tap(const std::string& title);
    void tap(SystemItem kind);
    void tapBack();
    void tapRow(TableView& table, IndexPath path);
    void tapAccessory(TableView& table, IndexPath path);
    // Swipes the row, confirms, and answers the confirmation's title.
    std::string swipeDelete(TableView& table, IndexPath path);
    // Makes the input first responder and types key by key, each through its delegate.
    void type(TextField& field, const std::string& keys) { typeInto(field, field, keys); }
    void type(TextView& view, const std::string& keys) { typeInto(view, view, keys); }
    void type(SearchBar& bar, const std::string& keys) { typeInto(bar, bar, keys); }
    void backspace(TextField& field, int times = 1) { backspaceIn(field, field, times); }
    void backspace(TextView& view, int times = 1) { backspaceIn(view, view, times); }
    void backspace(SearchBar& bar, int times = 1) { backspaceIn(bar, bar, times); }
    void pick(PickerView& picker, int row, int component = 0);
    void pick(PickerView& picker, const std::string& title, int component = 0);
    void slide(Slider& slider, double value);
    void pickSegment(SegmentedControl& control, int index);
    void pickSegment(SegmentedControl& control, const std::string& title);
    // Gestures at a point of a view (its coordinates), through its recognisers or its ancestors'.
    void tapAt(View& view, Point point, int taps = 1, int touches = 1);
    void longPress(View& view, Point point, double seconds = 1);
    // A finger drawn along points of a view (touches began, moved, ended).
    void drag(View& view, const std::vector<Point>& points);

private:
    template <typename T> static T& as(View& view, const std::string& what);
    template <typename T> static T& as(ViewController& controller, const std::string& what);
    View& findView(const std::function<bool(View&)>& match, const std::string& what);
    std::vector<BarButtonItem*> visibleBarItems();
    std::vector<ViewController*> onScreenControllers();
    void requireNoAlert(const std::string& action) const;
    void requireShown(View& view, const std::string& what);
    void typeInto(View& view, TextInput& input, const std::string& keys);
    void backspaceIn(View& view, TextInput& input, int times);
    void gesture(View& view, Point point, int touches, int taps, double seconds, const std::string& what);

    std::shared_ptr<FakeClock> clock_;
    std::shared_ptr<Clock> previousClock_;
    std::shared_ptr<Application> app_;
};

template <typename T> T& Harness::as(View& view, const std::string& what) {
    if (auto* typed = dynamic_cast<T*>(&view)) return *typed;
    throw HarnessError(what + " is not of the class asked for");
}

template <typename T> T& Harness::as(ViewController& controller, const std::string& what) {
    if (auto* typed = dynamic_cast<T*>(&controller)) return *typed;
    throw HarnessError(what + " is not of the class asked for");
}

template <typename T> T& Harness::outlet(const std::string& name) {
    for (ViewController* c = &visibleController(); c; c = c->parentViewController())
        if (View* v = c->outlet(name)) return as<T>(*v, "the outlet " + name);
    throw HarnessError("the visible controller has no outlet " + name);
}

template <typename T> T& Harness::viewWithText(const std::string& text) {
    auto match = [&](View& v) {
        if (v.displayedText() != text) return false;
        if constexpr (std::is_same_v<T, View>) return true;
        else return dynamic_cast<T*>(&v) != nullptr;
    };
    return as<T>(findView(match, "a view showing \"" + text + "\""), "the view showing \"" + text + "\"");
}

template <typename T> std::vector<T*> Harness::viewsOf() {
    std::vector<T*> found;
    for (View* v : visibleViews())
        if (auto* typed = dynamic_cast<T*>(v)) found.push_back(typed);
    return found;
}

} // namespace tavlo::ui::test
