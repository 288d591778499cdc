#include "core/order/CreditCardSwipe.h"

#include "core/util/TavloLog.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Text.h"

#include <algorithm>
#include <cctype>
#include <ctime>

namespace tavlo {

namespace {

constexpr char kSTX = 0x02;
constexpr char kETX = 0x03;
constexpr char kESC = 0x1B;
// Characters after the field separator: expiry (yymm) then service code.
constexpr size_t kExpiryLength = 4;
constexpr size_t kServiceCodeLength = 3;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view text) { return std::all_of(text.begin(), text.end(), isDigit); }

// The number when it has one of the given lengths, else null.
const std::string* ofLength(const CreditCardSwipe::Text& number, std::initializer_list<size_t> lengths) {
    if (!number) return nullptr;
    for (size_t n : lengths)
        if (number->size() == n) return &*number;
    return nullptr;
}

bool digitIn(char c, char low, char high) { return c >= low && c <= high; }

// Swipe text as the log may show it: the sentinels and separators that give it its shape, every
// other character (number, name, expiry, whatever the reader sent) as '*'. Card data never
// reaches the log, whatever the debug setting.
std::string shapeOf(std::string_view text, char trackSeparator) {
    constexpr std::string_view kStructure = "%;!#+?=^|";
    std::string shape(text);
    for (char& c : shape) {
        bool structure = kStructure.find(c) != std::string_view::npos ||
                         (c == trackSeparator && std::ispunct(static_cast<unsigned char>(c)));
        if (!structure) c = '*';
    }
    return shape;
}

} // namespace

CreditCardSwipe::CreditCardSwipe(Text data, char trackSeparator, bool debug)
    : rawData_(std::move(data)), trackSeparator_(trackSeparator), debug_(debug) {
    parse();
}

void CreditCardSwipe::setData(Text data) {
    clear();
    rawData_ = std::move(data);
    parse();
}

void CreditCardSwipe::clear() {
    rawData_.reset();
    track1_.reset();
    track2_.reset();
    track3_.reset();
    accountName_.reset();
    accountNumber_.reset();
    expDate_.reset();
    serviceCode_.reset();
    // A reused object must not keep the previous card's encrypted data.
    trailingData_.reset();
    hadError_ = false;
}

size_t CreditCardSwipe::readTrack(size_t pos, Text& track, int number) {
    const std::string& raw = *rawData_;
    if (pos + 1 >= raw.size()) return raw.size(); // a start sentinel at the very end holds nothing
    size_t end = raw.find('?', pos + 1);
    track = raw.substr(pos + 1, end == std::string::npos ? std::string::npos : end - pos - 1);
    // No end sentinel, or the reader's own error mark in place of the track.
    if (end == std::string::npos || *track == "E") {
        hadError_ = true;
        TAVLO_LOG("Track data error or End sentinel missing while parsing track %d, found: %@", number,
                  shapeOf(*track, trackSeparator_));
    }
    return end == std::string::npos ? raw.size() : end + 1;
}

void CreditCardSwipe::parse() {
    if (!rawData_) {
        TAVLO_LOG("No data to parse");
        return;
    }
    const std::string& raw = *rawData_;
    if (debug_) TAVLO_LOG("<%@>", shapeOf(raw, trackSeparator_));
    size_t i = 0;
    bool endedByBar = false;
    while (i < raw.size() && !hadError_ && !endedByBar) {
        char c = raw[i];
        switch (c) {
        case kSTX:
        case kETX:
        case '\n':
        case '\r':
        case kESC: ++i; break;
        case '%': i = readTrack(i, track1_, 1); break;
        case ';': i = readTrack(i, track2_, 2); break;
        case '!':
        case '#':
        case '+': i = readTrack(i, track3_, 3); break;
        case '|':
            ++i;
            endedByBar = true;
            break;
        case 'E': // the reader's error mark
            hadError_ = true;
            ++i;
            TAVLO_LOG("Error reading track data, received E");
            break;
        default:
            if (c == trackSeparator_) {
                ++i;
                break;
            }
            hadError_ = true;
            ++i;
            TAVLO_LOG("Unexpected parsed data, found: %@", shapeOf(std::string_view(&c, 1), trackSeparator_));
            break;
        }
    }
    if (track2_) parseTrack2(track2_);
    if (track1_) parseTrack1(track1_);
    // Encrypting readers append their data after the bar; an empty rest is no such data.
    if (endedByBar && !hadError_ && i < raw.size()) trailingData_ = raw.substr(i);
}

bool CreditCardSwipe::parseTrack2(const Text& track) {
    if (!track || startsWith(*track, "E")) return false;
    size_t separator = track->find('=');
    // Without the separator, or too short for the expiry and service code: damaged, keep nothing.
    if (separator == std::string::npos || track->size() - separator - 1 < kExpiryLength + kServiceCodeLength) {
        TAVLO_LOG("Invalid track 2 format.");
        return false;
    }
    std::string_view fields = std::string_view(*track).substr(separator + 1);
    accountNumber_ = cleanAccountNumber(std::string_view(*track).substr(0, separator));
    expDate_ = std::string(fields.substr(0, kExpiryLength));
    serviceCode_ = std::string(fields.substr(kExpiryLength, kServiceCodeLength));
    return true;
}

