#include "payments/Encryption.h"

#include "core/util/Base64.h"
#include "platform/security/Keychain.h"
#include "support/LogLines.h"
#include "support/RecordingMailSender.h"
#include "support/TempHome.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

using namespace tavlo;

namespace {

// What the encryption reported of its failures.
std::vector<std::string> encryptionLog() {
    return test::loggedStartingWith({"Unable to get encryption key", "Problem adding public key",
                                     "Problem removing public key", "SecKeyEncrypt failed"});
}

using Bytes = Encryption::Bytes;
using PKey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

PKey generateRsa(unsigned bits) { return PKey(EVP_RSA_gen(bits), &EVP_PKEY_free); }

// The DER that an OpenSSL i2d_ writer makes of a key.
template <typename Writer> Bytes der(Writer write, EVP_PKEY* key) {
    unsigned char* out = nullptr;
    int n = write(key, &out);
    Bytes bytes(out, out + n);
    OPENSSL_free(out);
    return bytes;
}

Bytes subjectPublicKeyInfo(EVP_PKEY* key) { return der(i2d_PUBKEY, key); }
Bytes rsaPublicKey(EVP_PKEY* key) { return der(i2d_PublicKey, key); }

// Base64 as the server sends it: lines of 76 characters joined by blanks.
std::string base64(const Bytes& bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int n =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(), static_cast<int>(bytes.size()));
    text.resize(static_cast<size_t>(n));
    std::string spaced;
    for (size_t i = 0; i < text.size(); i += 76) spaced += text.substr(i, 76) + " ";
    return spaced;
}

std::string decrypt(EVP_PKEY* key, const Bytes& block) {
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(EVP_PKEY_CTX_new(key, nullptr), &EVP_PKEY_CTX_free);
    EXPECT_GT(EVP_PKEY_decrypt_init(ctx.get()), 0);
    EXPECT_GT(EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING), 0);
    std::string out(block.size(), '\0');
    size_t n = out.size();
    if (EVP_PKEY_decrypt(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n, block.data(), block.size()) <= 0)
        return "<decryption failed>";
    out.resize(n);
    return out;
}

// A SubjectPublicKeyInfo of an RSA key around `payload`, with DER lengths of whatever form fits.
Bytes wrapKey(const Bytes& payload) {
    auto length = [](size_t n) {
        if (n < 0x80) return Bytes{static_cast<uint8_t>(n)};
        if (n < 0x100) return Bytes{0x81, static_cast<uint8_t>(n)};
        return Bytes{0x82, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n & 0xFF)};
    };
    Bytes inner{0x30, 0x0D, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01, 0x05, 0x00, 0x03};
    Bytes bitLength = length(payload.size() + 1);
    inner.insert(inner.end(), bitLength.begin(), bitLength.end());
    inner.push_back(0x00);
    inner.insert(inner.end(), payload.begin(), payload.end());
    Bytes der{0x30};
    Bytes outerLength = length(inner.size());
    der.insert(der.end(), outerLength.begin(), outerLength.end());
    der.insert(der.end(), inner.begin(), inner.end());
    return der;
}

} // namespace

TEST(Encryption, StripsTheHeaderInEveryLengthForm) {
    for (size_t size : {5u, 126u, 200u, 300u}) {
        Bytes payload(size, 0xA5);
        Bytes der = wrapKey(payload);
        EXPECT_EQ(Encryption::stripPublicKeyHeader(der), payload) << size;
    }
    for (unsigned bits : {1024u, 2048u}) {
        PKey key = generateRsa(bits);
        EXPECT_EQ(Encryption::stripPublicKeyHeader(subjectPublicKeyInfo(key.get())), rsaPublicKey(key.get())) << bits;
    }
}

