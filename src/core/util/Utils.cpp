#include "core/util/Utils.h"

#include "platform/foundation/Calendar.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Text.h"

namespace tavlo {

namespace {

// Byte length of the first `count` characters of a UTF-8 text (a stray byte counts as one).
size_t prefixBytes(std::string_view text, size_t count) {
    size_t i = 0;
    for (size_t n = 0; n < count && i < text.size(); ++n) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    }
    return i;
}

// Days since 1970 of the calendar day that holds `date` in the device's zone.
int64_t localDayNumber(Date date) {
    DateComponents c = Calendar().components(date);
    return Calendar::daysFromCivil(c.year, c.month, c.day);
}

} // namespace

std::string Utils::formatAmount(int64_t cents, bool currency, int decimals) {
    uint64_t magnitude = cents < 0 ? 0 - static_cast<uint64_t>(cents) : static_cast<uint64_t>(cents);
    std::string digits = std::to_string(magnitude);
    size_t places = decimals > 0 ? static_cast<size_t>(decimals) : 0;
    // At least one digit before the point: 5 with two decimals is 0.05.
    if (digits.size() <= places) digits.insert(0, places + 1 - digits.size(), '0');
    std::string text = currency ? kCurrencySymbol : "";
    text += digits.substr(0, digits.size() - places);
    if (places > 0) text += "." + digits.substr(digits.size() - places);
    return cents < 0 ? "-" + text : text;
}

int32_t Utils::parseCurrency(const std::optional<std::string>& text) {
    if (!text || text->empty()) return 0;
    std::string t = *text;
    size_t point = t.find('.');
    if (point != std::string::npos && t.size() - point - 1 > 2) t.resize(point + 3);
    std::string kept;
    for (char c : t)
        if (c != '.' && c != ',' && c != '$') kept.push_back(c);
    return intValue(kept);
}

std::string Utils::lpad(std::string_view text, char pad, unsigned length) {
    size_t count = characterCount(text);
    if (count >= length) return std::string(text.substr(0, prefixBytes(text, length)));
    return std::string(length - count, pad) + std::string(text);
}

std::string Utils::rpad(std::string_view text, char pad, unsigned length) {
    size_t count = characterCount(text);
    if (count >= length) return std::string(text.substr(0, prefixBytes(text, length)));
    return std::string(text) + std::string(length - count, pad);
}

std::string Utils::center(std::string_view text, char pad, unsigned length) {
    size_t count = characterCount(text);
    if (count >= length) return lpad(text, pad, length);
    return lpad(rpad(text, pad, static_cast<unsigned>(count + (length + 1 - count) / 2)), pad, length);
}

std::string Utils::trunc(std::string_view text, unsigned length) {
    if (characterCount(text) <= length) return std::string(text);
    // Too narrow for the ellipsis: plain cut.
    if (length < 3) return std::string(text.substr(0, prefixBytes(text, length)));
    return std::string(text.substr(0, prefixBytes(text, length - 3))) + "...";
}

int Utils::dayOfYear(Date date) { return Calendar().dayOfYear(date); }

std::string Utils::naturalStringForDate(std::optional<Date> date) {
    if (!date) return "";
    // Whole calendar days apart, so that a date a year off is not "Today" and the last day of
    // any year is "Yesterday" on the first of the next.
    int64_t days = localDayNumber(*date) - localDayNumber(Date::now());
    const char* word = nullptr;
    if (days == 0) word = "Today";
    else if (days == -1) word = "Yesterday";
    else if (days == 1) word = "Tomorrow";
    if (!word) return stringForDate(date);
    return format("%@ at %@", word, DateFormatter::format(*date, "h:mm a"));
}

std::string Utils::stringForDate(std::optional<Date> date) {
    if (!date) return "";
    return DateFormatter::format(*date, "MMM d 'at' h:mm a");
}

Error Utils::getError(std::string text, std::string domain, int code) {
    return Error(std::move(domain), code, std::move(text));
}

std::optional<std::string> Utils::unformatURL(const std::optional<std::string>& url) {
    if (!url) return url;
    std::string s = *url;
    if (startsWith(s, "http://")) s.erase(0, 7);
    else if (startsWith(s, "https://")) s.erase(0, 8);
    for (std::string_view part : {":4444", ".local"})
        if (size_t at = s.find(part); at != std::string::npos) s.erase(at, part.size());
    return s;
}

std::string Utils::byteToBinary(uint8_t byte) {
    std::string out;
    for (int bit = 7; bit >= 0; --bit) out.push_back((byte >> bit) & 1 ? '.' : ' ');
    return out;
}

std::string Utils::intToBinary(int32_t value) {
    uint32_t bits = static_cast<uint32_t>(value);
    std::string out;
    for (int bit = 31; bit >= 0; --bit) out.push_back((bits >> bit) & 1 ? '1' : '0');
    return out;
}

} // namespace tavlo
