#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavlo {

// MD5 digest (RFC 1321) of a text, as the device identifier needs it.
class Md5 {
public:
    // The digest of the text's UTF-8 bytes as 32 lower-case hex digits; nil for an empty text.
    static std::optional<std::string> stringFromMD5(std::string_view text);
};

} // namespace tavlo