TEST(Encryption, RefusesAnythingButAnRsaKeyInfo) {
    const Bytes good = wrapKey(Bytes(40, 0x11));
    auto changed = [&](size_t at, uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    PKey ec(EVP_EC_gen("P-256"), &EVP_PKEY_free);
    const std::pair<const char*, Bytes> cases[] = {
        {"empty", {}},
        {"not a sequence", changed(0, 0x31)},
        {"other algorithm", changed(12, 0x02)},
        {"no bit string", changed(17, 0x04)},
        {"unused bits", changed(19, 0x01)},
        {"length beyond the data", {0x30, 0x84, 0x00, 0x00}},
        {"bit string length beyond the data", {0x30, 0x12, 0x30, 0x0D, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                                               0xF7, 0x0D, 0x01, 0x01, 0x01, 0x05, 0x00, 0x03, 0x83, 0x01}},
        {"elliptic curve key", subjectPublicKeyInfo(ec.get())},
    };
    for (const auto& [label, der] : cases) EXPECT_FALSE(Encryption::stripPublicKeyHeader(der)) << label;
    for (size_t n = 0; n <= 20; ++n)
        EXPECT_FALSE(Encryption::stripPublicKeyHeader(std::span(good).first(n))) << "prefix " << n;
}

TEST(Encryption, SameFieldTwiceGivesTwoBlocksThatBothDecrypt) {
    for (unsigned bits : {1024u, 2048u}) {
        SCOPED_TRACE(bits);
        test::TempHome home;
        PKey key = generateRsa(bits);
        const std::string text = base64(subjectPublicKeyInfo(key.get()));
        Encryption& encryption = Encryption::getInstance();
        encryption.setKeyLength(static_cast<int32_t>(bits));
        encryption.setPublicKey(text);
        EXPECT_EQ(encryption.getPublicKey(), text);

        for (const std::string field : {"4111111111111111", "1225", "123", "B4111111111111111^DOE/JOHN^2512101"}) {
            std::optional<Bytes> first = encryption.encryptWithPublicKey(field);
            std::optional<Bytes> second = encryption.encryptWithPublicKey(field);
            ASSERT_TRUE(first && second) << encryption.lastError().localizedDescription();
            EXPECT_EQ(first->size(), bits / 8);
            EXPECT_NE(*first, *second) << field;
            EXPECT_EQ(decrypt(key.get(), *first), field);
            EXPECT_EQ(decrypt(key.get(), *second), field);
        }
    }
}

TEST(Encryption, TextMustLeaveRoomForTheBlockLayout) {
    test::TempHome home;
    PKey key = generateRsa(1024);
    Encryption& encryption = Encryption::getInstance();
    encryption.setPublicKey(base64(subjectPublicKeyInfo(key.get())));
    const std::string longest(128 - 11, '7');
    std::optional<Bytes> block = encryption.encryptWithPublicKey(longest);
    ASSERT_TRUE(block);
    EXPECT_EQ(decrypt(key.get(), *block), longest);
    EXPECT_FALSE(encryption.encryptWithPublicKey(longest + "7"));
    EXPECT_EQ(encryption.lastError().localizedDescription(), "SecKeyEncrypt failed, result code: -1");
}

TEST(Encryption, NoStoredKeyGivesNothing) {
    test::TempHome home;
    EXPECT_FALSE(Encryption::getInstance().encryptWithPublicKey("1225"));
    EXPECT_EQ(Encryption::getInstance().lastError().localizedDescription(),
              "Unable to get encryption key, result code: 1");
}

TEST(Encryption, TheKeyTextNamesTheKeyTheKeychainHolds) {
    Encryption& encryption = Encryption::getInstance();
    PKey installed = generateRsa(1024);
    const std::string installedText = base64(subjectPublicKeyInfo(installed.get()));
    {
        test::TempHome home;
        encryption.setPublicKey(installedText);
        EXPECT_EQ(encryption.getPublicKey(), installedText); // as installed
    }
    // Another data folder, as a new run finds it: its keychain holds nothing, then a key kept
    // there by an earlier run.
    test::TempHome other;
    EXPECT_EQ(encryption.getPublicKey(), std::nullopt);
    PKey kept = generateRsa(1024);
    ASSERT_EQ(Keychain::addItem(Encryption::kKeyTag, rsaPublicKey(kept.get())), Keychain::Status::Success);
    std::optional<std::string> text = encryption.getPublicKey();
    ASSERT_TRUE(text);
    std::optional<Bytes> der = Base64::decode(*text);
    ASSERT_TRUE(der);
    EXPECT_EQ(*der, subjectPublicKeyInfo(kept.get()));
}

TEST(Encryption, MalformedKeyFromTheServerKeepsTheWorkingOne) {
    test::TempHome home;
    PKey working = generateRsa(1024);
    const std::string workingText = base64(subjectPublicKeyInfo(working.get()));
    Encryption& encryption = Encryption::getInstance();
    encryption.setPublicKey(workingText);
    encryption.setPublicKey(workingText); // the same key twice is fine
    ASSERT_EQ(encryption.getPublicKey(), workingText);

    PKey ec(EVP_EC_gen("P-256"), &EVP_PKEY_free);
    Bytes truncated = subjectPublicKeyInfo(working.get());
    truncated.resize(truncated.size() - 20);
    const std::pair<const char*, std::string> bad[] = {
        {"empty", ""},
        {"not Base64", "this is not a key!"},
        {"random bytes", base64(Bytes(64, 0x5A))},
        {"elliptic curve key", base64(subjectPublicKeyInfo(ec.get()))},
        {"truncated key", base64(truncated)},
        {"rsa header around junk", base64(wrapKey(Bytes(140, 0x42)))},
    };
    for (const auto& [label, text] : bad) {
        SCOPED_TRACE(label);
        encryption.setPublicKey(text);
        EXPECT_EQ(encryption.getPublicKey(), workingText);
        std::optional<Bytes> block = encryption.encryptWithPublicKey("4111111111111111");
        ASSERT_TRUE(block);
        EXPECT_EQ(decrypt(working.get(), *block), "4111111111111111");
    }

    PKey next = generateRsa(2048);
    encryption.setPublicKey(base64(subjectPublicKeyInfo(next.get())));
    std::optional<Bytes> block = encryption.encryptWithPublicKey("1225");
    ASSERT_TRUE(block);
    EXPECT_EQ(block->size(), 256u);
    EXPECT_EQ(decrypt(next.get(), *block), "1225");
}

TEST(Encryption, EveryFailureIsLoggedAndMailed) {
    test::TempHome home;
    test::MailScope mail;
    Encryption& encryption = Encryption::getInstance();
    PKey key = generateRsa(1024);
    const std::string keyText = base64(subjectPublicKeyInfo(key.get()));
    struct Case {
        const char* label;
        std::function<void()> act;
        std::string message;
    };
    const Case cases[] = {
        {"no key stored", [&] { encryption.encryptWithPublicKey("1225"); },
         "Unable to get encryption key, result code: 1"},
        {"not an RSA key", [&] { encryption.setPublicKey(base64(wrapKey(Bytes(140, 0x42)))); },
         "Problem adding public key to keychain"},
        {"text too long for the block",
         [&] {
             encryption.setPublicKey(keyText);
             encryption.encryptWithPublicKey(std::string(128 - 10, '7'));
         },
         "SecKeyEncrypt failed, result code: -1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        mail.sender().clear();
        std::filesystem::remove(TavloLog::logFilePath());
        c.act();
        EXPECT_EQ(encryptionLog(), std::vector<std::string>{c.message});
        std::vector<LogMail> mails = mail.sender().mails();
        ASSERT_EQ(mails.size(), 1u);
        EXPECT_THAT(mails[0].body, ::testing::HasSubstr("Location: Encryption.cpp"));
        EXPECT_THAT(mails[0].body, ::testing::EndsWith("Message: " + c.message));
        EXPECT_EQ(encryption.lastError().localizedDescription(), c.message);
    }

    mail.sender().clear();
    std::filesystem::remove(TavloLog::logFilePath());
    ASSERT_TRUE(encryption.encryptWithPublicKey("4111111111111111"));
    EXPECT_TRUE(encryptionLog().empty()) << "a good encryption logs nothing";
    EXPECT_TRUE(mail.sender().mails().empty());
}

TEST(Encryption, ADamagedKeychainIsKeptAsideAndTheServerKeyGoesIntoAFreshOne) {
    test::TempHome home;
    test::MailScope mail;
    Encryption& encryption = Encryption::getInstance();
    PKey key = generateRsa(1024);
    const std::string keyText = base64(subjectPublicKeyInfo(key.get()));
    const std::string damaged[] = {"not a keychain\n", "tavlo-keychain 1\n6b6579 zz\n",
                                   std::string("\x89PNG\r\n\x1a\n\0\xff", 10)};
    for (const std::string& text : damaged) {
        SCOPED_TRACE(text);
        std::filesystem::remove(Keychain::path().string() + ".damaged");
        std::ofstream(Keychain::path(), std::ios::binary | std::ios::trunc) << text;
        mail.sender().clear();
        std::filesystem::remove(TavloLog::logFilePath());

        // The start-up's question finds no key, and the key it then installs works.
        EXPECT_FALSE(encryption.getPublicKey());
        EXPECT_FALSE(encryption.canEncrypt());
        encryption.setPublicKey(keyText);
        EXPECT_EQ(encryption.getPublicKey(), keyText);
        EXPECT_TRUE(encryption.canEncrypt());
        std::optional<Bytes> block = encryption.encryptWithPublicKey("4111111111111111");
        ASSERT_TRUE(block);
        EXPECT_EQ(decrypt(key.get(), *block), "4111111111111111");

        const std::string said = "The keychain was damaged: it was kept as keychain.damaged and a new one was started";
        EXPECT_EQ(test::loggedBy("Encryption.cpp"), std::vector<std::string>{said});
        ASSERT_EQ(mail.sender().mails().size(), 1u);
        std::ifstream kept(Keychain::path().string() + ".damaged", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), text);
    }
}
