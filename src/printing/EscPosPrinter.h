#pragma once

#include "core/ports/PrinterStream.h"
#include "printing/EscPosCommands.h"

#include <optional>
#include <string>

namespace tavlo {

// The receipt printer of a terminal whose printer type is "escpos": ESC/POS over one TCP
// connection while open. Settings that cost a command (character set, code table, font,
// justification) are sent only when they change; -1 means the printer's value is unknown, so
// the next setter sends. Commands written while closed go nowhere. Used on the caller's thread.
class EscPosPrinter : public PrinterStream {
public:
    // `url` is "host:port" (port 9100 when none); `timeout` the connect time-out in seconds.
    EscPosPrinter(std::optional<std::string> url, int timeout);
    ~EscPosPrinter() override;
    EscPosPrinter(const EscPosPrinter&) = delete;
    EscPosPrinter& operator=(const EscPosPrinter&) = delete;

    // Connects (a connection still open is closed first). Errors: no address, an address that
    // cannot be resolved, no connection within the time-out.
    bool open(Error* error) override;
    // Ends the connection once the printer has taken what was sent.
    void close() override;
    int type() const override { return kEscPosType; }
    void setDebug(bool debug) override { debug_ = debug; }
    void setCharacterSet(int characterSet) override;
    void setCodeTable(int codeTable) override;
    void setCharWidth(int width) override;
    void setCharHeight(int height) override;
    void setFont(int font) override;
    void setColor(int color) override;
    void setFontAttribute(int attribute) override;
    void setLeftMargin(int margin) override;
    void setJustification(int justification) override;
    void setEmphasized(bool emphasized) override;
    void setUnderline(bool underline) override;
    void setReversePrint(bool reversePrint) override;
    // ESC @ and ESC ! 0: the printer is back to its defaults, so every remembered setting
    // becomes unknown and the style flags off.
    void reset() override;
    void writeLine() override;
    // The margin, the text, LF.
    void writeLine(const std::string& text) override;
    void writeImage(const PixelImage& image) override;
    bool openDrawer(int drawer) override;
    // ESC d lines, then the full cut when asked.
    void feed(int lines, bool cut) override;
    bool writeFailed() const override { return writeFailed_; }

    const std::optional<std::string>& url() const { return url_; }
    void setUrl(std::optional<std::string> url) { url_ = std::move(url); }
    int timeout() const { return timeout_; }
    void setTimeout(int seconds) { timeout_ = seconds; }
    int characterSet() const { return characterSet_; }
    int codeTable() const { return codeTable_; }
    int font() const { return font_; }
    int justification() const { return justification_; }
    int charSize() const { return charSize_; }
    void setCharSize(int size) { charSize_ = size; }
    int leftMargin() const { return static_cast<int>(margin_.size()); }
    bool debug() const { return debug_; }
    bool emphasized() const { return emphasized_; }
    bool underline() const { return underline_; }
    bool reversePrint() const { return reversePrint_; }

protected:
    // Sends on the open connection; a failure is remembered for writeFailed.
    bool send(const EscPosCommands& commands);
    bool isOpen() const { return socket_ >= 0; }

private:
    // Sends ESC n value when value differs from the remembered one, and remembers what the
    // printer now has (unknown when the command did not reach it).
    void sendWhenChanged(char n, int value, int& remembered);

    std::optional<std::string> url_;
    int timeout_ = 0;
    int socket_ = -1;
    int characterSet_ = -1, codeTable_ = -1, font_ = -1, justification_ = -1;
    int charSize_ = 0;
    std::string margin_;
    bool debug_ = false;
    bool emphasized_ = false, underline_ = false, reversePrint_ = false;
    bool writeFailed_ = false;
};

} // namespace tavlo
