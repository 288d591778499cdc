#pragma once

#include "printing/EscPosPrinter.h"

namespace tavlo {

// An ESC/POS receipt printer of the kind that takes no colour command and has no drawer port.
class StarPrinter : public EscPosPrinter {
public:
    using EscPosPrinter::EscPosPrinter;

    int type() const override { return kStarType; }
    // Nothing to send.
    void setColor(int) override {}
    // No drawer: false, nothing sent.
    bool openDrawer(int) override { return false; }
};

} // namespace tavlo
