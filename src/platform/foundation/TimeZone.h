#pragma once

#include "platform/foundation/Clock.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tavlo {

// A time zone: UTC, a fixed offset, or the device's own zone (the process's TZ setting, read
// through the system's time-zone database, daylight saving included).
class TimeZone {
public:
    static TimeZone utc() { return fixed(0); }
    static TimeZone fixed(int32_t secondsFromGMT) { return TimeZone(false, secondsFromGMT); }
    // "+0200", "-05:30", "Z", "UTC", "GMT"; nullopt for anything else.
    static std::optional<TimeZone> fromOffsetText(const std::string& text);
    static TimeZone local() { return TimeZone(true, 0); }

    // The zone dates are shown and read in unless a caller names another; the device's zone
    // until a test or the program sets one.
    static TimeZone defaultTimeZone();
    static void setDefaultTimeZone(const TimeZone& zone);

    int32_t secondsFromGMT(Date date) const;
    // The moment at which this zone's wall clock shows `localSeconds` (seconds since 1970 of the
    // wall-clock reading, as if it were UTC). In a daylight-saving gap the later offset applies.
    Date dateFromLocalSeconds(int64_t localSeconds) const;
    bool isLocal() const { return local_; }

    bool operator==(const TimeZone&) const = default;

private:
    TimeZone(bool local, int32_t offset) : local_(local), offset_(offset) {}
    bool local_;
    int32_t offset_;
};

} // namespace tavlo