bool CreditCardSwipe::parseTrack1(const Text& track) {
    if (!track || track->size() < 2) return false; // nothing after the format code
    std::string_view rest = std::string_view(*track).substr(1);
    if (rest.front() == 'E') return false;
    size_t first = rest.find('^');
    size_t second = first == std::string_view::npos ? first : rest.find('^', first + 1);
    // Without both separators, or too short for the expiry and service code: keep nothing.
    if (second == std::string_view::npos || rest.size() - second - 1 < kExpiryLength + kServiceCodeLength) {
        TAVLO_LOG("Invalid track 1 format.");
        return false;
    }
    std::string_view fields = rest.substr(second + 1);
    accountNumber_ = cleanAccountNumber(rest.substr(0, first));
    accountName_ = std::string(rest.substr(first + 1, second - first - 1));
    expDate_ = std::string(fields.substr(0, kExpiryLength));
    serviceCode_ = std::string(fields.substr(kExpiryLength, kServiceCodeLength));
    return true;
}

std::string CreditCardSwipe::cleanAccountNumber(std::string_view text) {
    std::string digits;
    for (char c : text)
        if (isDigit(c)) digits += c;
    return digits;
}

int8_t CreditCardSwipe::getLRC(std::span<const uint8_t> bytes, int offset, int length) {
    if (length < 1 || offset < 0 || static_cast<size_t>(offset) + static_cast<size_t>(length) > bytes.size()) return 0;
    uint8_t lrc = 0;
    for (uint8_t b : bytes.subspan(static_cast<size_t>(offset), static_cast<size_t>(length))) lrc ^= b;
    return static_cast<int8_t>(lrc);
}

bool CreditCardSwipe::isVISA(const Text& number) {
    const std::string* n = ofLength(number, {13, 16});
    return n && (*n)[0] == '4';
}

bool CreditCardSwipe::isMasterCard(const Text& number) {
    const std::string* n = ofLength(number, {16});
    return n && (*n)[0] == '5' && digitIn((*n)[1], '1', '5');
}

bool CreditCardSwipe::isAMEX(const Text& number) {
    const std::string* n = ofLength(number, {15});
    return n && (startsWith(*n, "34") || startsWith(*n, "37"));
}

bool CreditCardSwipe::isDiscover(const Text& number) {
    const std::string* n = ofLength(number, {16});
    return n && (startsWith(*n, "62") || startsWith(*n, "64") || startsWith(*n, "65") || startsWith(*n, "6011"));
}

bool CreditCardSwipe::isDiners(const Text& number) {
    const std::string* n = ofLength(number, {14});
    if (!n) return false;
    char third = (*n)[2];
    return (startsWith(*n, "30") && digitIn(third, '0', '9')) || (startsWith(*n, "36") && digitIn(third, '0', '9')) ||
           (startsWith(*n, "38") && digitIn(third, '0', '8'));
}

bool CreditCardSwipe::isCarteBlanche(const Text& number) {
    const std::string* n = ofLength(number, {14});
    return n && startsWith(*n, "389");
}

bool CreditCardSwipe::isJCB(const Text& number) {
    const std::string* n = ofLength(number, {16});
    if (!n || !allDigits(std::string_view(*n).substr(0, 6))) return false;
    int prefix = std::stoi(n->substr(0, 6));
    return prefix >= 352800 && prefix < 352800 + 6199;
}

bool CreditCardSwipe::isMOD10(const Text& number) {
    if (!number) return false;
    int sum = 0;
    bool doubled = false;
    for (auto it = number->rbegin(); it != number->rend(); ++it) {
        int digit = isDigit(*it) ? *it - '0' : 0;
        if (doubled) {
            digit *= 2;
            if (digit > 9) digit -= 9;
        }
        sum += digit;
        doubled = !doubled;
    }
    return sum % 10 == 0;
}

bool CreditCardSwipe::isValid(const Text& number) {
    // A number with anything but digits is not a card number, whatever its checksum says.
    if (!number || !allDigits(*number) || !isMOD10(number)) return false;
    return isVISA(number) || isMasterCard(number) || isAMEX(number) || isDiscover(number) || isCarteBlanche(number) ||
           isJCB(number) || isDiners(number);
}

bool CreditCardSwipe::isExpired(const Text& expiry) {
    // An expiry that cannot be read cannot be shown to lie ahead: treat it as expired.
    if (!expiry) return true;
    std::string text = trim(*expiry);
    if (text.size() != 4 || !allDigits(text)) return true;
    int month = (text[0] - '0') * 10 + (text[1] - '0');
    int year = 2000 + (text[2] - '0') * 10 + (text[3] - '0');
    if (month < 1 || month > 12) return true;

    std::time_t now = static_cast<std::time_t>(Date::now().wholeSeconds());
    std::tm local{};
    localtime_r(&now, &local);
    int currentYear = local.tm_year + 1900;
    int currentMonth = local.tm_mon + 1;
    return year * 12 + month < currentYear * 12 + currentMonth;
}

std::string CreditCardSwipe::getCardLabel(const Text& number) {
    if (isVISA(number)) return "visa";
    if (isMasterCard(number)) return "mc";
    if (isAMEX(number)) return "amex";
    if (isDiscover(number)) return "discover";
    if (isDiners(number)) return "diners";
    if (isCarteBlanche(number)) return "carteBlanche";
    if (isJCB(number)) return "jcb";
    return "other";
}

} // namespace tavlo
