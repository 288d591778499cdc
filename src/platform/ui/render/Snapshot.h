#pragma once

#include "platform/ui/Geometry.h"
#include "platform/ui/render/Bitmap.h"

namespace tavlo::ui {
class ViewController;
class Window;
} // namespace tavlo::ui

namespace tavlo::ui::render {

// Pictures of what a person sees, one pixel a point, for tests and for people (Bitmap::png and
// Bitmap::writePng give the PNG).

// The window laid out at `size` (its frame follows when it differs), with what the application
// shows over it when it is the window on screen: sheets, popovers, input views and alerts.
Bitmap snapshot(Window& window, Size size);
// The controller's view laid out at `size` (it keeps that size), with the bars of the containers
// in it. Alerts belong to the window and are not drawn.
Bitmap snapshot(ViewController& controller, Size size);

} // namespace tavlo::ui::render
