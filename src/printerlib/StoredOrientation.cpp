#include "printerlib/StoredOrientation.h"

#include <cstring>
#include <optional>

namespace tavlo::printerlib {

namespace {

constexpr uint16_t kOrientationTag = 0x0112;

// The Exif tag's values 1 to 8, in the platform's numbering.
ImageOrientation fromTag(uint16_t value) {
    switch (value) {
    case 2: return ImageOrientation::UpMirrored;
    case 3: return ImageOrientation::Down;
    case 4: return ImageOrientation::DownMirrored;
    case 5: return ImageOrientation::LeftMirrored;
    case 6: return ImageOrientation::Right;
    case 7: return ImageOrientation::RightMirrored;
    case 8: return ImageOrientation::Left;
    default: return ImageOrientation::Up;
    }
}

// Reads the TIFF structure inside an Exif block, every offset checked against its end.
class Tiff {
public:
    explicit Tiff(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    std::optional<uint16_t> orientation() const {
        if (bytes_.size() < 8) return std::nullopt;
        if (bytes_[0] == 'I' && bytes_[1] == 'I') littleEndian_ = true;
        else if (bytes_[0] == 'M' && bytes_[1] == 'M') littleEndian_ = false;
        else return std::nullopt;
        auto directory = read32(4);
        auto count = directory ? read16(*directory) : std::nullopt;
        if (!count) return std::nullopt;
        for (uint32_t entry = 0; entry < *count; ++entry) {
            size_t at = *directory + 2 + static_cast<size_t>(entry) * 12;
            auto tag = read16(at);
            if (!tag) return std::nullopt;
            if (*tag == kOrientationTag) return read16(at + 8);
        }
        return std::nullopt;
    }

private:
    std::optional<uint16_t> read16(size_t at) const {
        if (at + 2 > bytes_.size()) return std::nullopt;
        return littleEndian_ ? static_cast<uint16_t>(bytes_[at] | bytes_[at + 1] << 8)
                             : static_cast<uint16_t>(bytes_[at] << 8 | bytes_[at + 1]);
    }
    std::optional<uint32_t> read32(size_t at) const {
        auto low = read16(littleEndian_ ? at : at + 2);
        auto high = read16(littleEndian_ ? at + 2 : at);
        if (!low || !high) return std::nullopt;
        return static_cast<uint32_t>(*high) << 16 | *low;
    }

    std::span<const uint8_t> bytes_;
    mutable bool littleEndian_ = false;
};

} // namespace

ImageOrientation storedOrientation(std::span<const uint8_t> file) {
    // A JPEG: SOI, then segments (marker, big-endian length including itself) up to the scan.
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return ImageOrientation::Up;
    size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xFF) {
        const uint8_t marker = file[at + 1];
        const size_t length = static_cast<size_t>(file[at + 2] << 8 | file[at + 3]);
        if (marker == 0xDA || length < 2 || at + 2 + length > file.size()) break;
        std::span<const uint8_t> segment = file.subspan(at + 4, length - 2);
        if (marker == 0xE1 && segment.size() > 6 && std::memcmp(segment.data(), "Exif\0\0", 6) == 0) {
            if (auto value = Tiff(segment.subspan(6)).orientation()) return fromTag(*value);
            return ImageOrientation::Up;
        }
        at += 2 + length;
    }
    return ImageOrientation::Up;
}

} // namespace tavlo::printerlib
