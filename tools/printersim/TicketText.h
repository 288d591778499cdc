#pragma once

#include "core/ports/PrinterStream.h"

#include <string>

namespace tavlo::printersim {

// A printer that writes what it is asked to print as plain text, as a person reads the paper:
// each line as it stands, a cut as a dashed line, a picture and a drawer kick as a note in
// brackets. Styles (bold, sizes, colours) leave no trace.
class TicketText : public PrinterStream {
public:
    const std::string& text() const { return text_; }

    bool open(Error*) override { return true; }
    void close() override {}
    int type() const override { return kEscPosType; }
    void setDebug(bool) override {}
    void setCharacterSet(int) override {}
    void setCodeTable(int) override {}
    void setCharWidth(int) override {}
    void setCharHeight(int) override {}
    void setFont(int) override {}
    void setColor(int) override {}
    void setFontAttribute(int) override {}
    void setLeftMargin(int) override {}
    void setJustification(int) override {}
    void setEmphasized(bool) override {}
    void setUnderline(bool) override {}
    void setReversePrint(bool) override {}
    void reset() override {}
    void writeLine() override { text_ += "\n"; }
    void writeLine(const std::string& line) override { text_ += line + "\n"; }
    void writeImage(const PixelImage& image) override;
    bool openDrawer(int drawer) override;
    void feed(int lines, bool cut) override;

private:
    std::string text_;
};

} // namespace tavlo::printersim
