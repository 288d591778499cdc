#include "platform/ui/render/CairoPixels.h"

#include <cairo.h>

#include <cstring>

namespace tavlo::ui::render {

cairo_surface_t* surfaceFromRgba(int width, int height, const uint8_t* rgba) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return surface;
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        const uint8_t* in = rgba + static_cast<size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x, in += 4) {
            uint32_t a = in[3];
            uint32_t r = (in[0] * a + 127) / 255, g = (in[1] * a + 127) / 255, b = (in[2] * a + 127) / 255;
            row[x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

Bitmap bitmapFromSurface(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
    Bitmap bitmap(width, height);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    if (!data) return bitmap;
    int stride = cairo_image_surface_get_stride(surface);
    bool opaque = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
    uint8_t* out = bitmap.rgba().data();
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < width; ++x, out += 4) {
            uint32_t p = row[x];
            uint32_t a = opaque ? 255 : p >> 24;
            uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (a != 0 && a != 255) {
                r = (r * 255 + a / 2) / a;
                g = (g * 255 + a / 2) / a;
                b = (b * 255 + a / 2) / a;
            }
            out[0] = static_cast<uint8_t>(r);
            out[1] = static_cast<uint8_t>(g);
            out[2] = static_cast<uint8_t>(b);
            out[3] = static_cast<uint8_t>(a);
        }
    }
    return bitmap;
}

} // namespace tavlo::ui::render
