#pragma once

#include <string>

namespace tavlo {
class PrinterStream;
}

namespace tavlo::printersim {

// Reads ESC/POS bytes as the network printer writes them back into the PrinterStream calls they
// stand for, so that what went over the wire can be compared with a transcript of the layout.
// Knows the commands the printer sends: ESC @ ! a M E - T r R t d p 3 *, GS V, text lines. A
// picture comes back in whole bands of 24 dot rows (its height rounded up). Answers false, with
// `why`, at the first byte it cannot read.
bool decodeEscPos(const std::string& bytes, PrinterStream& into, std::string* why = nullptr);

} // namespace tavlo::printersim
