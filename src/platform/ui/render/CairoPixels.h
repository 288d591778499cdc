#pragma once

#include "platform/ui/render/Bitmap.h"

#include <cstdint>

typedef struct _cairo_surface cairo_surface_t;

namespace tavlo::ui::render {

// Between our RGBA pixels and cairo's image surfaces (premultiplied ARGB in native words).

// A new image surface with a copy of the pixels (the caller destroys it).
cairo_surface_t* surfaceFromRgba(int width, int height, const uint8_t* rgba);
// The pixels of an image surface (flushed first).
Bitmap bitmapFromSurface(cairo_surface_t* surface);

} // namespace tavlo::ui::render
