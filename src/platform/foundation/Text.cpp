#include "platform/foundation/Text.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace tavlo {

int64_t FormatArg::asSigned() const {
    switch (kind_) {
    case Kind::Signed: return i_;
    case Kind::Unsigned: return static_cast<int64_t>(u_);
    case Kind::Floating: return static_cast<int64_t>(d_);
    case Kind::Text: return longLongValue(s_);
    case Kind::Pointer: return static_cast<int64_t>(reinterpret_cast<uintptr_t>(p_));
    case Kind::Nil: break;
    }
    return 0;
}

uint64_t FormatArg::asUnsigned() const {
    if (kind_ == Kind::Unsigned) return u_;
    return static_cast<uint64_t>(asSigned());
}

double FormatArg::asDouble() const {
    switch (kind_) {
    case Kind::Floating: return d_;
    case Kind::Signed: return static_cast<double>(i_);
    case Kind::Unsigned: return static_cast<double>(u_);
    case Kind::Text: return doubleValue(s_);
    default: return 0;
    }
}

std::string FormatArg::describe() const {
    switch (kind_) {
    case Kind::Nil: return "(null)";
    case Kind::Signed: return std::to_string(i_);
    case Kind::Unsigned: return std::to_string(u_);
    case Kind::Floating: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%g", d_);
        return buf;
    }
    case Kind::Text: return s_;
    case Kind::Pointer: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%p", p_);
        return buf;
    }
    }
    return {};
}

namespace {

std::string printfOne(const std::string& directive, auto value) {
    int n = std::snprintf(nullptr, 0, directive.c_str(), value);
    if (n < 0) return {};
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), directive.c_str(), value);
    out.resize(static_cast<size_t>(n));
    return out;
}

} // namespace

std::string formatArgs(std::string_view fmt, const std::vector<FormatArg>& args) {
    std::string out;
    out.reserve(fmt.size() + 16 * args.size());
    size_t next = 0;
    auto take = [&]() -> FormatArg { return next < args.size() ? args[next++] : FormatArg(); };
    for (size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c != '%') {
            out += c;
            continue;
        }
        size_t start = i++;
        if (i >= fmt.size()) {
            out += '%';
            break;
        }
        if (fmt[i] == '%') {
            out += '%';
            continue;
        }
        // flags, width, precision
        std::string flags;
        while (i < fmt.size() && std::string_view("-+ #0").find(fmt[i]) != std::string_view::npos) flags += fmt[i++];
        std::string width;
        if (i < fmt.size() && fmt[i] == '*') {
            width = std::to_string(take().asSigned());
            ++i;
        }
        while (i < fmt.size() && std::isdigit(static_cast<unsigned char>(fmt[i]))) width += fmt[i++];
        std::string precision;
        if (i < fmt.size() && fmt[i] == '.') {
            precision = ".";
            ++i;
            while (i < fmt.size() && std::isdigit(static_cast<unsigned char>(fmt[i]))) precision += fmt[i++];
        }
        // length modifiers are accepted and ignored: every integer is formatted as 64-bit
        while (i < fmt.size() && std::string_view("hlqLzjt").find(fmt[i]) != std::string_view::npos) ++i;
        if (i >= fmt.size()) {
            out.append(fmt.substr(start));
            break;
        }
        char conv = fmt[i];
        std::string directive = "%" + flags + width + precision;
        switch (conv) {
        case '@': {
            std::string text = take().describe();
            out += printfOne(directive + "s", text.c_str());
            break;
        }
        case 'd':
        case 'i': out += printfOne(directive + "lld", static_cast<long long>(take().asSigned())); break;
        case 'u': out += printfOne(directive + "llu", static_cast<unsigned long long>(take().asUnsigned())); break;
        case 'x':
        case 'X':
        case 'o':
            out += printfOne(directive + "ll" + conv, static_cast<unsigned long long>(take().asUnsigned()));
            break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G': out += printfOne(directive + conv, take().asDouble()); break;
        case 'c': out += static_cast<char>(take().asSigned()); break;
        case 's': {
            FormatArg a = take();
            std::string text = a.kind() == FormatArg::Kind::Nil ? "(null)" : a.describe();
            out += printfOne(directive + "s", text.c_str());
            break;
        }
        case 'p': {
            FormatArg a = take();
            out += a.kind() == FormatArg::Kind::Pointer
                       ? a.describe()
                       : printfOne("0x%llx", static_cast<unsigned long long>(a.asUnsigned()));
            break;
        }
        default: out.append(fmt.substr(start, i - start + 1)); break;
        }
    }
    return out;
}

