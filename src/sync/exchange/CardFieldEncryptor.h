#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// What the order document needs to write card fields: the key in use and one encrypted block
// per field. The terminal uses the store server's key; tests put a predictable one in its place.
class CardFieldEncryptor {
public:
    virtual ~CardFieldEncryptor() = default;

    // The key's text as the server sent it; nil while there is none (no card data goes out then).
    virtual std::optional<std::string> publicKey() const = 0;
    // The field's encrypted block; nil when it cannot be encrypted.
    virtual std::optional<std::vector<uint8_t>> encrypt(std::string_view text) = 0;

    // The store server's key, through Encryption.
    static CardFieldEncryptor& serverKey();
};

} // namespace tavlo
