#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// The offsets of one named zone of the system's time-zone database ("America/Chicago"), read
// from its compiled file: the recorded transitions, and after the last one the zone's standing
// rule (the file's closing "CST6CDT,M3.2.0,M11.1.0" line), so dates past the recorded years
// still change with daylight saving.
class ZoneRules {
public:
    // The rules of `name` under the database folder (TZDIR, else /usr/share/zoneinfo); nullptr
    // when the name is not a zone there (or tries to leave the folder). Loaded once per name.
    static std::shared_ptr<const ZoneRules> named(const std::string& name);
    // The rules in a compiled zone file's bytes; nullopt when they are not one.
    static std::optional<ZoneRules> parse(std::string_view bytes);
    // A standing rule alone ("EST5EDT,M3.2.0,M11.1.0", "<+0330>-3:30"); nullopt when unreadable.
    static std::optional<ZoneRules> fromRule(std::string_view rule);

    // Seconds east of Greenwich at the moment `utcSeconds` (seconds since 1970, UTC).
    int32_t secondsFromGMT(int64_t utcSeconds) const;

private:
    struct RuleDay {
        int month = 0;       // 1-12
        int week = 0;        // 1-5, 5 = the last such weekday of the month
        int weekday = 0;     // 0 = Sunday
        int32_t time = 7200; // seconds after local midnight
    };
    struct StandingRule {
        int32_t standardOffset = 0; // seconds east
        std::optional<int32_t> daylightOffset;
        RuleDay start;
        RuleDay end;
    };

    static std::optional<StandingRule> parseRule(std::string_view text);
    static int32_t ruleOffset(const StandingRule& rule, int64_t utcSeconds);

    std::vector<int64_t> transitions_;
    std::vector<uint8_t> typeAt_;  // one per transition: index into offsets_
    std::vector<int32_t> offsets_; // of each local-time type
    std::optional<StandingRule> rule_;
};

} // namespace tavlo
