#include "platform/foundation/Text.h"

#include <gtest/gtest.h>

using namespace tavlo;

TEST(Text, IntegerAndBooleanReadings) {
    struct Case {
        const char* text;
        int32_t i;
        int64_t ll;
        bool b;
    };
    const Case cases[] = {
        {"", 0, 0, false},
        {"  42abc", 42, 42, true},
        {"-17", -17, -17, true},
        {"+5", 5, 5, true},
        {"abc", 0, 0, false},
        {"Yes", 0, 0, true},
        {"y", 0, 0, true},
        {"True", 0, 0, true},
        {"t", 0, 0, true},
        {"NO", 0, 0, false},
        {"false", 0, 0, false},
        {"0", 0, 0, false},
        {"0007", 7, 7, true},
        {"  -0", 0, 0, false},
        {"9999999999", INT32_MAX, 9999999999LL, true},
        {"-9999999999", INT32_MIN, -9999999999LL, true},
        {"99999999999999999999", INT32_MAX, INT64_MAX, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(intValue(c.text), c.i) << c.text;
        EXPECT_EQ(longLongValue(c.text), c.ll) << c.text;
        EXPECT_EQ(boolValue(c.text), c.b) << c.text;
    }
    EXPECT_EQ(intValue(std::optional<std::string>()), 0);
    EXPECT_FALSE(boolValue(std::optional<std::string>()));
}

struct Described {
    std::string description() const { return "<thing>"; }
};

TEST(Text, FormatConversions) {
    EXPECT_EQ(format("%@:%d %@", std::string("Order.cpp"), 12, "message"), "Order.cpp:12 message");
    EXPECT_EQ(format("%@", std::optional<std::string>()), "(null)");
    EXPECT_EQ(format("%@ and %@", 5, Described{}), "5 and <thing>");
    EXPECT_EQ(format("%i|%ld|%lu|%llu|%u|%hu", -1, 2L, 3UL, 4ULL, 5U, static_cast<unsigned short>(6)), "-1|2|3|4|5|6");
    EXPECT_EQ(format("%02X%02x|%02u|%03u", 0xAB, 0x0c, 7U, 42U), "AB0c|07|042");
    EXPECT_EQ(format("%.2f", 12.345), "12.35");
    EXPECT_EQ(format("%s=%s", "a", nullptr), "a=(null)");
    EXPECT_EQ(format("100%% of %d", 3), "100% of 3");
    EXPECT_EQ(format("%llu000", static_cast<uint64_t>(1700000000)), "1700000000000");
    EXPECT_EQ(format("missing %d %@"), "missing 0 (null)");
}

TEST(Text, TrimmedCopiesAndInPlaceAgree) {
    const struct {
        std::string text, trimmed;
    } cases[] = {
        {"", ""},
        {" \t\r\n ", ""},
        {"a", "a"},
        {"  a b \n", "a b"},
        {"\n<r/>", "<r/>"},
        {"<r/>\r\n\r\n", "<r/>"},
        {std::string(" x\0y ", 5), std::string("x\0y", 3)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(trim(c.text), c.trimmed) << c.text;
        std::string inPlace = c.text;
        trimInPlace(inPlace);
        EXPECT_EQ(inPlace, c.trimmed) << c.text;
    }
}
