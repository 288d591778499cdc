#pragma once

#include "core/ports/PrinterStream.h"
#include "platform/store/ObjectContext.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tavlo::screens {

// The terminal's receipt printer as its configuration names it: the terminal values
// TS_PRINTER_TYPE, TS_PRINTER_URL, TS_PRINTER_TIMEOUT, TS_PRINTER_CONNECTION_TYPE and
// TS_PRINTER_DEBUG. The drivers live below the screens; the program registers one maker per
// printer type ("escpos", "orvan", ...) and the sign-in screen asks for the printer here.
class ReceiptPrinters {
public:
    // Seconds an ESC/POS printer waits to connect when TS_PRINTER_TIMEOUT gives none.
    static constexpr int kDefaultTimeout = 3;

    struct Settings {
        std::string type; // in lower case
        std::optional<std::string> url;
        std::optional<std::string> connectionType;
        int timeout = kDefaultTimeout;
        bool debug = false;
    };
    // Makes the printer of its type, or answers `current` when that already is one.
    using Maker = std::function<std::shared_ptr<PrinterStream>(const Settings& settings,
                                                               const std::shared_ptr<PrinterStream>& current)>;

    // `type` compares without regard to case; a later maker replaces the earlier.
    static void registerMaker(const std::string& type, Maker maker);
    static void removeMaker(const std::string& type);

    // The printer of the terminal: none when the terminal names no type (or an empty one), names
    // a type no driver is registered for, or names "escpos" without an address (logged and
    // mailed). A type that is named is logged.
    static std::shared_ptr<PrinterStream> printerFor(const std::optional<std::string>& terminalId,
                                                     ObjectContext* context,
                                                     const std::shared_ptr<PrinterStream>& current);

    // The drivers the program has: "escpos", the network ESC/POS printer (the current printer
    // when it is one), and "orvan", the printer library's printer (the process's one, given the
    // url, connection type and debug flag), which is also the card reader of the reader type
    // "orvan".
    static void registerDrivers();
};

} // namespace tavlo::screens
