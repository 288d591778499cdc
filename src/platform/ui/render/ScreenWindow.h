#pragma once

#include "platform/foundation/Error.h"
#include "platform/ui/render/Bitmap.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tavlo::ui {
class Application;
}

namespace tavlo::ui::render {

// The application's window on the display (SDL2): the key window of the application drawn at
// its size, one pixel a point (the pad's 1024x768 in landscape, the phone's 320x480), following
// it when it turns.
//
// It lives on the main run loop: the display's events arrive through a descriptor source (a
// timer where the display gives none), so an idle terminal sleeps. Mouse and keys go through
// PointerInput, as a person's finger and keys would. A frame is drawn only when the screen's
// fingerprint changed, at most 60 a second; the screen is looked at again at once after input,
// often while something moves or just moved, and a few times a second when idle.
class ScreenWindow {
public:
    static constexpr double kMaximumFrameRate = 60;

    // Opens the window; null with the reason when there is no display or SDL cannot start.
    static std::unique_ptr<ScreenWindow> open(Application& app, const std::string& title, Error* error = nullptr);
    ~ScreenWindow();
    ScreenWindow(const ScreenWindow&) = delete;
    ScreenWindow& operator=(const ScreenWindow&) = delete;

    // Something changed: look at the screen again soon.
    void setNeedsDisplay();
    // Lays out and draws a frame now, whatever the frame rate (a synchronous call is about to
    // keep the loop busy and the person should see what it shows first).
    void displayNow();
    // What the window shows now, as handed to the display.
    Bitmap screenshot() const;
    uint64_t framesDrawn() const;
    // The person closed the window. By default the main run loop stops.
    void setCloseHandler(std::function<void()> handler);

private:
    struct State;
    explicit ScreenWindow(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace tavlo::ui::render
