#include "payments/Encryption.h"

#include "core/util/Base64.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/Text.h"
#include "platform/security/Keychain.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <algorithm>
#include <array>
#include <memory>

namespace tavlo {

namespace {

// DER AlgorithmIdentifier of rsaEncryption with its NULL parameters.
constexpr std::array<uint8_t, 15> kRsaAlgorithm = {0x30, 0x0D, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                                                   0xF7, 0x0D, 0x01, 0x01, 0x01, 0x05, 0x00};
constexpr uint8_t kSequence = 0x30;
constexpr uint8_t kBitString = 0x03;
// PKCS #1 v1.5 encryption needs 11 bytes of every block for its own layout.
constexpr size_t kPkcs1Overhead = 11;

using PKey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using PKeyContext = std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)>;

// Index just past a DER length whose first byte is at `at`; nullopt when it runs off the end.
std::optional<size_t> skipLength(std::span<const uint8_t> der, size_t at) {
    if (at >= der.size()) return std::nullopt;
    size_t next = der[at] < 0x81 ? at + 1 : at + 1 + (der[at] - 0x80);
    if (next > der.size()) return std::nullopt;
    return next;
}

PKey readKey(const Encryption::Bytes& rsaPublicKey) {
    const unsigned char* p = rsaPublicKey.data();
    EVP_PKEY* key = d2i_PublicKey(EVP_PKEY_RSA, nullptr, &p, static_cast<long>(rsaPublicKey.size()));
    return PKey(key, &EVP_PKEY_free);
}

// A damaged keychain is set aside by the keychain itself; support hears of it.
void reportSetAside() {
    std::filesystem::path aside = Keychain::takeSetAside();
    if (!aside.empty())
        TAVLO_LOG_MAIL("The keychain was damaged: it was kept as %@ and a new one was started",
                       aside.filename().string());
}

// The server key the keychain holds; nil when it holds none (or the keychain cannot be read).
std::optional<Encryption::Bytes> storedKey(Keychain::Status* status = nullptr) {
    Encryption::Bytes stored;
    Keychain::Status found = Keychain::findItem(Encryption::kKeyTag, &stored);
    reportSetAside();
    if (status) *status = found;
    if (found != Keychain::Status::Success) return std::nullopt;
    return stored;
}

int openSslCode() {
    unsigned long code = ERR_get_error();
    ERR_clear_error();
    return code ? static_cast<int>(ERR_GET_REASON(code)) : -1;
}

} // namespace

Encryption& Encryption::getInstance() {
    static Encryption instance;
    return instance;
}

void Encryption::setKeyLength(int32_t bits) {
    std::lock_guard lock(mutex_);
    keyLength_ = bits;
}

int32_t Encryption::keyLength() const {
    std::lock_guard lock(mutex_);
    return keyLength_;
}

std::optional<std::string> Encryption::getPublicKey() const {
    // The keychain is what encrypts: the text must name its key, whatever this object saw.
    std::optional<Bytes> found = storedKey();
    if (!found) return std::nullopt;
    const Bytes& stored = *found;
    {
        std::lock_guard lock(mutex_);
        if (publicKey_ && stored == installedKey_) return publicKey_;
    }
    PKey key = readKey(stored);
    if (!key) return std::nullopt;
    unsigned char* der = nullptr;
    int length = i2d_PUBKEY(key.get(), &der);
    if (length <= 0) return std::nullopt;
    std::string text(4 * ((static_cast<size_t>(length) + 2) / 3) + 1, '\0');
    int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), der, length);
    OPENSSL_free(der);
    text.resize(static_cast<size_t>(written));
    return text;
}

Error Encryption::lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

void Encryption::fail(int code, std::string message) {
    // Mailed: a terminal that cannot protect card fields needs its support told.
    TAVLO_LOG_MAIL("%@", message);
    std::lock_guard lock(mutex_);
    lastError_ = Error(kErrorDomain, code, std::move(message));
}

