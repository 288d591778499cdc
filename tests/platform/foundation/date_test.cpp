#include "platform/foundation/Calendar.h"
#include "platform/foundation/DateFormatter.h"

#include "support/TimeZoneScope.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tavlo;

namespace {
const TimeZone kUtc = TimeZone::utc();
const TimeZone kIndia = TimeZone::fixed(19800);    // +05:30
const TimeZone kPacific = TimeZone::fixed(-28800); // -08:00
const Date kSample(1700000000.25);                 // 2023-11-14 22:13:20.25 UTC, a Tuesday

} // namespace

TEST(DateFormatter, PatternTable) {
    struct Case {
        const char* pattern;
        TimeZone zone;
        Date date;
        const char* text;
    };
    const Case cases[] = {
        {"yyMMdd-HHmmss", kUtc, kSample, "231114-221320"},
        {"yyMMdd-HHmmss", kIndia, kSample, "231115-034320"},
        {"HH:mm:ss", kPacific, kSample, "14:13:20"},
        {"h:mm a", kUtc, kSample, "10:13 PM"},
        {"h:mm a", kIndia, kSample, "3:43 AM"},
        {"h:mm a", kUtc, Date(1704067500), "12:05 AM"},
        {"h:mm a", kUtc, Date(1704110400), "12:00 PM"},
        {"MMM d 'at' h:mm a", kUtc, kSample, "Nov 14 at 10:13 PM"},
        {"MMM d 'at' h:mm a", kUtc, Date(1704067500), "Jan 1 at 12:05 AM"},
        {"yyyy-MM-dd'T'HH:mm:00", kPacific, kSample, "2023-11-14T14:13:00"},
        {"EEE, MMMM dd yyy", kUtc, kSample, "Tue, November 14 2023"},
        {"EEEE hh:mm:ss.SSS", kUtc, kSample, "Tuesday 10:13:20.250"},
        {"h 'o''clock', MM/dd/yy", kUtc, kSample, "10 o'clock, 11/14/23"},
        {"HH:mm:ss", kUtc, Date(-1), "23:59:59"},
    };
    for (const Case& c : cases) EXPECT_EQ(DateFormatter(c.pattern, c.zone).stringFromDate(c.date), c.text) << c.pattern;
}

TEST(DateFormatter, ReadingWantsAWholeValidMatch) {
    ScopedFakeClock clock(kSample); // two-digit years are read around 2023
    struct Case {
        const char* pattern;
        TimeZone zone;
        const char* text;
        std::optional<double> seconds;
    };
    const Case cases[] = {
        {"yyMMdd-HHmmss", kUtc, "231114-221320", 1700000000},
        {"yyMMdd-HHmmss", kIndia, "231115-034320", 1700000000},
        {"yyMMdd-HHmmss", kUtc, "991231-235959", 946684799},  // 1999
        {"yyMMdd-HHmmss", kUtc, "420101-000000", 2272147200}, // 2042
        {"HH:mm:ss", kUtc, "22:13:20", 80000},
        {"HH:mm:ss", kPacific, "00:00:01", 28801},
        {"h:mm a", kUtc, "12:30 am", 1800},
        {"h:mm a", kUtc, "12:30 PM", 45000},
        {"MMM d 'at' h:mm a", kUtc, "Nov 14 at 10:13 PM", 27468780}, // 1970-11-14
        {"yyMMdd-HHmmss", kUtc, "231314-221320", std::nullopt},      // month 13
        {"yyMMdd-HHmmss", kUtc, "230229-000000", std::nullopt},      // not a leap year
        {"yyMMdd-HHmmss", kUtc, "2311-14", std::nullopt},
        {"HH:mm:ss", kUtc, "25:00:00", std::nullopt},
        {"HH:mm:ss", kUtc, "22:13:2x", std::nullopt},
        {"HH:mm:ss", kUtc, "22:13:20 ", std::nullopt},
        {"HH:mm:ss", kUtc, "", std::nullopt},
        {"h:mm a", kUtc, "13:00 PM", std::nullopt},
        {"MMM d", kUtc, "Foo 3", std::nullopt},
    };
    for (const Case& c : cases) {
        auto date = DateFormatter(c.pattern, c.zone).dateFromString(c.text);
        if (!c.seconds) {
            EXPECT_FALSE(date) << c.pattern << " / " << c.text;
            continue;
        }
        ASSERT_TRUE(date) << c.pattern << " / " << c.text;
        EXPECT_EQ(date->timeIntervalSince1970(), *c.seconds) << c.pattern << " / " << c.text;
    }
}

