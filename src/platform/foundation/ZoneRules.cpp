#include "platform/foundation/ZoneRules.h"

#include "platform/foundation/Calendar.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

namespace tavlo {

namespace {

// Big-endian integers of the compiled file, read with a bounds check.
class Bytes {
public:
    explicit Bytes(std::string_view data) : data_(data) {}
    bool has(size_t count) const { return data_.size() - at_ >= count; }
    bool skip(size_t count) {
        if (!has(count)) return false;
        at_ += count;
        return true;
    }
    std::string_view take(size_t count) {
        std::string_view part = data_.substr(at_, count);
        at_ += count;
        return part;
    }
    int64_t integer(size_t width) {
        uint64_t value = 0;
        for (size_t i = 0; i < width; ++i) value = (value << 8) | static_cast<uint8_t>(data_[at_ + i]);
        at_ += width;
        if (width == 4) return static_cast<int32_t>(static_cast<uint32_t>(value));
        return static_cast<int64_t>(value);
    }
    std::string_view rest() const { return data_.substr(at_); }

private:
    std::string_view data_;
    size_t at_ = 0;
};

struct Counts {
    uint32_t isUt = 0, isStd = 0, leap = 0, time = 0, type = 0, chars = 0;
};

std::optional<Counts> readHeader(Bytes& in, char& version) {
    if (!in.has(44) || in.take(4) != "TZif") return std::nullopt;
    version = in.take(1)[0];
    in.skip(15);
    Counts c;
    c.isUt = static_cast<uint32_t>(in.integer(4));
    c.isStd = static_cast<uint32_t>(in.integer(4));
    c.leap = static_cast<uint32_t>(in.integer(4));
    c.time = static_cast<uint32_t>(in.integer(4));
    c.type = static_cast<uint32_t>(in.integer(4));
    c.chars = static_cast<uint32_t>(in.integer(4));
    if (c.type == 0 || c.type > 256) return std::nullopt;
    return c;
}

size_t blockSize(const Counts& c, size_t timeWidth) {
    return c.time * timeWidth + c.time + c.type * 6 + c.chars + c.leap * (timeWidth + 4) + c.isStd + c.isUt;
}

// Reads a signed "[+-]hh[:mm[:ss]]"; advances `text`.
std::optional<int32_t> readClock(std::string_view& text) {
    int sign = 1;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        sign = text[0] == '-' ? -1 : 1;
        text.remove_prefix(1);
    }
    int32_t total = 0;
    for (int part = 0; part < 3; ++part) {
        if (part > 0) {
            if (text.empty() || text[0] != ':') break;
            text.remove_prefix(1);
        }
        size_t digits = 0;
        int32_t value = 0;
        while (digits < text.size() && digits < 3 && std::isdigit(static_cast<unsigned char>(text[digits]))) {
            value = value * 10 + (text[digits] - '0');
            ++digits;
        }
        if (digits == 0) return std::nullopt;
        text.remove_prefix(digits);
        total += value * (part == 0 ? 3600 : part == 1 ? 60 : 1);
    }
    return sign * total;
}

// A zone abbreviation: letters, or anything between angle brackets.
bool skipName(std::string_view& text) {
    if (!text.empty() && text[0] == '<') {
        size_t close = text.find('>');
        if (close == std::string_view::npos) return false;
        text.remove_prefix(close + 1);
        return true;
    }
    size_t letters = 0;
    while (letters < text.size() && std::isalpha(static_cast<unsigned char>(text[letters]))) ++letters;
    if (letters < 3) return false;
    text.remove_prefix(letters);
    return true;
}

std::optional<int> readNumber(std::string_view& text) {
    size_t digits = 0;
    int value = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) {
        value = value * 10 + (text[digits] - '0');
        ++digits;
    }
    if (digits == 0) return std::nullopt;
    text.remove_prefix(digits);
    return value;
}

int64_t localSecondsOf(int64_t year, int month, int week, int weekday, int32_t time) {
    int64_t first = Calendar::daysFromCivil(year, month, 1);
    int firstWeekday = static_cast<int>(((first % 7) + 7 + 4) % 7); // 1970-01-01 was a Thursday
    int64_t day = first + (weekday - firstWeekday + 7) % 7 + (week - 1) * 7;
    int64_t nextMonth =
        month == 12 ? Calendar::daysFromCivil(year + 1, 1, 1) : Calendar::daysFromCivil(year, month + 1, 1);
    while (day >= nextMonth) day -= 7;
    return day * 86400 + time;
}

} // namespace

std::optional<ZoneRules::StandingRule> ZoneRules::parseRule(std::string_view text) {
    StandingRule rule;
    if (!skipName(text)) return std::nullopt;
    std::optional<int32_t> standard = readClock(text);
    if (!standard) return std::nullopt;
    rule.standardOffset = -*standard; // the rule counts hours west of Greenwich
    if (text.empty()) return rule;
    if (!skipName(text)) return std::nullopt;
    rule.daylightOffset = rule.standardOffset + 3600;
    if (!text.empty() && text[0] != ',') {
        std::optional<int32_t> daylight = readClock(text);
        if (!daylight) return std::nullopt;
        rule.daylightOffset = -*daylight;
    }
    // Only the month-week-day form is read; zones of the database all use it.
    for (RuleDay* day : {&rule.start, &rule.end}) {
        if (text.size() < 2 || text[0] != ',' || text[1] != 'M') return std::nullopt;
        text.remove_prefix(2);
        std::optional<int> month = readNumber(text);
        if (!month || text.empty() || text[0] != '.') return std::nullopt;
        text.remove_prefix(1);
        std::optional<int> week = readNumber(text);
        if (!week || text.empty() || text[0] != '.') return std::nullopt;
        text.remove_prefix(1);
        std::optional<int> weekday = readNumber(text);
        if (!weekday || *month < 1 || *month > 12 || *week < 1 || *week > 5 || *weekday > 6) return std::nullopt;
        *day = RuleDay{*month, *week, *weekday, 7200};
        if (!text.empty() && text[0] == '/') {
            text.remove_prefix(1);
            std::optional<int32_t> time = readClock(text);
            if (!time) return std::nullopt;
            day->time = *time;
        }
    }
    if (!text.empty()) return std::nullopt;
    return rule;
}

