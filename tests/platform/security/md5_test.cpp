#include "platform/security/Md5.h"

#include <gtest/gtest.h>

namespace tavlo {
namespace {

TEST(Md5, Rfc1321TestSuite) {
    struct Case {
        const char* text;
        const char* digest;
    };
    const Case cases[] = {
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) EXPECT_EQ(Md5::stringFromMD5(c.text), c.digest) << c.text;
}

TEST(Md5, EmptyTextHasNoDigest) { EXPECT_EQ(Md5::stringFromMD5(""), std::nullopt); }

TEST(Md5, DigestsTheUtf8BytesWhole) {
    EXPECT_EQ(Md5::stringFromMD5("caf\xC3\xA9"), "07117fe4a1ebd544965dc19573183da2");
    EXPECT_EQ(Md5::stringFromMD5(std::string_view("a\0b", 3)), "70350f6027bce3713f6b76473084309b");
}

} // namespace
} // namespace tavlo
