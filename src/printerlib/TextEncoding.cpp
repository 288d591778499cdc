#include "printerlib/TextEncoding.h"

#include <cerrno>
#include <iconv.h>
#include <map>
#include <mutex>
#include <unordered_map>

namespace tavlo::printerlib {

namespace {

const char* charsetName(unsigned long encoding) {
    switch (encoding) {
    case StringEncodingASCII: return "ASCII";
    case StringEncodingUTF8: return "UTF-8";
    case StringEncodingISOLatin1: return "ISO-8859-1";
    case StringEncodingWindowsLatin1: return "CP1252";
    case StringEncodingDOSKorean: return "CP949";
    default: return nullptr;
    }
}

std::optional<std::string> convert(std::string_view input, const char* to, const char* from) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(input.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char* written = out.data();
    size_t outLeft = out.size();
    size_t result = iconv(converter, &in, &inLeft, &written, &outLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

// The byte a code page writes each character with, learnt once by reading its 256 bytes.
using ReverseTable = std::unordered_map<char32_t, uint8_t>;

const ReverseTable& reverseTable(const char* charset) {
    static std::mutex mutex;
    static std::map<std::string, ReverseTable> tables;
    std::lock_guard lock(mutex);
    auto [found, made] = tables.try_emplace(charset);
    if (made) {
        for (int byte = 0; byte < 256; ++byte) {
            char one = static_cast<char>(byte);
            auto utf32 = convert(std::string_view(&one, 1), "UTF-32LE", charset);
            if (!utf32 || utf32->size() != 4) continue;
            char32_t ch = static_cast<unsigned char>((*utf32)[0]) | static_cast<unsigned char>((*utf32)[1]) << 8 |
                          static_cast<unsigned char>((*utf32)[2]) << 16 |
                          static_cast<char32_t>(static_cast<unsigned char>((*utf32)[3])) << 24;
            found->second.try_emplace(ch, static_cast<uint8_t>(byte));
        }
    }
    return found->second;
}

// The text's characters; an undecodable byte is U+FFFD.
std::vector<char32_t> characters(std::string_view utf8) {
    std::vector<char32_t> out;
    size_t at = 0;
    while (at < utf8.size()) {
        unsigned char lead = static_cast<unsigned char>(utf8[at]);
        size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        char32_t ch = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length != 0 && at + length <= utf8.size();
        for (size_t i = 1; valid && i < length; ++i) {
            unsigned char next = static_cast<unsigned char>(utf8[at + i]);
            valid = (next & 0xC0) == 0x80;
            ch = (ch << 6) | (next & 0x3F);
        }
        out.push_back(valid ? ch : U'\uFFFD');
        at += valid ? length : 1;
    }
    return out;
}

} // namespace

std::optional<std::string> encodeText(std::string_view utf8, unsigned long encoding) {
    const char* charset = charsetName(encoding);
    if (!charset) return std::nullopt;
    return convert(utf8, charset, "UTF-8");
}

const std::vector<CodePage>& printerCodePages() {
    static const std::vector<CodePage> pages{
        {0, "CP437"},   {16, "CP1252"}, {2, "CP850"},   {19, "CP858"},  {18, "CP852"}, {45, "CP1250"}, {17, "CP866"},
        {46, "CP1251"}, {47, "CP1253"}, {48, "CP1254"}, {51, "CP1257"}, {3, "CP860"},  {4, "CP863"},   {5, "CP865"},
    };
    return pages;
}

CodePageText encodeForCodePages(std::string_view utf8, const std::vector<CodePage>& pages) {
    const std::vector<char32_t> text = characters(utf8);
    CodePageText best;
    bool found = false;
    for (const CodePage& page : pages) {
        const ReverseTable& table = reverseTable(page.charset);
        CodePageText candidate{page.table, {}, 0};
        candidate.bytes.reserve(text.size());
        for (char32_t ch : text) {
            auto byte = table.find(ch);
            if (byte == table.end()) {
                candidate.bytes += '?';
                ++candidate.replaced;
            } else {
                candidate.bytes += static_cast<char>(byte->second);
            }
        }
        if (!found || candidate.replaced < best.replaced) {
            best = std::move(candidate);
            found = true;
        }
        if (best.replaced == 0) break;
    }
    if (!found) {
        // No code page at all: plain ASCII, the rest as '?'.
        for (char32_t ch : text) {
            best.bytes += ch < 0x80 ? static_cast<char>(ch) : '?';
            best.replaced += ch < 0x80 ? 0 : 1;
        }
    }
    return best;
}

} // namespace tavlo::printerlib
