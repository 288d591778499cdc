#include "printing/KitchenTicketOutput.h"

#include "core/ports/PrinterStream.h"

#include <string>

namespace tavlo {

void StreamTicketOutput::reset() { stream_.reset(); }
void StreamTicketOutput::printMode(int mode) { stream_.setFontAttribute(mode); }
void StreamTicketOutput::justification(int justification) { stream_.setJustification(justification); }
void StreamTicketOutput::font(int font) { stream_.setFont(font); }
void StreamTicketOutput::emphasized(bool on) { stream_.setEmphasized(on); }
void StreamTicketOutput::color(int code) { stream_.setColor(code & 1); }

void StreamTicketOutput::line(std::string_view text) {
    if (text.empty()) {
        stream_.writeLine();
    } else {
        stream_.writeLine(std::string(text));
    }
}

void StreamTicketOutput::feed(int lines) { stream_.feed(lines, false); }
void StreamTicketOutput::feedAndCut(int lines) { stream_.feed(lines, true); }

} // namespace tavlo