namespace {

// Skips blanks and a sign; answers the position of the first digit and whether it was negative.
size_t skipBlanksAndSign(std::string_view t, bool& negative) {
    size_t i = 0;
    while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i]))) ++i;
    negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    return i;
}

} // namespace

int32_t intValue(std::string_view text) {
    int64_t v = longLongValue(text);
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

int64_t longLongValue(std::string_view text) {
    bool negative;
    size_t i = skipBlanksAndSign(text, negative);
    unsigned long long value = 0;
    const unsigned long long limit = negative ? 9223372036854775808ULL : 9223372036854775807ULL;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        unsigned long long d = static_cast<unsigned long long>(text[i] - '0');
        if (value > (limit - d) / 10) return negative ? INT64_MIN : INT64_MAX;
        value = value * 10 + d;
    }
    if (negative) return value == 9223372036854775808ULL ? INT64_MIN : -static_cast<int64_t>(value);
    return static_cast<int64_t>(value);
}

double doubleValue(std::string_view text) {
    std::string copy(text);
    char* end = nullptr;
    double v = std::strtod(copy.c_str(), &end);
    return end == copy.c_str() ? 0.0 : v;
}

bool boolValue(std::string_view t) {
    size_t i = 0;
    while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i]))) ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    while (i < t.size() && t[i] == '0') ++i;
    if (i >= t.size()) return false;
    char c = t[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

namespace {

// The text's bounds without the blanks around it: first and end.
std::pair<size_t, size_t> trimmedBounds(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
    return {b, e};
}

} // namespace

std::string trim(std::string_view text) {
    auto [b, e] = trimmedBounds(text);
    return std::string(text.substr(b, e - b));
}

void trimInPlace(std::string& text) {
    auto [b, e] = trimmedBounds(text);
    text.resize(e);
    text.erase(0, b);
}

size_t characterCount(std::string_view text) {
    size_t count = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    return count;
}

std::string characterPrefix(std::string_view text, size_t count) {
    size_t end = 0, seen = 0;
    for (; end < text.size(); ++end)
        if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80 && seen++ == count) break;
    return std::string(text.substr(0, end));
}

std::string toUpper(std::string_view text) {
    std::string s(text);
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

std::string toLower(std::string_view text) {
    std::string s(text);
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool containsNoCase(std::string_view text, std::string_view part) {
    return toLower(text).find(toLower(part)) != std::string::npos;
}

std::vector<std::string> split(std::string_view text, std::string_view separator) {
    std::vector<std::string> parts;
    if (separator.empty()) {
        parts.emplace_back(text);
        return parts;
    }
    size_t pos = 0;
    while (true) {
        size_t hit = text.find(separator, pos);
        if (hit == std::string_view::npos) {
            parts.emplace_back(text.substr(pos));
            return parts;
        }
        parts.emplace_back(text.substr(pos, hit - pos));
        pos = hit + separator.size();
    }
}

std::string join(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += separator;
        out += parts[i];
    }
    return out;
}

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    if (from.empty()) return text;
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
    return text;
}

namespace {

// Every byte that `keep` refuses becomes %XX.
template <typename Keep> std::string percentEncodeExcept(std::string_view value, Keep keep) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : value) {
        if (keep(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    return out;
}

} // namespace

std::string percentEncode(std::string_view value) {
    return percentEncodeExcept(value, [](unsigned char c) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        return plain || c == '-' || c == '.' || c == '_' || c == '~';
    });
}

std::string percentEncodeURL(std::string_view url) {
    constexpr std::string_view unsafe = "\"<>\\^`{|}";
    return percentEncodeExcept(url, [unsafe](unsigned char c) {
        return c > 0x20 && c < 0x7F && unsafe.find(static_cast<char>(c)) == std::string_view::npos;
    });
}

std::string hexEncode(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

} // namespace tavlo
