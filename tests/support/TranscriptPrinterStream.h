#pragma once

#include "core/ports/PrinterStream.h"

#include <map>
#include <string>

namespace tavlo::test {

// A receipt printer that writes what it is asked to print as a text one can read in a diff: a
// text line as "| text" ("|" for an empty one), every change of style as "~ name value" (a setting
// repeated with the value it already has is left out; "~ reset" brings back the defaults), and
// "~ image WxH", "~ feed N cut", "~ drawer N", "~ open", "~ close".
class TranscriptPrinterStream : public PrinterStream {
public:
    const std::string& transcript() const { return text_; }
    void clear() {
        text_.clear();
        style_.clear();
    }

    bool open(Error*) override { return note("open"), true; }
    void close() override { note("close"); }
    int type() const override { return kEscPosType; }
    void setDebug(bool) override {}
    void setCharacterSet(int v) override { set("characterSet", v); }
    void setCodeTable(int v) override { set("codeTable", v); }
    void setCharWidth(int v) override { set("charWidth", v); }
    void setCharHeight(int v) override { set("charHeight", v); }
    void setFont(int v) override { set("font", v); }
    void setColor(int v) override { set("color", v); }
    void setFontAttribute(int v) override { set("fontAttribute", v); }
    void setLeftMargin(int v) override { set("leftMargin", v); }
    void setJustification(int v) override { set("justification", v); }
    void setEmphasized(bool v) override { set("emphasized", v); }
    void setUnderline(bool v) override { set("underline", v); }
    void setReversePrint(bool v) override { set("reversePrint", v); }
    void reset() override {
        note("reset");
        style_.clear();
    }
    void writeLine() override { text_ += "|\n"; }
    void writeLine(const std::string& text) override { text_ += "| " + text + "\n"; }
    void writeImage(const PixelImage& image) override;
    bool openDrawer(int drawer) override { return note("drawer " + std::to_string(drawer)), true; }
    void feed(int lines, bool cut) override { note("feed " + std::to_string(lines) + (cut ? " cut" : "")); }

private:
    void note(const std::string& what) { text_ += "~ " + what + "\n"; }
    // The printer's defaults count as set after a reset (and at the start).
    void set(const std::string& name, int value) {
        static const std::map<std::string, int> defaults{{"characterSet", 0},  {"codeTable", 0},  {"charWidth", 1},
                                                         {"charHeight", 1},    {"font", 0},       {"color", 0},
                                                         {"fontAttribute", 0}, {"leftMargin", 0}, {"justification", 0},
                                                         {"emphasized", 0},    {"underline", 0},  {"reversePrint", 0}};
        auto it = style_.find(name);
        const int current = it != style_.end() ? it->second : defaults.at(name);
        if (current == value) return;
        style_[name] = value;
        note(name + " " + std::to_string(value));
    }

    std::string text_;
    std::map<std::string, int> style_;
};

} // namespace tavlo::test
