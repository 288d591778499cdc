#pragma once

#include "platform/foundation/Error.h"

namespace tavlo {

// The receipt printer as the session and the order code see it: open a connection, kick a cash
// drawer, close. The printer drivers implement it; tests use a fake.
class PrinterStream {
public:
    virtual ~PrinterStream() = default;

    // True when the printer is connected; otherwise false with `error` saying why.
    virtual bool open(Error* error) = 0;
    // Sends the drawer-kick command for the drawer number of the terminal's cash-drawer entry.
    virtual bool openDrawer(int drawer) = 0;
    // No effect when not open.
    virtual void close() = 0;
};

} // namespace tavlo
