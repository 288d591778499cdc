#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tavlo {

// One argument of format(): a number, a text, a pointer or nil.
class FormatArg {
public:
    enum class Kind { Nil, Signed, Unsigned, Floating, Text, Pointer };

    FormatArg() = default; // nil
    FormatArg(std::nullptr_t) {}
    FormatArg(bool v) : kind_(Kind::Signed), i_(v ? 1 : 0) {}
    FormatArg(char v) : kind_(Kind::Signed), i_(v) {}
    template <std::signed_integral T> FormatArg(T v) : kind_(Kind::Signed), i_(v) {}
    template <std::unsigned_integral T> FormatArg(T v) : kind_(Kind::Unsigned), u_(v) {}
    template <std::floating_point T> FormatArg(T v) : kind_(Kind::Floating), d_(v) {}
    FormatArg(const char* v) : kind_(v ? Kind::Text : Kind::Nil), s_(v ? v : "") {}
    FormatArg(std::string v) : kind_(Kind::Text), s_(std::move(v)) {}
    FormatArg(std::string_view v) : kind_(Kind::Text), s_(v) {}
    FormatArg(const void* v) : kind_(Kind::Pointer), p_(v) {}
    template <typename T> FormatArg(const std::optional<T>& v) {
        if (v) *this = FormatArg(*v);
    }
    // Anything with a text form: `std::string description() const`.
    template <typename T>
    requires requires(const T& t) {
        { t.description() } -> std::convertible_to<std::string>;
    }
    FormatArg(const T& v) : kind_(Kind::Text), s_(v.description()) {}

    Kind kind() const { return kind_; }
    int64_t asSigned() const;
    uint64_t asUnsigned() const;
    double asDouble() const;
    // The value's text form, as %@ prints it ("(null)" for nil).
    std::string describe() const;

private:
    Kind kind_ = Kind::Nil;
    int64_t i_ = 0;
    uint64_t u_ = 0;
    double d_ = 0;
    std::string s_;
    const void* p_ = nullptr;
};

// printf-style formatting with the conversions the system uses: %@ (any value's text), %d %i %u
// %ld %lu %lld %llu %hu %x %X %s %p %f %c %%, with flags, width and precision.
std::string formatArgs(std::string_view fmt, const std::vector<FormatArg>& args);

template <typename... Args> std::string format(std::string_view fmt, const Args&... args) {
    return formatArgs(fmt, std::vector<FormatArg>{FormatArg(args)...});
}

// Readings of a text as the platform reads them: leading blanks skipped, an optional sign, digits
// up to the first other character; nothing readable gives 0. Overflow saturates.
int32_t intValue(std::string_view text);
int64_t longLongValue(std::string_view text);
double doubleValue(std::string_view text);
// YES for "Y", "y", "T", "t" or a digit 1-9 after blanks, an optional sign and leading zeros.
bool boolValue(std::string_view text);

inline int32_t intValue(const std::string& t) { return intValue(std::string_view(t)); }
inline int64_t longLongValue(const std::string& t) { return longLongValue(std::string_view(t)); }
inline double doubleValue(const std::string& t) { return doubleValue(std::string_view(t)); }
inline bool boolValue(const std::string& t) { return boolValue(std::string_view(t)); }
inline int32_t intValue(const char* t) { return t ? intValue(std::string_view(t)) : 0; }
inline int64_t longLongValue(const char* t) { return t ? longLongValue(std::string_view(t)) : 0; }
inline double doubleValue(const char* t) { return t ? doubleValue(std::string_view(t)) : 0.0; }
inline bool boolValue(const char* t) { return t && boolValue(std::string_view(t)); }
// nil reads as 0 / NO
inline int32_t intValue(const std::optional<std::string>& t) { return t ? intValue(*t) : 0; }
inline int64_t longLongValue(const std::optional<std::string>& t) { return t ? longLongValue(*t) : 0; }
inline double doubleValue(const std::optional<std::string>& t) { return t ? doubleValue(*t) : 0.0; }
inline bool boolValue(const std::optional<std::string>& t) { return t && boolValue(*t); }

// Small text helpers used everywhere.
bool startsWith(std::string_view text, std::string_view prefix);
bool endsWith(std::string_view text, std::string_view suffix);
std::string trim(std::string_view text);
// The same in place, without a copy of a large text.
void trimInPlace(std::string& text);
std::string toUpper(std::string_view text);
// Lengths and cuts of UTF-8 text in characters (code points), as names are counted on screen.
size_t characterCount(std::string_view text);
// The first `count` characters (all of a shorter text).
std::string characterPrefix(std::string_view text, size_t count);
std::string toLower(std::string_view text);
// ASCII letters compared without case.
bool equalsNoCase(std::string_view a, std::string_view b);
bool containsNoCase(std::string_view text, std::string_view part);
std::vector<std::string> split(std::string_view text, std::string_view separator);
std::string join(const std::vector<std::string>& parts, std::string_view separator);
std::string replaceAll(std::string text, std::string_view from, std::string_view to);
// Every byte but A-Z a-z 0-9 - . _ ~ as %XX: the value can never add or end a query or form field.
std::string percentEncode(std::string_view value);
// An address with what may not stand in it (spaces, quotes, bytes beyond ASCII) escaped and its
// structure (scheme, host, port, path, query) left as it is.
std::string percentEncodeURL(std::string_view url);
// Two lower-case hex digits per byte.
std::string hexEncode(std::string_view bytes);

} // namespace tavlo
