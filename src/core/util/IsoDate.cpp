#include "core/util/IsoDate.h"

#include <cmath>

#include "platform/foundation/Calendar.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Text.h"

namespace tavlo {

namespace {

using DayNumber = int64_t; // days since 1970-01-01

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
        ++i_; // the "."
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

int daysInMonth(int y, int m) {
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && Calendar::isLeapYear(y) ? 29 : lengths[m - 1];
}

std::optional<DayNumber> civilDay(int y, int m, int d) {
    if (m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m)) return std::nullopt;
    return Calendar::daysFromCivil(y, m, d);
}

std::optional<DayNumber> ordinalDay(int y, int dayOfYear) {
    if (dayOfYear < 1 || dayOfYear > (Calendar::isLeapYear(y) ? 366 : 365)) return std::nullopt;
    return Calendar::daysFromCivil(y, 1, 1) + dayOfYear - 1;
}

// 1 Monday ... 7 Sunday (1970-01-01 was a Thursday).
int isoWeekday(DayNumber day) { return static_cast<int>(((day + 3) % 7 + 7) % 7) + 1; }

// Monday of week 1: the week that holds 4 January.
DayNumber firstWeekMonday(int y) {
    DayNumber jan4 = Calendar::daysFromCivil(y, 1, 4);
    return jan4 - (isoWeekday(jan4) - 1);
}

std::optional<DayNumber> weekDay(int y, int week, int weekday) {
    if (week < 1 || week > 53 || weekday < 1 || weekday > 7) return std::nullopt;
    DayNumber result = firstWeekMonday(y) + (week - 1) * 7 + (weekday - 1);
    if (result >= firstWeekMonday(y + 1)) return std::nullopt; // week 53 only in years that have it
    return result;
}

// "Www" then an optional weekday ("-D", "-0D" or "D"); Monday when none is given.
std::optional<DayNumber> readWeek(Parser& p, int y) {
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
std::optional<DayNumber> readDate(Parser& p, const Today& today) {
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
        default: return std::nullopt;
        }
    case 1: // -YY, -YYMM, -YY-MM, -DDD, -Www-D
        switch (run) {
        case 0: return p.peek() == 'W' ? readWeek(p, today.year) : std::nullopt;
        case 2: {
            int y = inCentury(p.number(2), today);
            if (p.peek() == '-' && isDigit(p.peek(1)) && isDigit(p.peek(2))) {
                p.take('-');
                return civilDay(y, p.number(2), 1);
            }
            return civilDay(y, 1, 1);
        }
        case 3: return ordinalDay(today.year, p.number(3));
        case 4: {
            int y = inCentury(p.number(2), today);
            return civilDay(y, p.number(2), 1);
        }
        default: return std::nullopt;
        }
    case 2: // --MM, --MMDD, --MM-DD
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
    case 3: // ---DD
        if (run != 2) return std::nullopt;
        return civilDay(today.year, today.month, p.number(2));
    default: return std::nullopt;
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

std::string timePart(const DateComponents& utc, bool withTime, char separator) {
    if (!withTime) return "";
    return format("T%02d%c%02d%c%02dZ", utc.hour, separator, utc.minute, separator, utc.second);
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
    DateComponents now = Calendar().components(Date::now());
    Today today{now.year, now.month, now.day};

    bool timeOnly = p.peek() == 'T';
    std::optional<DayNumber> day = timeOnly ? civilDay(today.year, today.month, today.day) : readDate(p, today);
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

    double whole = std::floor(secondsIntoDay);
    int64_t wallClock = *day * 86400 + static_cast<int64_t>(whole);
    // Without a zone the wall clock is the device's.
    Date date = offset ? Date(static_cast<double>(wallClock - *offset))
                       : TimeZone::defaultTimeZone().dateFromLocalSeconds(wallClock);
    if (range) *range = TextRange{start, p.position() - start};
    return date.addingSeconds(secondsIntoDay - whole);
}

std::string IsoDate::ISO8601DateString(Date date, bool withTime, char timeSeparator) {
    DateComponents utc = Calendar(TimeZone::utc()).components(date);
    return format("%04d-%02d-%02d%@", utc.year, utc.month, utc.day, timePart(utc, withTime, timeSeparator));
}

std::string IsoDate::ISO8601WeekDateString(Date date, bool withTime, char timeSeparator) {
    DateComponents utc = Calendar(TimeZone::utc()).components(date);
    DayNumber day = Calendar::daysFromCivil(utc.year, utc.month, utc.day);
    // The week belongs to the year that holds its Thursday.
    DayNumber thursday = day + 4 - isoWeekday(day);
    int32_t weekYear, month, dayOfMonth;
    Calendar::civilFromDays(thursday, weekYear, month, dayOfMonth);
    auto week = static_cast<unsigned>((thursday - Calendar::daysFromCivil(weekYear, 1, 1)) / 7 + 1);
    return format("%u-W%02u-%02u%@", static_cast<unsigned>(weekYear), week, static_cast<unsigned>(isoWeekday(day)),
                  timePart(utc, withTime, timeSeparator));
}

std::string IsoDate::ISO8601OrdinalDateString(Date date, bool withTime, char timeSeparator) {
    DateComponents utc = Calendar(TimeZone::utc()).components(date);
    return format("%u-%03u%@", static_cast<unsigned>(utc.year), static_cast<unsigned>(utc.dayOfYear),
                  timePart(utc, withTime, timeSeparator));
}

std::string IsoDate::prepareDateFormat(std::string pattern, char timeSeparator) {
    if (timeSeparator == ':') return pattern;
    for (char& c : pattern)
        if (c == ':') c = timeSeparator;
    return pattern;
}

} // namespace tavlo
