#pragma once

#include "core/ports/PrinterStream.h"
#include "platform/graphics/PixelImage.h"

#include <optional>
#include <string>
#include <vector>

namespace tavlo::test {

// A receipt printer that records what it was asked to do, one text per call: "open",
// "drawer 2", "justification 1", "emphasized 1", "line Total", "line" (an empty line),
// "image 10x1", "feed 4 cut", "close" (the settings by their name without "set", in lower case
// for the first letter). Its open can be made to fail with a given error, and its writes can be
// made to count as failed.
class RecordingPrinterStream : public PrinterStream {
public:
    bool open(Error* error) override {
        calls.push_back("open");
        if (openFailure) {
            Error::set(error, *openFailure);
            return false;
        }
        isOpen = true;
        return true;
    }
    void close() override {
        calls.push_back("close");
        isOpen = false;
    }
    int type() const override { return printerType; }
    void setDebug(bool v) override { record("debug", v); }
    void setCharacterSet(int v) override { record("characterSet", v); }
    void setCodeTable(int v) override { record("codeTable", v); }
    void setCharWidth(int v) override { record("charWidth", v); }
    void setCharHeight(int v) override { record("charHeight", v); }
    void setFont(int v) override { record("font", v); }
    void setColor(int v) override { record("color", v); }
    void setFontAttribute(int v) override { record("fontAttribute", v); }
    void setLeftMargin(int v) override { record("leftMargin", v); }
    void setJustification(int v) override { record("justification", v); }
    void setEmphasized(bool v) override { record("emphasized", v); }
    void setUnderline(bool v) override { record("underline", v); }
    void setReversePrint(bool v) override { record("reversePrint", v); }
    void reset() override { calls.push_back("reset"); }
    void writeLine() override { calls.push_back("line"); }
    void writeLine(const std::string& text) override { calls.push_back("line " + text); }
    void writeImage(const PixelImage& image) override {
        calls.push_back("image " + std::to_string(image.width()) + "x" + std::to_string(image.height()));
    }
    bool openDrawer(int drawer) override {
        calls.push_back("drawer " + std::to_string(drawer));
        return isOpen;
    }
    void feed(int lines, bool cut) override { calls.push_back("feed " + std::to_string(lines) + (cut ? " cut" : "")); }
    bool writeFailed() const override { return failWrites; }

    std::vector<std::string> calls;
    std::optional<Error> openFailure;
    bool failWrites = false;
    bool isOpen = false;
    int printerType = kEscPosType;

private:
    void record(const char* name, int value) { calls.push_back(std::string(name) + " " + std::to_string(value)); }
};

} // namespace tavlo::test
