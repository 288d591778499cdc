#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Clock.h"

namespace tavlo {

// The part of a text that a parse read.
struct TextRange {
    static constexpr size_t kNotFound = static_cast<size_t>(-1);
    size_t location = kNotFound;
    size_t length = 0;
};

// Dates in ISO 8601 text: calendar ("2013-05-07"), ordinal ("2013-127"), week ("2013-W19-2")
// and truncated forms, with a time after "T" and an optional zone ("Z", "+02", "-03:30").
class IsoDate {
public:
    // A date, or nil when the text holds none. Without a zone the device's time zone applies;
    // missing leading parts (a time alone, "--05-07") are taken from today. Strict: no leading
    // white space, and the time separator is always ":". A NUL separator throws
    // InconsistencyError. `range` (may be null) receives the part read, location kNotFound on nil.
    static std::optional<Date> dateWithString(std::string_view text, bool strictly = false, char timeSeparator = ':',
                                              TextRange* range = nullptr);
    static std::optional<Date> dateWithString(std::string_view text, TextRange* range) {
        return dateWithString(text, false, ':', range);
    }

    // Written in UTC: "2013-05-07T14:03:09Z" / "2013-05-07".
    static std::string ISO8601DateString(Date date, bool withTime = true, char timeSeparator = ':');
    // "2013-W19-02T14:03:09Z": week-numbering year, week, weekday 1 (Monday) to 7.
    static std::string ISO8601WeekDateString(Date date, bool withTime = true, char timeSeparator = ':');
    // "2013-127T14:03:09Z".
    static std::string ISO8601OrdinalDateString(Date date, bool withTime = true, char timeSeparator = ':');

    // A date pattern with every ":" replaced by the separator.
    static std::string prepareDateFormat(std::string pattern, char timeSeparator);
};

} // namespace tavlo
