#pragma once

#include "platform/foundation/Error.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tavlo {

class PixelImage;

// ESC/POS command bytes, appended in order to one byte string that is then sent as a whole (a
// kitchen ticket) or command by command (the receipt printer). Text goes as its UTF-8 bytes.
class EscPosCommands {
public:
    static constexpr char ESC = 0x1B, GS = 0x1D, LF = 0x0A;

    // ESC n; ESC n a; ESC n a b (a and b as one byte each); ESC n followed by the text.
    EscPosCommands& escape(char n);
    EscPosCommands& escape(char n, int a);
    EscPosCommands& escape(char n, int a, int b);
    EscPosCommands& escape(char n, std::string_view text);
    // GS V 0, LF: a full cut.
    EscPosCommands& cut();
    // GS V 66 0, LF: feed to the cutter and cut.
    EscPosCommands& feed();
    // GS V 66 n, LF.
    EscPosCommands& feedAndCut(int lines);
    EscPosCommands& byte(uint8_t b);
    EscPosCommands& text(std::string_view text);
    EscPosCommands& bytes(const uint8_t* bytes, size_t length);
    // LF; the text then LF.
    EscPosCommands& line();
    EscPosCommands& line(std::string_view text);
    // GS h height, then GS k 73 with a CODE128 symbol in code set B: "{B" and the data, each "{"
    // of the data doubled (the symbol's own escape). Data that code set B cannot carry (bytes
    // outside 32-127) or too long for the command's one length byte appends nothing and
    // answers false with `error` saying why.
    bool barCode(std::string_view data, int height, Error* error);
    // ESC p m 255 255, m being the pin in decimal digits ("0" for drawer 0). A negative pin (a
    // drawer this terminal has no entry for) appends nothing and answers false.
    bool drawerPulse(int pin);
    // The picture in bands of 24 dot rows (ESC * 33, double density): ESC 3 24 first, ESC 3 30
    // after. Dark pixels print. A null picture appends nothing.
    EscPosCommands& image(const PixelImage& image);
    // A fixed zigzag test pattern in one 8-dot band.
    EscPosCommands& sampleImage();

    const std::string& data() const { return bytes_; }
    size_t size() const { return bytes_.size(); }
    void clear() { bytes_.clear(); }

private:
    std::string bytes_;
};

} // namespace tavlo