std::optional<Encryption::Bytes> Encryption::stripPublicKeyHeader(std::span<const uint8_t> der) {
    if (der.empty() || der[0] != kSequence) return std::nullopt;
    std::optional<size_t> at = skipLength(der, 1);
    if (!at || *at + kRsaAlgorithm.size() + 1 > der.size()) return std::nullopt;
    if (!std::equal(kRsaAlgorithm.begin(), kRsaAlgorithm.end(), der.begin() + static_cast<std::ptrdiff_t>(*at)))
        return std::nullopt;
    *at += kRsaAlgorithm.size();
    if (der[*at] != kBitString) return std::nullopt;
    at = skipLength(der, *at + 1);
    // The bit string's first byte counts its unused bits: a key has none.
    if (!at || *at >= der.size() || der[*at] != 0) return std::nullopt;
    ++*at;
    if (*at >= der.size()) return std::nullopt;
    return Bytes(der.begin() + static_cast<std::ptrdiff_t>(*at), der.end());
}

void Encryption::setPublicKey(std::string_view base64) {
    std::optional<Bytes> der = Base64::decode(base64);
    if (!der || der->empty()) return;
    // Check the whole key before touching the stored one, so a bad key never replaces a good one.
    std::optional<Bytes> key = stripPublicKeyHeader(*der);
    if (!key || !readKey(*key)) {
        ERR_clear_error();
        fail(-1, "Problem adding public key to keychain");
        return;
    }
    Keychain::Status status = Keychain::deleteItem(kKeyTag);
    reportSetAside();
    if (status != Keychain::Status::Success && status != Keychain::Status::ItemNotFound) {
        fail(static_cast<int>(status), "Problem removing public key from keychain");
        return;
    }
    status = Keychain::addItem(kKeyTag, *key);
    if (status != Keychain::Status::Success && status != Keychain::Status::DuplicateItem) {
        fail(static_cast<int>(status), "Problem adding public key to keychain");
        return;
    }
    std::lock_guard lock(mutex_);
    publicKey_ = std::string(base64);
    installedKey_ = std::move(*key);
}

bool Encryption::canEncrypt() const {
    std::optional<Bytes> stored = storedKey();
    if (!stored) return false;
    const bool usable = readKey(*stored) != nullptr;
    ERR_clear_error();
    return usable;
}

std::optional<Encryption::Bytes> Encryption::encryptWithPublicKey(std::string_view text) {
    Keychain::Status status = Keychain::Status::Success;
    std::optional<Bytes> stored = storedKey(&status);
    if (!stored) {
        fail(static_cast<int>(status),
             format("Unable to get encryption key, result code: %d", static_cast<int>(status)));
        return std::nullopt;
    }
    PKey key = readKey(*stored);
    if (!key) {
        int code = openSslCode();
        fail(code, format("Unable to get encryption key, result code: %d", code));
        return std::nullopt;
    }
    // The block size is the stored key's own, whatever length was configured.
    const size_t blockSize = static_cast<size_t>(EVP_PKEY_get_size(key.get()));
    if (text.size() + kPkcs1Overhead > blockSize) {
        fail(-1, format("SecKeyEncrypt failed, result code: %d", -1));
        return std::nullopt;
    }
    PKeyContext context(EVP_PKEY_CTX_new(key.get(), nullptr), &EVP_PKEY_CTX_free);
    Bytes block(blockSize);
    size_t length = block.size();
    if (!context || EVP_PKEY_encrypt_init(context.get()) <= 0 ||
        EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) <= 0 ||
        EVP_PKEY_encrypt(context.get(), block.data(), &length, reinterpret_cast<const unsigned char*>(text.data()),
                         text.size()) <= 0) {
        int code = openSslCode();
        fail(code, format("SecKeyEncrypt failed, result code: %d", code));
        return std::nullopt;
    }
    block.resize(length);
    return block;
}

} // namespace tavlo
