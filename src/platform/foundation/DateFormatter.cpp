#include "platform/foundation/DateFormatter.h"

#include "platform/foundation/Calendar.h"
#include "platform/foundation/Text.h"

#include <cctype>
#include <cmath>

namespace tavlo {

namespace {

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char* const kWeekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isNumericField(char letter, int count) {
    switch (letter) {
    case 'y':
    case 'd':
    case 'H':
    case 'h':
    case 'm':
    case 's':
    case 'S': return true;
    case 'M': return count <= 2;
    default: return false;
    }
}

std::string padded(int64_t value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

bool startsWithNoCase(std::string_view text, std::string_view word) {
    return text.size() >= word.size() && equalsNoCase(text.substr(0, word.size()), word);
}

// Index of the name (full first, then its first three letters) the text starts with; -1 if none.
int matchName(std::string_view text, const char* const* names, int count, size_t& length) {
    for (int full = 1; full >= 0; --full) {
        for (int i = 0; i < count; ++i) {
            std::string_view name = full ? std::string_view(names[i]) : std::string_view(names[i], 3);
            if (startsWithNoCase(text, name)) {
                length = name.size();
                return i;
            }
        }
    }
    return -1;
}

} // namespace

DateFormatter::DateFormatter(std::string pattern, TimeZone zone) : zone_(zone) { setDateFormat(std::move(pattern)); }

void DateFormatter::setDateFormat(std::string pattern) {
    pattern_ = std::move(pattern);
    tokens_ = tokenize(pattern_);
}

std::vector<DateFormatter::Token> DateFormatter::tokenize(std::string_view p) {
    std::vector<Token> tokens;
    auto literal = [&](std::string_view text) {
        if (tokens.empty() || tokens.back().letter) tokens.push_back({0, 0, ""});
        tokens.back().text += text;
    };
    for (size_t i = 0; i < p.size();) {
        char c = p[i];
        if (c == '\'') {
            if (i + 1 < p.size() && p[i + 1] == '\'') {
                literal("'");
                i += 2;
                continue;
            }
            size_t j = i + 1;
            std::string text;
            while (j < p.size()) {
                if (p[j] == '\'') {
                    if (j + 1 < p.size() && p[j + 1] == '\'') {
                        text += '\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                text += p[j++];
            }
            literal(text);
            i = j + 1;
        } else if (isLetter(c)) {
            size_t j = i;
            while (j < p.size() && p[j] == c) ++j;
            tokens.push_back({c, static_cast<int>(j - i), ""});
            i = j;
        } else {
            literal(std::string_view(&p[i], 1));
            ++i;
        }
    }
    return tokens;
}

std::string DateFormatter::stringFromDate(Date date) const {
    DateComponents c = Calendar(zone_).components(date);
    std::string out;
    for (const Token& t : tokens_) {
        switch (t.letter) {
        case 0: out += t.text; break;
        case 'y': out += t.count == 2 ? padded(c.year % 100, 2) : padded(c.year, t.count); break;
        case 'M':
            out += t.count >= 4   ? kMonths[c.month - 1]
                   : t.count == 3 ? std::string(kMonths[c.month - 1], 3)
                                  : padded(c.month, t.count);
            break;
        case 'd': out += padded(c.day, t.count); break;
        case 'H': out += padded(c.hour, t.count); break;
        case 'h': out += padded(c.hour % 12 == 0 ? 12 : c.hour % 12, t.count); break;
        case 'm': out += padded(c.minute, t.count); break;
        case 's': out += padded(c.second, t.count); break;
        case 'S': out += padded(static_cast<int64_t>(std::floor(c.fraction * std::pow(10.0, t.count))), t.count); break;
        case 'a': out += c.hour < 12 ? "AM" : "PM"; break;
        case 'E': out += t.count >= 4 ? kWeekdays[c.weekday - 1] : std::string(kWeekdays[c.weekday - 1], 3); break;
        default: out += std::string(t.count, t.letter);
        }
    }
    return out;
}

std::optional<Date> DateFormatter::dateFromString(std::string_view text) const {
    DateComponents c;
    std::optional<int> hour12;
    std::optional<bool> pm;
    bool twoDigitYear = false;
    size_t pos = 0;
    for (size_t k = 0; k < tokens_.size(); ++k) {
        const Token& t = tokens_[k];
        std::string_view rest = text.substr(pos);
        if (t.letter == 0) {
            if (rest.substr(0, t.text.size()) != t.text) return std::nullopt;
            pos += t.text.size();
            continue;
        }
        if (isNumericField(t.letter, t.count)) {
            // Next to another number field the width is the pattern's ("yyMMdd"); else all digits.
            bool adjacent = k + 1 < tokens_.size() && tokens_[k + 1].letter &&
                            isNumericField(tokens_[k + 1].letter, tokens_[k + 1].count);
            size_t maxDigits = adjacent ? static_cast<size_t>(t.count) : 9;
            size_t n = 0;
            while (n < rest.size() && n < maxDigits && std::isdigit(static_cast<unsigned char>(rest[n]))) ++n;
            if (n == 0 || (adjacent && n != maxDigits)) return std::nullopt;
            int value = std::stoi(std::string(rest.substr(0, n)));
            pos += n;
            switch (t.letter) {
            case 'y':
                c.year = value;
                twoDigitYear = t.count == 2 && n == 2;
                break;
            case 'M': c.month = value; break;
            case 'd': c.day = value; break;
            case 'H': c.hour = value; break;
            case 'h': hour12 = value; break;
            case 'm': c.minute = value; break;
            case 's': c.second = value; break;
            case 'S': c.fraction = value / std::pow(10.0, static_cast<double>(n)); break;
            }
            continue;
        }
        size_t length = 0;
        switch (t.letter) {
        case 'M': {
            int month = matchName(rest, kMonths, 12, length);
            if (month < 0) return std::nullopt;
            c.month = month + 1;
            break;
        }
        case 'E':
            if (matchName(rest, kWeekdays, 7, length) < 0) return std::nullopt;
            break;
        case 'a':
            if (startsWithNoCase(rest, "AM")) pm = false;
            else if (startsWithNoCase(rest, "PM")) pm = true;
            else return std::nullopt;
            length = 2;
            break;
        default:
            if (rest.substr(0, t.count) != std::string(t.count, t.letter)) return std::nullopt;
            length = t.count;
        }
        pos += length;
    }
    if (pos != text.size()) return std::nullopt;

    if (twoDigitYear) {
        int nowYear = Calendar(zone_).components(Date::now()).year;
        int year = nowYear / 100 * 100 + c.year;
        if (year >= nowYear + 20) year -= 100;
        else if (year < nowYear - 80) year += 100;
        c.year = year;
    }
    if (hour12) {
        if (*hour12 < 1 || *hour12 > 12) return std::nullopt;
        c.hour = *hour12 % 12 + (pm.value_or(false) ? 12 : 0);
    } else if (pm && c.hour < 12 && *pm) {
        c.hour += 12;
    }
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (c.month < 1 || c.month > 12 || c.day < 1 || c.day > kDays[c.month - 1] ||
        (c.month == 2 && c.day == 29 && !Calendar::isLeapYear(c.year)) || c.hour > 23 || c.minute > 59 || c.second > 59)
        return std::nullopt;
    return Calendar(zone_).dateFromComponents(c);
}

std::string DateFormatter::format(Date date, const std::string& pattern, TimeZone zone) {
    return DateFormatter(pattern, zone).stringFromDate(date);
}

} // namespace tavlo
