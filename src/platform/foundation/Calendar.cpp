#include "platform/foundation/Calendar.h"

#include <cmath>

namespace tavlo {

namespace {
int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
} // namespace

// Civil-date arithmetic in 400-year eras (H. Hinnant's algorithms).
int64_t Calendar::daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = floorDiv(y, 400);
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void Calendar::civilFromDays(int64_t z, int32_t& year, int32_t& month, int32_t& day) {
    z += 719468;
    const int64_t era = floorDiv(z, 146097);
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int32_t>(yoe + era * 400 + (month <= 2));
}

DateComponents Calendar::components(Date date) const {
    double seconds = date.timeIntervalSince1970();
    double whole = std::floor(seconds);
    int64_t local = static_cast<int64_t>(whole) + zone_.secondsFromGMT(date);
    int64_t days = floorDiv(local, 86400);
    int64_t secondOfDay = local - days * 86400;

    DateComponents c;
    civilFromDays(days, c.year, c.month, c.day);
    c.hour = static_cast<int32_t>(secondOfDay / 3600);
    c.minute = static_cast<int32_t>(secondOfDay / 60 % 60);
    c.second = static_cast<int32_t>(secondOfDay % 60);
    c.weekday = static_cast<int32_t>(((days + 4) % 7 + 7) % 7 + 1); // 1970-01-01 was a Thursday
    c.dayOfYear = static_cast<int32_t>(days - daysFromCivil(c.year, 1, 1) + 1);
    c.fraction = seconds - whole;
    return c;
}

Date Calendar::dateFromComponents(const DateComponents& c) const {
    // Carry months into years first so that the day arithmetic sees a real month.
    int64_t months = static_cast<int64_t>(c.year) * 12 + (c.month - 1);
    int64_t year = floorDiv(months, 12);
    int64_t month = months - year * 12 + 1;
    int64_t days = daysFromCivil(year, month, 1) + (c.day - 1);
    int64_t local = days * 86400 + static_cast<int64_t>(c.hour) * 3600 + static_cast<int64_t>(c.minute) * 60 + c.second;
    return zone_.dateFromLocalSeconds(local).addingSeconds(c.fraction);
}

Date Calendar::startOfDay(Date date) const {
    DateComponents c = components(date);
    c.hour = c.minute = c.second = 0;
    c.fraction = 0;
    return dateFromComponents(c);
}

} // namespace tavlo
