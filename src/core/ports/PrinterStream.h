#pragma once

#include "platform/foundation/Error.h"

#include <string>

namespace tavlo {

class PixelImage;

// The receipt printer as the session, the order code and the receipt layout see it: every
// receipt, slip, ticket and report is written through these operations, so the layout never
// knows which kind of printer stands behind it. The printer drivers implement it; tests use a
// fake. Callers pair `open` and `close` around each piece of paper.
class PrinterStream {
public:
    // What `type` answers.
    static constexpr int kEscPosType = 1;  // ESC/POS over TCP
    static constexpr int kLibraryType = 2; // the printer library's printers
    static constexpr int kStarType = 4;    // the ESC/POS variant without colour and drawer
    static constexpr int kEmailType = 5;   // a receipt mailed instead of printed

    virtual ~PrinterStream() = default;

    // True when the printer is connected; otherwise false with `error` saying why.
    virtual bool open(Error* error) = 0;
    // No effect when not open.
    virtual void close() = 0;
    virtual int type() const = 0;
    virtual void setDebug(bool debug) = 0;

    // Print settings. The values are those of the ESC/POS commands of the same names.
    virtual void setCharacterSet(int characterSet) = 0;
    virtual void setCodeTable(int codeTable) = 0;
    // 1 is normal size, more is double.
    virtual void setCharWidth(int width) = 0;
    virtual void setCharHeight(int height) = 0;
    // 0 or 1.
    virtual void setFont(int font) = 0;
    // 0 the first colour, anything else the second.
    virtual void setColor(int color) = 0;
    // The print-mode byte: 0 normal, 16 double height, 32 double width, 48 both.
    virtual void setFontAttribute(int attribute) = 0;
    // Spaces before every later text line.
    virtual void setLeftMargin(int margin) = 0;
    // 0 left, 1 centre, 2 right.
    virtual void setJustification(int justification) = 0;
    virtual void setEmphasized(bool emphasized) = 0;
    virtual void setUnderline(bool underline) = 0;
    virtual void setReversePrint(bool reversePrint) = 0;
    // Back to the printer's defaults.
    virtual void reset() = 0;

    // An empty line; a line of text (UTF-8).
    virtual void writeLine() = 0;
    virtual void writeLine(const std::string& text) = 0;
    virtual void writeImage(const PixelImage& image) = 0;
    // Sends the drawer-kick command for the drawer number of the terminal's cash-drawer entry;
    // false when nothing was sent (no connection, no such drawer).
    virtual bool openDrawer(int drawer) = 0;
    // Feeds `lines` lines, then cuts the paper when asked.
    virtual void feed(int lines, bool cut) = 0;

    // True when something written since the last `open`, up to and with its `close`, did not
    // reach the printer whole (the connection dropped, the printer went away): what was printed
    // cannot be trusted to be complete.
    virtual bool writeFailed() const { return false; }
};

} // namespace tavlo
