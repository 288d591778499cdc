#pragma once

#include "platform/foundation/Error.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// Encrypts card fields with the store server's RSA public key, one block per field. The key
// lives in the keychain; this object remembers the text it was installed from. A keychain found
// damaged is set aside by the keychain; that is logged and mailed here, and the key installed
// next goes into the fresh one.
class Encryption {
public:
    using Bytes = std::vector<uint8_t>;
    static constexpr const char* kErrorDomain = "EncryptionErrorDomain";
    // The keychain's application tag of the server's key.
    static constexpr std::string_view kKeyTag = "tavlo.store-server.public-key";

    static Encryption& getInstance();

    void setKeyLength(int32_t bits);
    int32_t keyLength() const;
    // The Base64 text of the key the keychain holds: as it was installed when that happened in
    // this run, else (a key kept from an earlier run) its DER SubjectPublicKeyInfo in one line;
    // nil when the keychain holds none.
    std::optional<std::string> getPublicKey() const;

    // The RSAPublicKey inside a DER SubjectPublicKeyInfo of an RSA key; nil for anything else.
    static std::optional<Bytes> stripPublicKeyHeader(std::span<const uint8_t> der);
    // Installs a key given as Base64 of its DER SubjectPublicKeyInfo. A text that does not hold
    // a usable RSA key changes nothing: the key in use stays.
    void setPublicKey(std::string_view base64);
    // One PKCS #1 v1.5 block (random fill, so equal texts give different blocks); nil when no
    // key is installed or the text is longer than the block can carry (block size - 11 bytes).
    std::optional<Bytes> encryptWithPublicKey(std::string_view text);
    // A usable key is installed: card fields can be encrypted now. Logs nothing.
    bool canEncrypt() const;

    // The last failure of an installation or an encryption (empty when none happened yet).
    // Every failure is also logged and mailed.
    Error lastError() const;

private:
    Encryption() = default;
    void fail(int code, std::string message);

    mutable std::mutex mutex_;
    std::optional<std::string> publicKey_;
    Bytes installedKey_; // what publicKey_ put into the keychain
    int32_t keyLength_ = 1024;
    Error lastError_;
};

} // namespace tavlo
