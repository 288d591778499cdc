#include "core/IsoDate.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include "core/LocalDateText.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Text.h"

namespace tavlo {

namespace {

using namespace std::chrono;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

class Parser {
public:
    Parser(std::string_view text, size_t at) : text_(text), i_(at) {}

    size_t position() const { return i_; }
    char peek(size_t ahead = 0) const { return i_ + ahead < text_.size() ? text_[i_ + ahead] : '\0'; }
    bool take(char c) {
        if (peek() != c) return false;
        ++i_;
        return true;
    }
    size_t digitRun() const {
        size_t n = 0;
        while (isDigit(peek(n))) ++n;
        return n;
    }
    // Exactly `count` digits as a number (the caller checked they are there).
    int number(size_t count) {
        int value = 0;
        for (size_t k = 0; k < count; ++k) value = value * 10 + (text_[i_++] - '0');
        return value;
    }
    // "." and digits: the fraction's value.
    double fraction() {
        ++i_;  // the "."
        double value = 0, scale = 0.1;
        while (isDigit(peek())) {
            value += (text_[i_++] - '0') * scale;
            scale /= 10;
        }
        return value;
    }

private:
    std::string_view text_;
    size_t i_;
};

// The date a parse names before its time: a day since 1970 in the proleptic Gregorian calendar.
std::optional<sys_days> civilDay(int y, int m, int d) {
    year_month_day ymd{year(y), month(static_cast<unsigned>(m)), day(static_cast<unsigned>(d))};
    if (m < 1 || m > 12 || d < 1 || !ymd.ok()) return std::nullopt;
    return sys_days(ymd);
}

std::optional<sys_days> ordinalDay(int y, int dayOfYear) {
    int length = year(y).is_leap() ? 366 : 365;
    if (dayOfYear < 1 || dayOfYear > length) return std::nullopt;
    return sys_days(year(y) / January / 1) + days(dayOfYear - 1);
}

int daysSinceMonday(sys_days d) { return static_cast<int>(weekday(d).iso_encoding()) - 1; }

// Week 1 is the week holding the year's first Thursday, that is, the one holding 4 January.
std::optional<sys_days> weekDay(int y, int week, int weekday) {
    if (week < 1 || week > 53 || weekday < 1 || weekday > 7) return std::nullopt;
    sys_days jan4 = sys_days(year(y) / January / 4);
    sys_days monday = jan4 - days(daysSinceMonday(jan4));
    sys_days result = monday + days((week - 1) * 7 + (weekday - 1));
    // Week 53 exists only in years that have it.
    if (week == 53) {
        sys_days nextJan4 = sys_days(year(y + 1) / January / 4);
        if (result >= nextJan4 - days(daysSinceMonday(nextJan4))) return std::nullopt;
    }
    return result;
}

// "Www" then an optional weekday ("-D", "-0D" or "D"); Monday when none is given.
std::optional<sys_days> readWeek(Parser& p, int y) {
    if (!p.take('W') || p.digitRun() < 2) return std::nullopt;
    int week = p.number(2);
    int weekday = 1;
    if (p.peek() == '-' && isDigit(p.peek(1))) {
        p.take('-');
        weekday = p.number(p.digitRun() >= 2 ? 2 : 1);
    } else if (isDigit(p.peek())) {
        weekday = p.number(1);
    }
    return weekDay(y, week, weekday);
}

struct Today {
    int year, month, day;
};

int inCentury(int twoDigits, const Today& today) { return today.year / 100 * 100 + twoDigits; }

// Year, month and day: "YYYY-MM-DD" and the other forms, with leading hyphens for the truncated
// ones (missing parts from today).
std::optional<sys_days> readDate(Parser& p, const Today& today) {
    size_t hyphens = 0;
    while (p.take('-')) ++hyphens;
    size_t run = p.digitRun();
    if (run > 8) return std::nullopt;
    switch (hyphens) {
    case 0:
        switch (run) {
        case 8: {
            int y = p.number(4), m = p.number(2);
            return civilDay(y, m, p.number(2));
        }
        case 7: {
            int y = p.number(4);
            return ordinalDay(y, p.number(3));
        }
        case 6: {
            int y = inCentury(p.number(2), today), m = p.number(2);
            return civilDay(y, m, p.number(2));
        }
        case 4: {
            int y = p.number(4);
            if (p.peek() == 'W') return readWeek(p, y);
            if (p.peek() != '-') return civilDay(y, 1, 1);
            p.take('-');
            if (p.peek() == 'W') return readWeek(p, y);
            size_t next = p.digitRun();
            if (next == 3) return ordinalDay(y, p.number(3));
            if (next != 2) return std::nullopt;
            int m = p.number(2);
            if (p.peek() == '-' && isDigit(p.peek(1)) && isDigit(p.peek(2))) {
                p.take('-');
                return civilDay(y, m, p.number(2));
            }
            return civilDay(y, m, 1);
        }
        default:
            return std::nullopt;
        }
    case 1:  // -YY, -YYMM, -YY-MM, -DDD, -Www-D
        switch (run) {
        case 0:
            return p.peek() == 'W' ? readWeek(p, today.year) : std::nullopt;
        case 2: {
            int y = inCentury(p.number(2), today);
            if (p.peek() == '-' && isDigit(p.peek(1)) && isDigit(p.peek(2))) {
                p.take('-');
                return civilDay(y, p.number(2), 1);
            }
            return civilDay(y, 1, 1);
        }
        case 3:
            return ordinalDay(today.year, p.number(3));
        case 4: {
            int y = inCentury(p.number(2), today);
            return civilDay(y, p.number(2), 1);
        }
        default:
            return std::nullopt;
        }
    case 2:  // --MM, --MMDD, --MM-DD
        if (run == 4) {
            int m = p.number(2);
            return civilDay(today.year, m, p.number(2));
        }
        if (run == 2) {
            int m = p.number(2);
            if (p.peek() == '-' && isDigit(p.peek(1)) && isDigit(p.peek(2))) {
                p.take('-');
                return civilDay(today.year, m, p.number(2));
            }
            return civilDay(today.year, m, 1);
        }
        return std::nullopt;
    case 3:  // ---DD
        if (run != 2) return std::nullopt;
        return civilDay(today.year, today.month, p.number(2));
    default:
        return std::nullopt;
    }
}

// "HH", "HH:mm", "HH:mm:ss" (or without separators), a fraction after "." on the last unit.
// Seconds into the day, or nil.
std::optional<double> readTime(Parser& p, char separator) {
    if (p.digitRun() < 2) return std::nullopt;
    double units[3] = {static_cast<double>(p.number(2)), 0, 0};
    int last = 0;
    // With "." or "," between the units there is no room for a fraction.
    bool fractions = separator != '.' && separator != ',';
    while (true) {
        if (fractions && p.peek() == '.' && isDigit(p.peek(1))) {
            units[last] += p.fraction();
            break;
        }
        if (last == 2) break;
        if (p.peek() == separator && isDigit(p.peek(1)) && isDigit(p.peek(2))) {
            p.take(separator);
        } else if (!(isDigit(p.peek()) && isDigit(p.peek(1)))) {
            break;
        }
        units[++last] = p.number(2);
    }
    double seconds = units[0] * 3600 + units[1] * 60 + units[2];
    if (units[0] > 24 || units[1] >= 60 || units[2] >= 61 || seconds > 86400) return std::nullopt;
    return seconds;
}

// "Z", "+HH", "+HHMM", "+HH:MM" (or "-"): the offset east of UTC in seconds; nil when there is
// no zone.
std::optional<int> readZone(Parser& p, char separator) {
    if (p.take('Z')) return 0;
    char sign = p.peek();
    if ((sign != '+' && sign != '-') || !isDigit(p.peek(1)) || !isDigit(p.peek(2))) return std::nullopt;
    p.take(sign);
    int hours = p.number(2), minutes = 0;
    char mark = p.peek();
    if ((mark == ':' || mark == separator) && isDigit(p.peek(1)) && isDigit(p.peek(2))) {
        p.take(mark);
        minutes = p.number(2);
    } else if (isDigit(p.peek()) && isDigit(p.peek(1))) {
        minutes = p.number(2);
    }
    if (hours > 23 || minutes > 59) return std::nullopt;
    int offset = hours * 3600 + minutes * 60;
    return sign == '-' ? -offset : offset;
}

// A day and a time of it in the device's time zone.
double localSeconds(sys_days day, double secondsIntoDay) {
    year_month_day ymd(day);
    double whole = std::floor(secondsIntoDay);
    std::tm fields{};
    fields.tm_year = static_cast<int>(ymd.year()) - 1900;
    fields.tm_mon = static_cast<int>(static_cast<unsigned>(ymd.month())) - 1;
    fields.tm_mday = static_cast<int>(static_cast<unsigned>(ymd.day()));
    fields.tm_sec = static_cast<int>(whole);  // mktime carries the overflow into minutes and hours
    fields.tm_isdst = -1;
    return static_cast<double>(std::mktime(&fields)) + (secondsIntoDay - whole);
}

std::tm utcFields(Date date) {
    std::time_t seconds = static_cast<std::time_t>(date.wholeSeconds());
    std::tm fields{};
    gmtime_r(&seconds, &fields);
    return fields;
}

std::string utcText(const std::tm& fields, const char* pattern) {
    char buffer[64];
    size_t n = std::strftime(buffer, sizeof buffer, pattern, &fields);
    return std::string(buffer, n);
}

std::string timePart(const std::tm& fields, bool withTime, char separator) {
    return withTime ? utcText(fields, IsoDate::prepareDateFormat("T%H:%M:%SZ", separator).c_str()) : "";
}

} // namespace

std::optional<Date> IsoDate::dateWithString(std::string_view text, bool strictly, char timeSeparator,
                                            TextRange* range) {
    if (strictly) timeSeparator = ':';
    if (timeSeparator == '\0') throw InconsistencyError("Time separator must not be NUL.");
    if (range) *range = TextRange{};

    size_t start = 0;
    if (!text.empty() && isSpace(text[0])) {
        if (strictly) return std::nullopt;
        while (start < text.size() && isSpace(text[start])) ++start;
    }
    Parser p(text, start);
    std::tm now = detail::localFields(Date::now());
    Today today{now.tm_year + 1900, now.tm_mon + 1, now.tm_mday};

    bool timeOnly = p.peek() == 'T';
    std::optional<sys_days> day = timeOnly ? civilDay(today.year, today.month, today.day) : readDate(p, today);
    if (!day) return std::nullopt;
    if (timeOnly && !isDigit(p.peek(1))) return std::nullopt;

    double secondsIntoDay = 0;
    std::optional<int> offset;
    if (p.peek() == 'T' && isDigit(p.peek(1))) {
        p.take('T');
        auto time = readTime(p, timeSeparator);
        if (!time) return std::nullopt;
        secondsIntoDay = *time;
        Parser beforeZone = p;
        if (!strictly)
            while (p.peek() == ' ') p.take(' ');
        offset = readZone(p, timeSeparator);
        if (!offset) p = beforeZone;
    }

    double seconds = offset ? static_cast<double>(day->time_since_epoch().count()) * 86400 + secondsIntoDay - *offset
                            : localSeconds(*day, secondsIntoDay);
    if (range) *range = TextRange{start, p.position() - start};
    return Date(seconds);
}

std::string IsoDate::ISO8601DateString(Date date, bool withTime, char timeSeparator) {
    std::tm fields = utcFields(date);
    return utcText(fields, "%Y-%m-%d") + timePart(fields, withTime, timeSeparator);
}

std::string IsoDate::ISO8601WeekDateString(Date date, bool withTime, char timeSeparator) {
    std::tm fields = utcFields(date);
    return format("%u-W%02u-%02u%@", static_cast<unsigned>(intValue(utcText(fields, "%G"))),
                  static_cast<unsigned>(intValue(utcText(fields, "%V"))),
                  static_cast<unsigned>(intValue(utcText(fields, "%u"))), timePart(fields, withTime, timeSeparator));
}

std::string IsoDate::ISO8601OrdinalDateString(Date date, bool withTime, char timeSeparator) {
    std::tm fields = utcFields(date);
    return format("%u-%03u%@", static_cast<unsigned>(fields.tm_year + 1900), static_cast<unsigned>(fields.tm_yday + 1),
                  timePart(fields, withTime, timeSeparator));
}

std::string IsoDate::prepareDateFormat(std::string pattern, char timeSeparator) {
    if (timeSeparator == ':') return pattern;
    for (char& c : pattern)
        if (c == ':') c = timeSeparator;
    return pattern;
}

} // namespace tavlo
