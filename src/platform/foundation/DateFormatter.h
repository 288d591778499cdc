#pragma once

#include "platform/foundation/Clock.h"
#include "platform/foundation/TimeZone.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// Shows and reads dates with a pattern in English, in one time zone. Pattern letters:
// y yy yyy yyyy (year; yy = two digits), M MM MMM MMMM (month: number or name), d dd, H HH
// (0-23), h hh (1-12), m mm, s ss, S.. (fraction of the second), a (AM/PM), EEE EEEE (weekday
// name); 'text' is literal and '' is a quote; any other character stands for itself.
// Reading wants the whole text to match; a value out of range (month 13, 25:00) gives nullopt.
// A two-digit year is read into the 100 years around now (80 back, 20 ahead); fields absent from
// the pattern read as 1970-01-01 00:00:00.
class DateFormatter {
public:
    explicit DateFormatter(std::string pattern, TimeZone zone = TimeZone::defaultTimeZone());

    const std::string& dateFormat() const { return pattern_; }
    void setDateFormat(std::string pattern);
    const TimeZone& timeZone() const { return zone_; }
    void setTimeZone(const TimeZone& zone) { zone_ = zone; }

    std::string stringFromDate(Date date) const;
    std::optional<Date> dateFromString(std::string_view text) const;

    // One-off formatting in the default zone (or the one given).
    static std::string format(Date date, const std::string& pattern, TimeZone zone = TimeZone::defaultTimeZone());

private:
    struct Token {
        char letter; // 0 for literal text
        int count;
        std::string text;
    };
    static std::vector<Token> tokenize(std::string_view pattern);

    std::string pattern_;
    TimeZone zone_;
    std::vector<Token> tokens_;
};

} // namespace tavlo
