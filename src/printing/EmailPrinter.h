#pragma once

#include "core/ports/PrinterStream.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

// A receipt printer that mails what is printed on it: the lines written between `open` and
// `close` become the body of one e-mail, sent through the support service's mail relay when the
// stream is closed. Styles and pictures are not mailed. The cash drawer is still opened on the
// printer given at creation. Made for one receipt and dropped after its `close`.
class EmailPrinter : public PrinterStream {
public:
    // The closing line of every mail names the product's web site.
    static constexpr const char* kWebAddress = "https://tavlo.example";

    EmailPrinter(std::string emailTo, std::string emailFrom, std::optional<std::string> storeName,
                 std::optional<std::string> storeId, std::optional<std::string> password,
                 std::shared_ptr<PrinterStream> drawer);

    // Clears the last error; nothing else (the relay is reached only by `close`).
    bool open(Error* error) override;
    // Mails the lines ("Receipt from <store>") and drops them. A relay that does not take the mail
    // is logged and left in lastError(): the caller tells the person the receipt was not mailed.
    void close() override;
    int type() const override { return kEmailType; }
    // Why the last mail did not go; not set after a mail that went.
    const Error& lastError() const { return lastError_; }
    bool writeFailed() const override { return lastError_.isSet(); }

    void setDebug(bool debug) override { debug_ = debug; }
    void setCharacterSet(int v) override { characterSet_ = v; }
    void setCodeTable(int v) override { codeTable_ = v; }
    void setCharWidth(int v) override { charSize_ = v; }
    void setCharHeight(int v) override { charSize_ = v; }
    void setFont(int v) override { font_ = v; }
    void setColor(int) override {}
    void setFontAttribute(int) override {}
    // Spaces before every later line; 0 none.
    void setLeftMargin(int margin) override;
    void setJustification(int v) override { justification_ = v; }
    void setEmphasized(bool v) override { emphasized_ = v; }
    void setUnderline(bool v) override { underline_ = v; }
    void setReversePrint(bool v) override { reversePrint_ = v; }
    // Drops the margin and every line collected so far.
    void reset() override;
    void writeLine() override { lines_.emplace_back(); }
    void writeLine(const std::string& text) override { lines_.push_back(margin_ + text); }
    void writeImage(const PixelImage&) override {}
    // Opens, kicks and closes the drawer printer; false without one or when it does not open.
    bool openDrawer(int drawer) override;
    // Adds the empty lines; there is no paper to cut.
    void feed(int lines, bool cut) override;

    const std::vector<std::string>& lines() const { return lines_; }
    int leftMargin() const { return static_cast<int>(margin_.size()); }
    int characterSet() const { return characterSet_; }
    int codeTable() const { return codeTable_; }
    int font() const { return font_; }
    int charSize() const { return charSize_; }
    int justification() const { return justification_; }
    bool emphasized() const { return emphasized_; }
    bool underline() const { return underline_; }
    const std::string& emailTo() const { return emailTo_; }
    const std::string& emailFrom() const { return emailFrom_; }

private:
    std::string emailTo_, emailFrom_;
    std::optional<std::string> storeName_, storeId_, password_;
    std::shared_ptr<PrinterStream> drawer_;
    std::vector<std::string> lines_;
    std::string margin_;
    Error lastError_;
    int characterSet_ = -1, font_ = -1, codeTable_ = -1, charSize_ = 0, justification_ = -1;
    bool debug_ = false, emphasized_ = true, underline_ = true, reversePrint_ = false;
};

} // namespace tavlo
