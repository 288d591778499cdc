#include "platform/ui/render/Bitmap.h"

#include "platform/ui/render/CairoPixels.h"

#include <cairo.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tavlo::ui::render {

namespace {

constexpr const char* kErrorDomain = "Bitmap";

struct PngReader {
    std::span<const uint8_t> bytes;
    size_t at = 0;
};

cairo_status_t readPngBytes(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (reader->bytes.size() - reader->at < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, reader->bytes.data() + reader->at, length);
    reader->at += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_status_t writePngBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::vector<uint8_t>*>(closure)->insert(static_cast<std::vector<uint8_t>*>(closure)->end(), data,
                                                        data + length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

Bitmap::Bitmap(int width, int height)
    : width_(std::max(0, width)), height_(std::max(0, height)),
      rgba_(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4, 0) {}

Color Bitmap::colorAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return Color::clear();
    const uint8_t* p = rgba_.data() + (static_cast<size_t>(y) * width_ + x) * 4;
    return {p[0] / 255.0, p[1] / 255.0, p[2] / 255.0, p[3] / 255.0};
}

std::vector<uint8_t> Bitmap::png() const {
    std::vector<uint8_t> out;
    if (isEmpty()) return out;
    cairo_surface_t* surface = surfaceFromRgba(width_, height_, rgba_.data());
    cairo_surface_write_to_png_stream(surface, writePngBytes, &out);
    cairo_surface_destroy(surface);
    return out;
}

std::optional<Bitmap> Bitmap::fromPng(std::span<const uint8_t> png, Error* error) {
    PngReader reader{png};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(readPngBytes, &reader);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        Error::set(error, kErrorDomain, 1,
                   std::string("Not a PNG picture: ") + cairo_status_to_string(cairo_surface_status(surface)));
        cairo_surface_destroy(surface);
        return std::nullopt;
    }
    Bitmap bitmap = bitmapFromSurface(surface);
    cairo_surface_destroy(surface);
    return bitmap;
}

bool Bitmap::writePng(const std::string& path, Error* error) const {
    std::vector<uint8_t> bytes = png();
    std::error_code ec;
    auto folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (bytes.empty() || !file) {
        Error::set(error, kErrorDomain, 2, "Could not write the picture to " + path);
        return false;
    }
    return true;
}

std::optional<Bitmap> Bitmap::readPng(const std::string& path, Error* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        Error::set(error, kErrorDomain, 3, "No picture at " + path);
        return std::nullopt;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return fromPng(bytes, error);
}

Image Bitmap::image() const { return Image::fromPixels({double(width_), double(height_)}, rgba_); }

} // namespace tavlo::ui::render
