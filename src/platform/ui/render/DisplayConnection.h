#pragma once

struct SDL_Window;

namespace tavlo::ui::render {

// The descriptor the display's events arrive on for an SDL window (the X connection); -1 when
// the video driver gives none. Kept apart: the X headers define words our code uses.
int displayEventDescriptor(SDL_Window* window);

} // namespace tavlo::ui::render
