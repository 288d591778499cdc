#include "core/util/IsoDate.h"

#include <gtest/gtest.h>

#include "platform/foundation/Error.h"
#include "support/TimeZoneScope.h"

namespace tavlo {
namespace {

class IsoDateTest : public ::testing::Test {
protected:
    test::TimeZoneScope zone{"EST5EDT,M3.2.0,M11.1.0"};
    // 2024-03-06 15:05 EST
    ScopedFakeClock clock{Date(1709755500.0)};
};

constexpr double k20130507T140309Z = 1367935389.0;

TEST_F(IsoDateTest, ReadsZonesAndForms) {
    struct Case {
        const char* text;
        double seconds;
    };
    const Case cases[] = {
        {"2013-05-07T14:03:09Z", k20130507T140309Z},
        {"2013-05-07T16:03:09+02:00", k20130507T140309Z},
        {"2013-05-07T16:03:09+0200", k20130507T140309Z},
        {"2013-05-07T10:33:09-03:30", k20130507T140309Z},
        {"2013-05-07T16+02", k20130507T140309Z - 3 * 60 - 9},
        {"20130507T140309Z", k20130507T140309Z},
        {"2013-127T14:03:09Z", k20130507T140309Z},
        {"2013127T14:03:09Z", k20130507T140309Z},
        {"2013-W19-2T14:03:09Z", k20130507T140309Z},
        {"2013W192T14:03:09Z", k20130507T140309Z},
        {"2013-W19-02T14:03:09Z", k20130507T140309Z}, // as the week writer puts the weekday
        {"2013-05-07T14:03:09.25Z", k20130507T140309Z + 0.25},
        {"2013-05-07T14:03.15Z", k20130507T140309Z - 9 + 9}, // a fraction of a minute
        {"2013-05-07T14.5Z", k20130507T140309Z - 3 * 60 - 9 + 1800},
        {"130507T140309Z", k20130507T140309Z}, // two-digit year in this century
        // no zone: the device's (EDT in May, UTC-4)
        {"2013-05-07T10:03:09", k20130507T140309Z},
        {"2013-05-07", 1367899200.0},
        {"2013-05", 1367380800.0},
        // week-numbering years
        {"2009-W53-7T00:00Z", 1262476800.0}, // 2010-01-03
        {"2008-W01-1T00:00Z", 1199059200.0}, // 2007-12-31
        // a time alone is today's; truncated forms fill in from today (2024-03-06)
        {"T14:03:09Z", 1709733789.0},
        {"--05-07T12:00Z", 1715083200.0},
        {"---07T12:00Z", 1709812800.0},
        {"-13-05T12:00Z", 1367409600.0},
        {"-127T12:00Z", 1714996800.0}, // day 127 of 2024 (a leap year): 6 May
        {"-W19-2T12:00Z", 1715083200.0},
    };
    for (const auto& c : cases) {
        auto date = IsoDate::dateWithString(c.text);
        ASSERT_TRUE(date) << c.text;
        EXPECT_DOUBLE_EQ(date->timeIntervalSince1970(), c.seconds) << c.text;
    }
}

TEST_F(IsoDateTest, RejectsWhatHoldsNoDate) {
    for (const char* text :
         {"", "abc", "2013-13-01", "2013-02-29", "12345", "123456789", "2013-05-07T25:00Z", "2013-05-07T12:60Z", "T",
          "Tuesday", "2013-05-07T1", "2010-W53", "2013-367", "2013-W19-8", "----07", "--5"})
        EXPECT_FALSE(IsoDate::dateWithString(text)) << text;
}

TEST_F(IsoDateTest, WritesInUtcAndReadsBack) {
    Date date(k20130507T140309Z);
    struct Case {
        std::string text;
        const char* want;
    };
    const Case cases[] = {
        {IsoDate::ISO8601DateString(date), "2013-05-07T14:03:09Z"},
        {IsoDate::ISO8601DateString(date, false), "2013-05-07"},
        {IsoDate::ISO8601DateString(date, true, '.'), "2013-05-07T14.03.09Z"},
        {IsoDate::ISO8601WeekDateString(date), "2013-W19-02T14:03:09Z"},
        {IsoDate::ISO8601WeekDateString(date, false), "2013-W19-02"},
        {IsoDate::ISO8601OrdinalDateString(date), "2013-127T14:03:09Z"},
        {IsoDate::ISO8601OrdinalDateString(date, true, '-'), "2013-127T14-03-09Z"},
        {IsoDate::ISO8601WeekDateString(Date(1262476800.0), false), "2009-W53-07"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, c.want);
    for (const std::string& text : {IsoDate::ISO8601DateString(date), IsoDate::ISO8601WeekDateString(date),
                                    IsoDate::ISO8601OrdinalDateString(date)}) {
        auto back = IsoDate::dateWithString(text);
        ASSERT_TRUE(back) << text;
        EXPECT_EQ(*back, date) << text;
        EXPECT_EQ(IsoDate::ISO8601DateString(*back), "2013-05-07T14:03:09Z");
    }
    auto dotted = IsoDate::dateWithString("2013-05-07T14.03.09Z", false, '.');
    ASSERT_TRUE(dotted);
    EXPECT_EQ(*dotted, date);
}

TEST_F(IsoDateTest, StrictModeRefusesLeadingBlanksAndOtherSeparators) {
    TextRange range;
    auto loose = IsoDate::dateWithString("  2013-05-07T14:03:09Z", &range);
    ASSERT_TRUE(loose);
    EXPECT_EQ(*loose, Date(k20130507T140309Z));
    EXPECT_EQ(range.location, 2u);
    EXPECT_EQ(range.length, 20u);

    EXPECT_FALSE(IsoDate::dateWithString(" 2013-05-07T14:03:09Z", true));
    EXPECT_TRUE(IsoDate::dateWithString("2013-05-07T14:03:09Z", true));

    // strict ignores "." as separator: the dots are not read as 14:03:09 UTC
    auto strict = IsoDate::dateWithString("2013-05-07T14.03.09Z", true, '.', &range);
    ASSERT_TRUE(strict);
    EXPECT_NE(*strict, Date(k20130507T140309Z));
    EXPECT_LT(range.length, 20u);
}

TEST_F(IsoDateTest, RangeCoversWhatWasRead) {
    TextRange range;
    ASSERT_TRUE(IsoDate::dateWithString("2013-05-07T14:03:09Z, then more", &range));
    EXPECT_EQ(range.location, 0u);
    EXPECT_EQ(range.length, 20u);
    ASSERT_TRUE(IsoDate::dateWithString("2013-05-07 14:03", &range));
    EXPECT_EQ(range.length, 10u);
    EXPECT_FALSE(IsoDate::dateWithString("nothing", &range));
    EXPECT_EQ(range.location, TextRange::kNotFound);
}

TEST_F(IsoDateTest, NulSeparatorIsAProgrammingError) {
    EXPECT_THROW(IsoDate::dateWithString("2013-05-07", false, '\0'), InconsistencyError);
    EXPECT_TRUE(IsoDate::dateWithString("2013-05-07", true, '\0')); // strict always uses ":"
}

TEST(IsoDateFormat, PrepareDateFormatReplacesColons) {
    EXPECT_EQ(IsoDate::prepareDateFormat("HH:mm:ss", ':'), "HH:mm:ss");
    EXPECT_EQ(IsoDate::prepareDateFormat("HH:mm:ss", '.'), "HH.mm.ss");
}

} // namespace
} // namespace tavlo
