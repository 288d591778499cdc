#include "platform/store/TextMatch.h"

#include <string>

namespace tavlo {

namespace {

// Decodes UTF-8 (invalid bytes stand for themselves) and folds as asked.
std::u32string fold(std::string_view s, TextOptions o) {
    std::u32string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        char32_t cp = c;
        size_t len = 1;
        if (c >= 0xC0 && c < 0xE0 && i + 1 < s.size()) {
            cp = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
            len = 2;
        } else if (c >= 0xE0 && c < 0xF0 && i + 2 < s.size()) {
            cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
            len = 3;
        } else if (c >= 0xF0 && i + 3 < s.size()) {
            cp = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) | (s[i + 3] & 0x3F);
            len = 4;
        }
        i += len;
        if (o.diacriticInsensitive) {
            if (cp >= 0x300 && cp <= 0x36F) continue; // combining marks
            // Latin-1 letters with marks, mapped to their base letter.
            static const char* latin1 = "AAAAAAACEEEEIIIIDNOOOOO*OUUUUYTsaaaaaaaceeeeiiiidnooooo/ouuuuyty";
            if (cp >= 0xC0 && cp <= 0xFF) {
                char b = latin1[cp - 0xC0];
                if (b != '*' && b != '/' && b != 'T' && b != 't' && b != 's') cp = static_cast<unsigned char>(b);
            } else if (cp >= 0x100 && cp <= 0x17F) {
                static const char* extA =
                    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiJjJjKkkLlLlLlLlLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
                cp = static_cast<unsigned char>(extA[cp - 0x100]);
            }
        }
        if (o.caseInsensitive) {
            if (cp >= 'A' && cp <= 'Z') cp += 32;
            else if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) cp += 32;
            else if ((cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E)) cp += cp % 2;
            else if (((cp >= 0x100 && cp <= 0x137) || (cp >= 0x14A && cp <= 0x177)) && cp % 2 == 0) cp += 1;
        }
        out.push_back(cp);
    }
    return out;
}

bool wildcard(const std::u32string& t, const std::u32string& p) {
    size_t ti = 0, pi = 0, star = std::u32string::npos, mark = 0;
    while (ti < t.size()) {
        if (pi < p.size() && (p[pi] == U'?' || p[pi] == t[ti])) {
            ++ti;
            ++pi;
        } else if (pi < p.size() && p[pi] == U'*') {
            star = pi++;
            mark = ti;
        } else if (star != std::u32string::npos) {
            pi = star + 1;
            ti = ++mark;
        } else return false;
    }
    while (pi < p.size() && p[pi] == U'*') ++pi;
    return pi == p.size();
}

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// ASCII texts have no marks to fold: their case is folded byte by byte, without copies (a list's
// search compares every row this way).
bool asciiMatches(TextOperator op, std::string_view t, std::string_view p) {
    auto same = [](std::string_view a, std::string_view b) {
        for (size_t i = 0; i < a.size(); ++i)
            if (lower(a[i]) != lower(b[i])) return false;
        return true;
    };
    switch (op) {
    case TextOperator::Contains:
        if (p.size() > t.size()) return false;
        for (size_t at = 0; at + p.size() <= t.size(); ++at)
            if (same(t.substr(at, p.size()), p)) return true;
        return false;
    case TextOperator::BeginsWith: return t.size() >= p.size() && same(t.substr(0, p.size()), p);
    case TextOperator::EndsWith: return t.size() >= p.size() && same(t.substr(t.size() - p.size()), p);
    case TextOperator::Equal: return t.size() == p.size() && same(t, p);
    case TextOperator::Like: break;
    }
    return false;
}

} // namespace

bool textMatches(TextOperator op, std::string_view text, std::string_view pattern, TextOptions options) {
    if (!options.caseInsensitive && !options.diacriticInsensitive) {
        switch (op) {
        case TextOperator::Contains: return text.find(pattern) != std::string_view::npos;
        case TextOperator::BeginsWith: return text.substr(0, pattern.size()) == pattern;
        case TextOperator::EndsWith:
            return text.size() >= pattern.size() && text.substr(text.size() - pattern.size()) == pattern;
        case TextOperator::Equal: return text == pattern;
        case TextOperator::Like: break;
        }
    }
    if (op != TextOperator::Like && isAscii(text) && isAscii(pattern)) {
        if (options.caseInsensitive) return asciiMatches(op, text, pattern);
        return textMatches(op, text, pattern, TextOptions{});
    }
    std::u32string t = fold(text, options), p = fold(pattern, options);
    switch (op) {
    case TextOperator::Like: return wildcard(t, p);
    case TextOperator::Contains: return t.find(p) != std::u32string::npos;
    case TextOperator::BeginsWith: return t.compare(0, p.size(), p) == 0 && t.size() >= p.size();
    case TextOperator::EndsWith: return t.size() >= p.size() && t.compare(t.size() - p.size(), p.size(), p) == 0;
    case TextOperator::Equal: return t == p;
    }
    return false;
}

} // namespace tavlo
