#include "printing/EscPosCommands.h"

#include "core/util/Utils.h"
#include "platform/graphics/PixelImage.h"

#include <string>
#include <vector>

namespace tavlo {

namespace {

// Line spacing in dots while a picture prints, and the printer's usual spacing after it.
constexpr int kImageLineSpacing = 24;
constexpr int kTextLineSpacing = 30;
constexpr int kBandRows = 24;

} // namespace

EscPosCommands& EscPosCommands::escape(char n) {
    bytes_ += ESC;
    bytes_ += n;
    return *this;
}

EscPosCommands& EscPosCommands::escape(char n, int a) {
    escape(n);
    bytes_ += static_cast<char>(a);
    return *this;
}

EscPosCommands& EscPosCommands::escape(char n, int a, int b) {
    escape(n, a);
    bytes_ += static_cast<char>(b);
    return *this;
}

EscPosCommands& EscPosCommands::escape(char n, std::string_view text) {
    escape(n);
    bytes_ += text;
    return *this;
}

EscPosCommands& EscPosCommands::cut() {
    bytes_ += {GS, 'V', 0, LF};
    return *this;
}

EscPosCommands& EscPosCommands::feed() { return feedAndCut(0); }

EscPosCommands& EscPosCommands::feedAndCut(int lines) {
    bytes_ += {GS, 'V', 'B', static_cast<char>(lines), LF};
    return *this;
}

EscPosCommands& EscPosCommands::byte(uint8_t b) {
    bytes_ += static_cast<char>(b);
    return *this;
}

EscPosCommands& EscPosCommands::text(std::string_view text) {
    bytes_ += text;
    return *this;
}

EscPosCommands& EscPosCommands::bytes(const uint8_t* bytes, size_t length) {
    bytes_.append(reinterpret_cast<const char*>(bytes), length);
    return *this;
}

EscPosCommands& EscPosCommands::line() {
    bytes_ += LF;
    return *this;
}

EscPosCommands& EscPosCommands::line(std::string_view text) {
    bytes_ += text;
    bytes_ += LF;
    return *this;
}

bool EscPosCommands::barCode(std::string_view data, int height, Error* error) {
    std::string symbol = "{B";
    for (char c : data) {
        auto code = static_cast<unsigned char>(c);
        if (code < 32 || code > 127) {
            Error::set(error, Utils::getError("Bar code data can hold only printable ASCII characters",
                                              Utils::kStoreServerErrorDomain, -1));
            return false;
        }
        symbol += c;
        if (c == '{') symbol += c;
    }
    if (symbol.size() > 255) {
        Error::set(error, Utils::getError("Bar code data is too long to print", Utils::kStoreServerErrorDomain, -1));
        return false;
    }
    bytes_ += {GS, 'h', static_cast<char>(height), GS, 'k', 'I', static_cast<char>(symbol.size())};
    bytes_ += symbol;
    return true;
}

bool EscPosCommands::drawerPulse(int pin) {
    if (pin < 0) return false;
    escape('p', std::to_string(pin));
    bytes_ += {'\xFF', '\xFF'};
    return true;
}

EscPosCommands& EscPosCommands::image(const PixelImage& picture) {
    if (picture.isNull()) return *this;
    const std::vector<uint8_t> dark = Utils::escposBitmapFromImage(picture);
    const int width = picture.width();
    const int height = picture.height();
    escape('3', kImageLineSpacing);
    bytes_.reserve(bytes_.size() + static_cast<size_t>((height + kBandRows - 1) / kBandRows) * (3 * width + 6) + 3);
    for (int top = 0; top < height; top += kBandRows) {
        escape('*', 33, width % 256);
        bytes_ += static_cast<char>(width / 256);
        for (int x = 0; x < width; ++x) {
            for (int k = 0; k < 3; ++k) {
                uint8_t bits = 0;
                for (int bit = 0; bit < 8; ++bit) {
                    const int row = top + 8 * k + bit;
                    // Rows past the picture's last are white.
                    if (row < height && dark[static_cast<size_t>(row) * width + x]) bits |= 0x80 >> bit;
                }
                bytes_ += static_cast<char>(bits);
            }
        }
        bytes_ += LF;
    }
    escape('3', kTextLineSpacing);
    return *this;
}

EscPosCommands& EscPosCommands::sampleImage() {
    static constexpr uint8_t zigzag[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40,
                                         0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02};
    escape('3', kImageLineSpacing);
    escape('*', 1, 70);
    bytes_ += '\0';
    for (int i = 0; i < 5; ++i) bytes(zigzag, sizeof zigzag);
    bytes_ += LF;
    escape('3', kTextLineSpacing);
    return *this;
}

} // namespace tavlo
