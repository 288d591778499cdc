#pragma once

#include "core/ports/PrinterStream.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tavlo::screens {

// One piece of paper for the receipt printer (a receipt, a slip), printed and then checked: a
// printer that refused it or did not take it whole puts "Unable to print receipt" on the screen
// with the printer's reason, and its "Reprint" prints the same paper again. Screens that print a
// receipt go through here, so that no guest leaves without one and nobody knows.
class ReceiptJob {
public:
    using Write = std::function<void(PrinterStream&)>;
    using Done = std::function<void()>;

    // Opens the printer, writes, closes; the reason it did not print, nil when it did.
    static std::optional<std::string> printOnce(PrinterStream& stream, const Write& write);
    // Prints; on failure shows the alert (answered "OK" or "Reprint"). `done` runs once the paper
    // printed or the person gave up on it, so a screen goes on with what follows the receipt.
    static void print(std::shared_ptr<PrinterStream> stream, Write write, Done done = {});
    // The alert alone, for a failure found elsewhere.
    static void showFailure(const std::string& reason, std::shared_ptr<PrinterStream> stream, Write write,
                            Done done = {});
};

} // namespace tavlo::screens
