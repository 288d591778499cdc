#include "core/util/Utils.h"

#include <gtest/gtest.h>

#include "support/TimeZoneScope.h"

namespace tavlo {
namespace {

TEST(UtilsMoney, FormatsCentsAsText) {
    struct Case {
        int64_t cents;
        bool currency;
        const char* text;
    };
    const Case cases[] = {
        {0, true, "$0.00"},   {100, true, "$1.00"},         {-12345, true, "-$123.45"},
        {5, false, "0.05"},   {45, false, "0.45"},          {12345, false, "123.45"},
        {-5, true, "-$0.05"}, {1234567, false, "12345.67"}, {INT64_MIN, false, "-92233720368547758.08"},
    };
    for (const auto& c : cases) EXPECT_EQ(Utils::formatAmount(c.cents, c.currency, 2), c.text) << c.cents;
    EXPECT_EQ(Utils::formatCurrency(250), "$2.50");
    EXPECT_EQ(Utils::formatAmount(250, 2), "2.50");
    EXPECT_EQ(Utils::formatAmount(250), "250");
}

TEST(UtilsMoney, ParsesTextToCents) {
    struct Case {
        std::optional<std::string> text;
        int32_t cents;
    };
    const Case cases[] = {
        {std::nullopt, 0},
        {"", 0},
        {"$1,234.50", 123450},
        {"12.34", 1234},
        {"12.345", 1234},
        {"12.5", 125},
        {"12", 12},
        {"-$0.05", -5},
        {"$abc", 0},
        {" 7.00", 700},
        {"3.99 each", 399},
        {"99999999999", INT32_MAX},
    };
    for (const auto& c : cases) EXPECT_EQ(Utils::parseCurrency(c.text), c.cents) << c.text.value_or("(nil)");
}

TEST(UtilsMoney, FormattedAmountsReadBack) {
    for (int64_t cents : {0L, 1L, 99L, 100L, 12345L, -1L, -250L})
        EXPECT_EQ(Utils::parseCurrency(Utils::formatCurrency(cents)), cents);
}

TEST(UtilsText, Padding) {
    struct Case {
        const char* what;
        std::string got;
        const char* want;
    };
    const Case cases[] = {
        {"rpad cuts", Utils::rpad("abcdef", ' ', 4), "abcd"},
        {"rpad pads", Utils::rpad("ab", '.', 5), "ab..."},
        {"lpad pads", Utils::lpad("7", '0', 3), "007"},
        {"lpad cuts from the start", Utils::lpad("abcdef", ' ', 4), "abcd"},
        {"center exact", Utils::center("abc", '*', 3), "abc"},
        {"center cuts", Utils::center("abcdef", '*', 4), "abcd"},
        {"center odd goes right", Utils::center("ab", '*', 5), "*ab**"},
        {"center even", Utils::center("ab", '*', 6), "**ab**"},
        {"center empty", Utils::center("", '-', 3), "---"},
        {"trunc keeps", Utils::trunc("abcdef", 6), "abcdef"},
        {"trunc cuts", Utils::trunc("abcdefgh", 6), "abc..."},
        {"trunc narrow", Utils::trunc("abcdefgh", 2), "ab"},
        // characters, not bytes: "é" is two bytes and is never split
        {"rpad counts characters", Utils::rpad("caf\xC3\xA9", ' ', 6), "caf\xC3\xA9  "},
        {"rpad never splits a character", Utils::rpad("\xC3\xA9t\xC3\xA9", ' ', 1), "\xC3\xA9"},
        {"center counts characters", Utils::center("\xC3\xA9", '-', 4), "-\xC3\xA9--"},
        {"trunc counts characters", Utils::trunc("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 4), "\xC3\xA9..."},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(UtilsText, UnformatUrlGivesTheShortForm) {
    struct Case {
        std::optional<std::string> url, shortForm;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt},
        {"", ""},
        {"http://server.local:4444", "server"},
        {"https://server.local:4444/pos", "server/pos"},
        {"http://10.0.0.5:8080", "10.0.0.5:8080"},
        {"server.local:4444", "server"},
        {"ftp://a.local", "ftp://a"},
        {"http://a.local.local:4444:4444", "a.local:4444"}, // first occurrences only
    };
    for (const auto& c : cases) EXPECT_EQ(Utils::unformatURL(c.url), c.shortForm) << c.url.value_or("nil");
}

TEST(UtilsBits, BcdAndBinaryText) {
    for (int n : {0, 7, 10, 42, 99}) EXPECT_EQ(Utils::unbcd(Utils::bcd(n)), n);
    EXPECT_EQ(Utils::bcd(42), 0x42);
    EXPECT_EQ(Utils::unbcd(0x59), 59);
    EXPECT_EQ(Utils::byteToBinary(0xA5), ". .  . .");
    EXPECT_EQ(Utils::intToBinary(5), "00000000000000000000000000000101");
    EXPECT_EQ(Utils::intToBinary(-1), std::string(32, '1'));
}

TEST(UtilsError, CarriesDomainCodeAndText) {
    Error e = Utils::getError("Unable to connect", "StoreServerErrorDomain", -95);
    EXPECT_EQ(e.domain(), "StoreServerErrorDomain");
    EXPECT_EQ(e.code(), -95);
    EXPECT_EQ(e.localizedDescription(), "Unable to connect");
}

TEST(UtilsArray, PerformSelectorPutsQuestionMarkForNil) {
    std::vector<int> items{1, 2, 3};
    auto names = arrayByPerformingSelector(items, [](int n) -> std::optional<std::string> {
        if (n == 2) return std::nullopt;
        return std::to_string(n * 10);
    });
    EXPECT_EQ(names, (std::vector<std::string>{"10", "?", "30"}));
}

class UtilsDates : public ::testing::Test {
protected:
    test::TimeZoneScope zone{"EST5EDT,M3.2.0,M11.1.0"}; // New York rules, no zone files needed
    // Wednesday 2024-03-06 15:05 in New York (EST, UTC-5).
    ScopedFakeClock clock{Date(1709755500.0)};
};

TEST_F(UtilsDates, DatesInWords) {
    const double day = 86400;
    struct Case {
        std::optional<Date> date;
        const char* words;
    };
    const Case cases[] = {
        {std::nullopt, ""},
        {Date(1709755500.0), "Today at 3:05 PM"},
        {Date(1709755500.0 - 6 * 3600), "Today at 9:05 AM"},
        {Date(1709755500.0 - day), "Yesterday at 3:05 PM"},
        {Date(1709755500.0 + day - 3 * 3600), "Tomorrow at 12:05 PM"},
        {Date(1709755500.0 - 2 * day), "Mar 4 at 3:05 PM"},
        // the same day of the year, one year before, is not "Today"
        {Date(1709755500.0 - 365 * day), "Mar 7 at 3:05 PM"},
    };
    for (const auto& c : cases) EXPECT_EQ(Utils::naturalStringForDate(c.date), c.words) << c.words;
    EXPECT_EQ(Utils::stringForDate(Date(1709755500.0)), "Mar 6 at 3:05 PM");
    EXPECT_EQ(Utils::stringForDate(std::nullopt), "");
}

TEST_F(UtilsDates, LastDayOfAShortYearIsYesterdayOnNewYearsDay) {
    clock->set(Date(1704128400.0)); // 2024-01-01 12:00 EST
    EXPECT_EQ(Utils::naturalStringForDate(Date(1704128400.0 - 86400)), "Yesterday at 12:00 PM");
    EXPECT_EQ(Utils::dayOfYear(Date(1704128400.0 - 86400)), 365);
}

TEST_F(UtilsDates, DayOfYearUsesTheDeviceZone) {
    // 2024-03-01 03:00 UTC is still 29 February in New York (a leap year)
    EXPECT_EQ(Utils::dayOfYear(Date(1709262000.0)), 60);
    test::TimeZoneScope utc("UTC0");
    EXPECT_EQ(Utils::dayOfYear(Date(1709262000.0)), 61);
}

} // namespace
} // namespace tavlo
