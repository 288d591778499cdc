#pragma once

#include "platform/foundation/Clock.h"
#include "platform/foundation/TimeZone.h"

#include <cstdint>

namespace tavlo {

struct DateComponents {
    int32_t year = 1970;
    int32_t month = 1; // 1-12
    int32_t day = 1;   // 1-31
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
    int32_t weekday = 5;   // 1 = Sunday ... 7 = Saturday
    int32_t dayOfYear = 1; // 1-366
    double fraction = 0;   // of the second, 0 <= fraction < 1
};

// The Gregorian calendar as seen in one time zone.
class Calendar {
public:
    explicit Calendar(TimeZone zone = TimeZone::defaultTimeZone()) : zone_(zone) {}

    const TimeZone& timeZone() const { return zone_; }
    DateComponents components(Date date) const;
    // The moment these wall-clock values name in the zone (weekday and day of year are ignored;
    // out-of-range values carry over, as 13/32 does into the next year).
    Date dateFromComponents(const DateComponents& components) const;
    Date startOfDay(Date date) const;
    int32_t weekday(Date date) const { return components(date).weekday; }
    int32_t dayOfYear(Date date) const { return components(date).dayOfYear; }

    // Days from 1970-01-01 to the given civil date, and back (proleptic Gregorian).
    static int64_t daysFromCivil(int64_t year, int64_t month, int64_t day);
    static void civilFromDays(int64_t days, int32_t& year, int32_t& month, int32_t& day);
    static bool isLeapYear(int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

private:
    TimeZone zone_;
};

} // namespace tavlo
