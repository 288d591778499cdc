#pragma once

#include "platform/foundation/Error.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace tavlo {

// A picture in memory: 8-bit RGBA pixels with straight (not premultiplied) alpha, row by row
// from the top. What a PNG or JPEG file holds once decoded; what receipts print.
class PixelImage {
public:
    // The null image: no pixels.
    PixelImage() = default;
    // Transparent.
    PixelImage(int width, int height);
    // `rgba` holds width x height x 4 bytes.
    PixelImage(int width, int height, std::vector<uint8_t> rgba);

    // Decodes PNG or JPEG bytes (told apart by their first bytes); nothing, with `error` saying
    // why, for anything else or a damaged picture.
    static std::optional<PixelImage> fromData(std::span<const uint8_t> data, Error* error);
    static std::optional<PixelImage> fromFile(const std::filesystem::path& path, Error* error);

    // The picture as JPEG bytes at `quality` (0 to 1, as a share of libjpeg's best), laid on white
    // paper where it is transparent; nothing, with `error`, for a null picture.
    std::optional<std::vector<uint8_t>> jpegData(double quality, Error* error) const;

    bool isNull() const { return width_ <= 0 || height_ <= 0; }
    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<uint8_t>& rgba() const { return rgba_; }
    // The four bytes of the pixel at (x, y), which must lie inside the picture.
    const uint8_t* pixel(int x, int y) const { return &rgba_[(static_cast<size_t>(y) * width_ + x) * 4]; }
    uint8_t* pixel(int x, int y) { return &rgba_[(static_cast<size_t>(y) * width_ + x) * 4]; }

    bool operator==(const PixelImage&) const = default;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> rgba_;
};

} // namespace tavlo
