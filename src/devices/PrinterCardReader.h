#pragma once

#include <functional>
#include <memory>

namespace tavlo {

// The card reader built into the mobile receipt printer, as the card-reader mediator uses it: a
// card read runs while a screen that takes swipes is registered. It delivers its swipes as the
// card-reader notifications itself.
//
// The printer library's facade provides it by installing a maker; until one is installed the
// mediator of a printer-reader terminal attaches no reader.
class PrinterCardReader {
public:
    using Maker = std::function<std::shared_ptr<PrinterCardReader>()>;

    virtual ~PrinterCardReader() = default;
    virtual void startRead() = 0;
    virtual void cancelRead() = 0;

    static std::shared_ptr<PrinterCardReader> make(); // null when no maker is installed
    static void setMaker(Maker maker);
};

} // namespace tavlo
