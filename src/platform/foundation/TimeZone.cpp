#include "platform/foundation/TimeZone.h"

#include "platform/foundation/Text.h"
#include "platform/foundation/ZoneRules.h"

#include <cctype>
#include <ctime>
#include <mutex>

namespace tavlo {

namespace {
std::mutex g_zoneMutex;
std::optional<TimeZone> g_default;
} // namespace

std::optional<TimeZone> TimeZone::fromOffsetText(const std::string& text) {
    if (text == "Z" || text == "UTC" || text == "GMT") return utc();
    if (text.size() < 3 || (text[0] != '+' && text[0] != '-')) return std::nullopt;
    std::string digits;
    for (size_t i = 1; i < text.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i]))) digits += text[i];
        else if (!(text[i] == ':' && i == 3)) return std::nullopt;
    }
    if (digits.size() != 2 && digits.size() != 4) return std::nullopt;
    int hours = std::stoi(digits.substr(0, 2));
    int minutes = digits.size() == 4 ? std::stoi(digits.substr(2, 2)) : 0;
    if (hours > 23 || minutes > 59) return std::nullopt;
    int32_t offset = hours * 3600 + minutes * 60;
    return fixed(text[0] == '-' ? -offset : offset);
}

std::optional<TimeZone> TimeZone::named(const std::string& name) {
    std::shared_ptr<const ZoneRules> rules = ZoneRules::named(name);
    if (!rules) return std::nullopt;
    TimeZone zone(false, 0);
    zone.name_ = name;
    zone.rules_ = std::move(rules);
    return zone;
}

std::optional<TimeZone> TimeZone::fromAbbreviation(const std::string& abbreviation) {
    static const std::pair<const char*, const char*> zones[] = {
        {"EST", "America/New_York"},    {"EDT", "America/New_York"},    {"CST", "America/Chicago"},
        {"CDT", "America/Chicago"},     {"MST", "America/Denver"},      {"MDT", "America/Denver"},
        {"PST", "America/Los_Angeles"}, {"PDT", "America/Los_Angeles"}, {"AKST", "America/Anchorage"},
        {"AKDT", "America/Anchorage"},  {"HST", "Pacific/Honolulu"},
    };
    std::string upper = toUpper(abbreviation);
    if (upper == "UTC" || upper == "GMT") return utc();
    for (const auto& [name, zone] : zones) {
        if (upper == name) return named(zone);
    }
    return std::nullopt;
}

TimeZone TimeZone::defaultTimeZone() {
    std::lock_guard lock(g_zoneMutex);
    return g_default.value_or(local());
}

void TimeZone::setDefaultTimeZone(const TimeZone& zone) {
    std::lock_guard lock(g_zoneMutex);
    g_default = zone;
}

int32_t TimeZone::secondsFromGMT(Date date) const {
    if (rules_) return rules_->secondsFromGMT(date.wholeSeconds());
    if (!local_) return offset_;
    time_t t = static_cast<time_t>(date.wholeSeconds());
    struct tm parts {};
    if (!localtime_r(&t, &parts)) return 0;
    return static_cast<int32_t>(parts.tm_gmtoff);
}

Date TimeZone::dateFromLocalSeconds(int64_t localSeconds) const {
    // Two rounds settle the offset that applies at the answer itself (daylight-saving changes).
    double guess = static_cast<double>(localSeconds - secondsFromGMT(Date(static_cast<double>(localSeconds))));
    return Date(static_cast<double>(localSeconds - secondsFromGMT(Date(guess))));
}

} // namespace tavlo
