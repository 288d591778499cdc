#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// The codec for card data and keys: RFC 4648 alphabet with "=" padding, a line feed after
// every 76 characters and at the end.
class Base64 {
public:
    static std::string encode(const std::vector<uint8_t>& data);
    // Blanks, tabs and line breaks are ignored; nil when nothing but "=" is left. Only whole
    // groups of four are decoded (a shorter text gives nil); bytes outside the alphabet are
    // not rejected.
    static std::optional<std::vector<uint8_t>> decode(std::string_view text);
    // "=" or an alphabet byte.
    static bool isOctectBase64(uint8_t byte);

    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    // 0-63 for an alphabet byte, 255 for any other.
    static uint8_t decodeValue(uint8_t byte);
};

} // namespace tavlo
