#include "platform/graphics/PixelImage.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

// libjpeg's header wants the C library's types declared first.
#include <jpeglib.h>

namespace tavlo {

namespace {

constexpr const char* kImageErrorDomain = "PixelImage";

bool isPng(std::span<const uint8_t> data) { return data.size() >= 8 && png_sig_cmp(data.data(), 0, 8) == 0; }
bool isJpeg(std::span<const uint8_t> data) {
    return data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

// Pictures larger than this are refused before any memory is taken for them.
constexpr uint64_t kMaxPixels = 64u * 1024 * 1024;

bool sizeAccepted(uint64_t width, uint64_t height) { return width > 0 && height > 0 && width * height <= kMaxPixels; }

std::optional<PixelImage> decodePng(std::span<const uint8_t> data, std::string* failure) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) {
        *failure = image.message;
        return std::nullopt;
    }
    if (!sizeAccepted(image.width, image.height)) {
        png_image_free(&image);
        *failure = "picture too large";
        return std::nullopt;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        *failure = image.message;
        png_image_free(&image);
        return std::nullopt;
    }
    return PixelImage(static_cast<int>(image.width), static_cast<int>(image.height), std::move(rgba));
}

// libjpeg reports a fatal error through a callback that must not return: it jumps back here.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

void jpegFailed(j_common_ptr info) {
    JpegErrors* errors = reinterpret_cast<JpegErrors*>(info->err);
    errors->manager.format_message(info, errors->message);
    std::longjmp(errors->back, 1);
}

std::optional<PixelImage> decodeJpeg(std::span<const uint8_t> data, std::string* failure) {
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFailed;
    errors.manager.output_message = [](j_common_ptr) {};
    // The pixels live on the heap behind a pointer set before the jump point and never changed
    // after it, so that they are sound when libjpeg jumps back.
    const auto rows = std::make_unique<std::vector<uint8_t>>();
    if (setjmp(errors.back)) {
        *failure = errors.message;
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    if (!sizeAccepted(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        *failure = "picture too large";
        return std::nullopt;
    }
    info.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&info);
    const size_t stride = static_cast<size_t>(info.output_width) * 4;
    rows->resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rows->data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    PixelImage image(static_cast<int>(info.output_width), static_cast<int>(info.output_height), std::move(*rows));
    jpeg_destroy_decompress(&info);
    return image;
}

} // namespace

PixelImage::PixelImage(int width, int height)
    : width_(width), height_(height), rgba_(static_cast<size_t>(std::max(width, 0)) * std::max(height, 0) * 4, 0) {}

PixelImage::PixelImage(int width, int height, std::vector<uint8_t> rgba)
    : width_(width), height_(height), rgba_(std::move(rgba)) {
    if (width < 0 || height < 0 || rgba_.size() != static_cast<size_t>(width) * height * 4)
        throw std::invalid_argument("PixelImage: the pixel bytes do not match the size");
}

std::optional<PixelImage> PixelImage::fromData(std::span<const uint8_t> data, Error* error) {
    std::string failure;
    std::optional<PixelImage> image;
    if (isPng(data)) {
        image = decodePng(data, &failure);
    } else if (isJpeg(data)) {
        image = decodeJpeg(data, &failure);
    } else {
        failure = "neither a PNG nor a JPEG picture";
    }
    if (!image) Error::set(error, kImageErrorDomain, -1, "Unable to read the picture: " + failure);
    return image;
}

std::optional<PixelImage> PixelImage::fromFile(const std::filesystem::path& path, Error* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Error::set(error, kImageErrorDomain, -1, "Unable to read the picture: no file " + path.string());
        return std::nullopt;
    }
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return fromData(data, error);
}

std::optional<std::vector<uint8_t>> PixelImage::jpegData(double quality, Error* error) const {
    if (isNull()) {
        Error::set(error, kImageErrorDomain, -1, "Unable to write the picture: it is empty");
        return std::nullopt;
    }
    jpeg_compress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFailed;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    std::vector<uint8_t> row(static_cast<size_t>(width_) * 3);
    if (setjmp(errors.back)) {
        jpeg_destroy_compress(&info);
        std::free(out);
        Error::set(error, kImageErrorDomain, -1, std::string("Unable to write the picture: ") + errors.message);
        return std::nullopt;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width_);
    info.image_height = static_cast<JDIMENSION>(height_);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, std::clamp(static_cast<int>(quality * 100 + 0.5), 1, 100), TRUE);
    jpeg_start_compress(&info, TRUE);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            const uint8_t* p = pixel(x, y);
            // Straight alpha over white.
            for (int c = 0; c < 3; ++c) row[x * 3 + c] = static_cast<uint8_t>((p[c] * p[3] + 255 * (255 - p[3])) / 255);
        }
        JSAMPROW line = row.data();
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> bytes(out, out + size);
    std::free(out);
    return bytes;
}

} // namespace tavlo