TEST(Calendar, WeekdayDayOfYearAndStartOfDay) {
    struct Case {
        double seconds;
        TimeZone zone;
        int weekday;
        int dayOfYear;
        double startOfDay;
    };
    const Case cases[] = {
        {0, kUtc, 5, 1, 0},                     // Thursday
        {-1, kUtc, 4, 365, -86400},             // before 1970
        {1699790400, kUtc, 1, 316, 1699747200}, // Sunday is 1
        {1700308800, kUtc, 7, 322, 1700265600}, // Saturday is 7
        {1735646400, kUtc, 3, 366, 1735603200}, // last day of a leap year
        {1700000000, kUtc, 3, 318, 1699920000},
        {1700000000, kIndia, 4, 319, 1699986600}, // already Wednesday there
        {1700000000, kPacific, 3, 318, 1699948800},
    };
    for (const Case& c : cases) {
        Calendar calendar(c.zone);
        Date date(c.seconds);
        EXPECT_EQ(calendar.weekday(date), c.weekday) << c.seconds;
        EXPECT_EQ(calendar.dayOfYear(date), c.dayOfYear) << c.seconds;
        EXPECT_EQ(calendar.startOfDay(date).timeIntervalSince1970(), c.startOfDay) << c.seconds;
    }
    DateComponents parts = Calendar(kPacific).components(kSample);
    EXPECT_EQ(parts.year, 2023);
    EXPECT_EQ(parts.month, 11);
    EXPECT_EQ(parts.day, 14);
    EXPECT_EQ(parts.hour, 14);
    EXPECT_EQ(parts.minute, 13);
    EXPECT_EQ(parts.second, 20);
    EXPECT_EQ(parts.fraction, 0.25);
}

TEST(Calendar, DeviceZoneFollowsDaylightSaving) {
    if (!std::filesystem::exists("/usr/share/zoneinfo/America/New_York")) GTEST_SKIP() << "no time-zone database";
    test::TimeZoneScope zone("America/New_York");
    Calendar calendar(TimeZone::local());
    Date afternoon(1710093600); // 2024-03-10 14:00 EDT; the day began in EST
    EXPECT_EQ(calendar.components(afternoon).hour, 14);
    EXPECT_EQ(calendar.startOfDay(afternoon).timeIntervalSince1970(), 1710046800);
    EXPECT_EQ(
        DateFormatter("yyMMdd-HHmmss", TimeZone::local()).dateFromString("240310-140000")->timeIntervalSince1970(),
        1710093600);

    TimeZone::setDefaultTimeZone(kIndia);
    EXPECT_EQ(DateFormatter::format(kSample, "HH:mm"), "03:43");
    TimeZone::setDefaultTimeZone(TimeZone::local());
    EXPECT_EQ(DateFormatter::format(kSample, "HH:mm"), "17:13");
}

TEST(TimeZone, OffsetTexts) {
    EXPECT_EQ(TimeZone::fromOffsetText("+0530"), kIndia);
    EXPECT_EQ(TimeZone::fromOffsetText("-08:00"), kPacific);
    EXPECT_EQ(TimeZone::fromOffsetText("+02"), TimeZone::fixed(7200));
    EXPECT_EQ(TimeZone::fromOffsetText("Z"), kUtc);
    for (const char* bad : {"", "0530", "+5", "+2400", "+05:3", "+05x30", "EST"})
        EXPECT_EQ(TimeZone::fromOffsetText(bad), std::nullopt) << bad;
}
