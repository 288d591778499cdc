#include "platform/ui/render/DisplayConnection.h"

#include <SDL.h>
#include <SDL_syswm.h>

namespace tavlo::ui::render {

int displayEventDescriptor(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info)) return -1;
#if defined(SDL_VIDEO_DRIVER_X11)
    if (info.subsystem == SDL_SYSWM_X11) return ConnectionNumber(info.info.x11.display);
#endif
    return -1;
}

} // namespace tavlo::ui::render
