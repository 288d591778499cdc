#include "EscPosDecoder.h"

#include "core/ports/PrinterStream.h"
#include "platform/graphics/PixelImage.h"

namespace tavlo::printersim {

namespace {

constexpr char ESC = 0x1B, GS = 0x1D, LF = 0x0A;

class Reader {
public:
    explicit Reader(const std::string& bytes) : b_(bytes) {}
    bool done() const { return i_ >= b_.size(); }
    bool has(size_t n) const { return i_ + n <= b_.size(); }
    int peek(size_t ahead = 0) const { return has(ahead + 1) ? static_cast<unsigned char>(b_[i_ + ahead]) : -1; }
    int next() { return static_cast<unsigned char>(b_[i_++]); }
    bool startsWith(std::initializer_list<int> values) const {
        size_t k = 0;
        for (int v : values)
            if (peek(k++) != v) return false;
        return true;
    }
    void skip(size_t n) { i_ += n; }
    size_t at() const { return i_; }

private:
    const std::string& b_;
    size_t i_ = 0;
};

} // namespace

bool decodeEscPos(const std::string& bytes, PrinterStream& s, std::string* why) {
    Reader r(bytes);
    std::string text;
    auto fail = [&](const std::string& what) {
        if (why) *why = what + " at byte " + std::to_string(r.at());
        return false;
    };
    while (!r.done()) {
        const int c = r.next();
        if (c == LF) {
            if (text.empty()) s.writeLine();
            else s.writeLine(text);
            text.clear();
            continue;
        }
        if (c != ESC && c != GS) {
            text += static_cast<char>(c);
            continue;
        }
        if (!text.empty()) return fail("a command inside a line of text");
        if (!r.has(1)) return fail("a command cut short");
        const int n = r.next();
        if (c == GS) {
            if (n == 'V' && r.startsWith({0, LF})) {
                r.skip(2);
                continue; // a cut without a feed before it: nothing the layout asks for
            }
            return fail("an unknown GS command");
        }
        auto argument = [&]() { return r.has(1) ? r.next() : -1; };
        switch (n) {
        case '@': s.reset(); break;
        case '!': s.setFontAttribute(argument()); break;
        case 'a': s.setJustification(argument()); break;
        case 'M': s.setFont(argument()); break;
        case 'E': s.setEmphasized(argument() != 0); break;
        case '-': s.setUnderline(argument() != 0); break;
        case 'T': s.setReversePrint(argument() != 0); break;
        case 'r': s.setColor(argument()); break;
        case 'R': s.setCharacterSet(argument()); break;
        case 't': s.setCodeTable(argument()); break;
        case 'd': {
            const int lines = argument();
            const bool cut = r.startsWith({GS, 'V', 0, LF});
            if (cut) r.skip(4);
            s.feed(lines, cut);
            break;
        }
        case 'p': {
            std::string pin;
            while (!r.done() && r.peek() != 0xFF) pin += static_cast<char>(r.next());
            if (!r.startsWith({0xFF, 0xFF})) return fail("a drawer pulse without its times");
            r.skip(2);
            s.openDrawer(std::stoi(pin));
            break;
        }
        case '3': {
            // A picture: line spacing 24, bands of ESC * 33, the text spacing back.
            if (argument() != 24) return fail("a line spacing outside a picture");
            int width = 0, bands = 0;
            while (r.startsWith({ESC, '*', 33})) {
                r.skip(3);
                width = r.next();
                width += 256 * r.next();
                if (!r.has(static_cast<size_t>(3 * width) + 1)) return fail("a picture band cut short");
                r.skip(static_cast<size_t>(3 * width));
                if (r.next() != LF) return fail("a picture band without its line feed");
                ++bands;
            }
            if (!r.startsWith({ESC, '3', 30})) return fail("a picture without its end");
            r.skip(3);
            s.writeImage(PixelImage(width, 24 * bands));
            break;
        }
        default: return fail("an unknown ESC command");
        }
    }
    if (!text.empty()) return fail("text without its line feed");
    return true;
}

} // namespace tavlo::printersim
