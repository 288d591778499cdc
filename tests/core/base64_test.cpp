#include "core/util/Base64.h"
#include "core/util/Base64Coding.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tavlo {
namespace {

std::vector<uint8_t> bytes(std::string_view text) { return {text.begin(), text.end()}; }

// RFC 4648 section 10 vectors.
struct Vector {
    const char* data;
    const char* text;
};
const Vector kRfcVectors[] = {
    {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
};

TEST(Base64, EncodesRfcVectorsWithAClosingLineFeed) {
    for (const auto& v : kRfcVectors) EXPECT_EQ(Base64::encode(bytes(v.data)), std::string(v.text) + "\n") << v.data;
    EXPECT_EQ(Base64::encode({}), "");
    EXPECT_EQ(Base64::encode({0x00, 0xFF, 0x10}), "AP8Q\n");
}

TEST(Base64, BreaksLinesEvery76Characters) {
    struct Case {
        size_t bytes;
        size_t lineFeeds;
        size_t lastLine;
    };
    // 57 bytes fill one 76-character line exactly
    const Case cases[] = {{56, 1, 76}, {57, 1, 76}, {58, 2, 4}, {114, 2, 76}, {200, 4, 40}};
    for (const auto& c : cases) {
        std::vector<uint8_t> data(c.bytes);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
        std::string text = Base64::encode(data);
        ASSERT_EQ(text.back(), '\n');
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(c.lineFeeds)) << c.bytes;
        size_t pos = 0, line = 0;
        for (size_t next; (next = text.find('\n', pos)) != std::string::npos; pos = next + 1) {
            line = next - pos;
            if (next + 1 < text.size()) { EXPECT_EQ(line, 76u); }
        }
        EXPECT_EQ(line, c.lastLine) << c.bytes;
        EXPECT_EQ(Base64::decode(text), data) << c.bytes;
    }
}

TEST(Base64, Decodes) {
    for (const auto& v : kRfcVectors) EXPECT_EQ(Base64::decode(v.text), bytes(v.data)) << v.text;
    struct Case {
        const char* text;
        std::optional<std::vector<uint8_t>> data;
    };
    const Case cases[] = {
        {" Zm9v\r\nYmFy\t", bytes("foobar")}, // blanks and line breaks ignored
        {"", std::nullopt},
        {" \n ", std::nullopt},
        {"====", std::nullopt},
        {"Zg", std::nullopt},     // no whole group
        {"Zm9vYg", bytes("foo")}, // only whole groups are decoded
        {"Zm9vYmE", bytes("foo")},
    };
    for (const auto& c : cases) EXPECT_EQ(Base64::decode(c.text), c.data) << c.text;
    // bytes outside the alphabet are not rejected, and never read past the text
    EXPECT_EQ(Base64::decode("Zm9*")->size(), 3u);
    EXPECT_TRUE(Base64::isOctectBase64('='));
    EXPECT_TRUE(Base64::isOctectBase64('/'));
    EXPECT_FALSE(Base64::isOctectBase64('-'));
}

TEST(Base64Coding, EncodesRfcVectorsOnOneLine) {
    for (const auto& v : kRfcVectors) EXPECT_EQ(Base64Coding::base64Encoding(bytes(v.data)), v.text) << v.data;
    EXPECT_EQ(Base64Coding::base64Encoding({}), "");
}

TEST(Base64Coding, LineLengthRoundsUpToWholeGroups) {
    std::vector<uint8_t> data = bytes("abcdefghijklmnopqr"); // 18 bytes: 24 characters
    // 10 rounds up to 12: a line feed after every third group, the last one included
    EXPECT_EQ(Base64Coding::base64Encoding(data, 10), "YWJjZGVmZ2hp\namtsbW5vcHFy\n");
    EXPECT_EQ(Base64Coding::base64Encoding(data, 8), "YWJjZGVm\nZ2hpamts\nbW5vcHFy\n");
    // a short last line gets no line feed
    EXPECT_EQ(Base64Coding::base64Encoding(data, 16), "YWJjZGVmZ2hpamts\nbW5vcHFy");
    std::vector<uint8_t> line(57, 'x');
    std::string text = Base64Coding::base64Encoding(line, 76);
    EXPECT_EQ(text.size(), 77u);
    EXPECT_EQ(text.back(), '\n');
}

TEST(Base64Coding, DecodesLeniently) {
    for (const auto& v : kRfcVectors)
        EXPECT_EQ(Base64Coding::dataWithBase64EncodedString(v.text), bytes(v.data)) << v.text;
    struct Case {
        std::string_view text;
        std::vector<uint8_t> data;
    };
    const Case cases[] = {
        {"Zm9v\nYm-F*y", bytes("foobar")}, // bytes outside the alphabet are skipped
        {"Zm8=YmFy", bytes("fo")},         // the first "=" ends decoding
        {"Zm9vYg", bytes("foo")},          // an unfinished group without "=" is dropped
        {"Zm9vY=", bytes("foo")},          // one character before "=" carries no byte
        {"", {}},
        {"Zm9v\xC3\xA9", {}}, // non-ASCII text gives empty data
    };
    for (const auto& c : cases) EXPECT_EQ(Base64Coding::dataWithBase64EncodedString(c.text), c.data) << c.text;
    EXPECT_TRUE(Base64Coding::dataWithBase64EncodedString(std::nullopt).empty());
}

TEST(Base64Coding, RoundTripsEveryByteValue) {
    std::vector<uint8_t> all(256);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i);
    for (unsigned lineLength : {0u, 64u, 76u})
        EXPECT_EQ(Base64Coding::dataWithBase64EncodedString(Base64Coding::base64Encoding(all, lineLength)), all);
    EXPECT_EQ(Base64::decode(Base64Coding::base64Encoding(all)), all);
}

} // namespace
} // namespace tavlo