int32_t ZoneRules::ruleOffset(const StandingRule& rule, int64_t utcSeconds) {
    if (!rule.daylightOffset) return rule.standardOffset;
    int32_t year = 0, month = 0, day = 0;
    Calendar::civilFromDays((utcSeconds + rule.standardOffset) / 86400, year, month, day);
    // Daylight saving starts at a standard-time clock reading and ends at a daylight-time one.
    int64_t start = localSecondsOf(year, rule.start.month, rule.start.week, rule.start.weekday, rule.start.time) -
                    rule.standardOffset;
    int64_t end =
        localSecondsOf(year, rule.end.month, rule.end.week, rule.end.weekday, rule.end.time) - *rule.daylightOffset;
    bool daylight = start < end ? (utcSeconds >= start && utcSeconds < end)
                                : !(utcSeconds >= end && utcSeconds < start); // southern hemisphere
    return daylight ? *rule.daylightOffset : rule.standardOffset;
}

std::optional<ZoneRules> ZoneRules::fromRule(std::string_view text) {
    std::optional<StandingRule> rule = parseRule(text);
    if (!rule) return std::nullopt;
    ZoneRules zone;
    zone.offsets_.push_back(rule->standardOffset);
    zone.rule_ = rule;
    return zone;
}

std::optional<ZoneRules> ZoneRules::parse(std::string_view data) {
    Bytes in(data);
    char version = 0;
    std::optional<Counts> counts = readHeader(in, version);
    if (!counts) return std::nullopt;
    size_t timeWidth = 4;
    if (version >= '2') {
        // Skip the 32-bit block: the second header's block has 64-bit times and the rule follows.
        if (!in.skip(blockSize(*counts, 4))) return std::nullopt;
        counts = readHeader(in, version);
        if (!counts) return std::nullopt;
        timeWidth = 8;
    }
    if (!in.has(blockSize(*counts, timeWidth))) return std::nullopt;
    ZoneRules zone;
    for (uint32_t i = 0; i < counts->time; ++i) zone.transitions_.push_back(in.integer(timeWidth));
    for (uint32_t i = 0; i < counts->time; ++i) {
        auto type = static_cast<uint8_t>(in.integer(1));
        if (type >= counts->type) return std::nullopt;
        zone.typeAt_.push_back(type);
    }
    for (uint32_t i = 0; i < counts->type; ++i) {
        zone.offsets_.push_back(static_cast<int32_t>(in.integer(4)));
        in.skip(2); // daylight flag and abbreviation index
    }
    if (!std::is_sorted(zone.transitions_.begin(), zone.transitions_.end())) return std::nullopt;
    in.skip(counts->chars + counts->leap * (timeWidth + 4) + counts->isStd + counts->isUt);
    std::string_view footer = in.rest();
    if (timeWidth == 8 && footer.size() >= 2 && footer[0] == '\n') {
        size_t end = footer.find('\n', 1);
        if (end != std::string_view::npos && end > 1) zone.rule_ = parseRule(footer.substr(1, end - 1));
    }
    return zone;
}

std::shared_ptr<const ZoneRules> ZoneRules::named(const std::string& name) {
    if (name.empty() || name[0] == '/' || name.find("..") != std::string::npos) return nullptr;
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const ZoneRules>> loaded;
    std::lock_guard lock(mutex);
    if (auto found = loaded.find(name); found != loaded.end()) return found->second;
    const char* folder = std::getenv("TZDIR");
    std::ifstream file(std::string(folder && *folder ? folder : "/usr/share/zoneinfo") + "/" + name, std::ios::binary);
    if (!file) return nullptr;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    std::optional<ZoneRules> rules = parse(bytes.str());
    if (!rules) return nullptr;
    auto shared = std::make_shared<const ZoneRules>(std::move(*rules));
    loaded.emplace(name, shared);
    return shared;
}

int32_t ZoneRules::secondsFromGMT(int64_t utcSeconds) const {
    if (transitions_.empty() || utcSeconds < transitions_.front()) {
        // Before the first recorded change the zone keeps its first local-time type.
        return rule_ && transitions_.empty() ? ruleOffset(*rule_, utcSeconds) : offsets_.front();
    }
    if (rule_ && utcSeconds >= transitions_.back()) return ruleOffset(*rule_, utcSeconds);
    auto after = std::upper_bound(transitions_.begin(), transitions_.end(), utcSeconds);
    return offsets_[typeAt_[static_cast<size_t>(after - transitions_.begin()) - 1]];
}

} // namespace tavlo
