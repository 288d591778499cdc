#include "platform/security/Md5.h"

#include "platform/foundation/Text.h"

#include <openssl/evp.h>

namespace tavlo {

std::optional<std::string> Md5::stringFromMD5(std::string_view text) {
    if (text.empty()) return std::nullopt;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr) != 1) return std::nullopt;
    return hexEncode(std::string_view(reinterpret_cast<const char*>(digest), length));
}

} // namespace tavlo
