#pragma once

#include "platform/foundation/Error.h"
#include "platform/ui/Color.h"
#include "platform/ui/Image.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tavlo::ui::render {

// A picture in memory: 8-bit RGBA pixels (not premultiplied), row by row from the top. What the
// renderer draws, and what a PNG file holds.
class Bitmap {
public:
    Bitmap() = default;
    // Transparent black.
    Bitmap(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    bool isEmpty() const { return width_ <= 0 || height_ <= 0; }
    const std::vector<uint8_t>& rgba() const { return rgba_; }
    std::vector<uint8_t>& rgba() { return rgba_; }
    // The colour of one pixel; transparent outside the picture.
    Color colorAt(int x, int y) const;

    // The picture as PNG bytes, and read back from them.
    std::vector<uint8_t> png() const;
    static std::optional<Bitmap> fromPng(std::span<const uint8_t> png, Error* error = nullptr);
    // Writes the PNG file, making its folder when missing.
    bool writePng(const std::string& path, Error* error = nullptr) const;
    static std::optional<Bitmap> readPng(const std::string& path, Error* error = nullptr);

    // As an image of the UI layer (its pixels).
    Image image() const;

    bool operator==(const Bitmap&) const = default;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> rgba_;
};

} // namespace tavlo::ui::render
