#pragma once

#include "platform/foundation/Clock.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tavlo {

class ZoneRules;

// A time zone: UTC, a fixed offset, a named zone of the system's time-zone database, or the
// device's own zone (the process's TZ setting); named and device zones follow daylight saving.
class TimeZone {
public:
    static TimeZone utc() { return fixed(0); }
    static TimeZone fixed(int32_t secondsFromGMT) { return TimeZone(false, secondsFromGMT); }
    // "+0200", "-05:30", "Z", "UTC", "GMT"; nullopt for anything else.
    static std::optional<TimeZone> fromOffsetText(const std::string& text);
    static TimeZone local() { return TimeZone(true, 0); }
    // "America/Chicago"; nullopt when the database has no such zone.
    static std::optional<TimeZone> named(const std::string& name);
    // The zone a North American abbreviation stands for ("CST" is Chicago's zone, daylight
    // saving included, whichever half of the year), "UTC" and "GMT"; nullopt for others.
    static std::optional<TimeZone> fromAbbreviation(const std::string& abbreviation);

    // The zone dates are shown and read in unless a caller names another; the device's zone
    // until a test or the program sets one.
    static TimeZone defaultTimeZone();
    static void setDefaultTimeZone(const TimeZone& zone);

    int32_t secondsFromGMT(Date date) const;
    // The moment at which this zone's wall clock shows `localSeconds` (seconds since 1970 of the
    // wall-clock reading, as if it were UTC). In a daylight-saving gap the later offset applies.
    Date dateFromLocalSeconds(int64_t localSeconds) const;
    bool isLocal() const { return local_; }

    bool operator==(const TimeZone& other) const {
        return local_ == other.local_ && offset_ == other.offset_ && name_ == other.name_;
    }

private:
    TimeZone(bool local, int32_t offset) : local_(local), offset_(offset) {}
    bool local_;
    int32_t offset_;
    std::string name_;                       // of a named zone
    std::shared_ptr<const ZoneRules> rules_; // of a named zone
};

} // namespace tavlo
