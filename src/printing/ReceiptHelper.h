#pragma once

#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class ComboSelection;
class ObjectContext;
class Order;
class Payment;
class PrinterStream;
class Selection;
class Session;

// Lays out what the terminal prints on its receipt printer, kitchen tickets aside: an order's
// receipt, one payment's slip (merchant or customer copy), text reports, clock-in and clock-out
// tickets and the printer's test page. Writes through any PrinterStream, so the same layout goes
// to a network printer or into an e-mail; the caller opens the stream before and closes it after.
// Every line is composed for the terminal's characters per line
// ("TS_RECEIPT_PRINTER_CHARS_PER_LINE", 42 when unset). Failures of the stream stay in the stream
// (PrinterStream::writeFailed): `error` is never filled.
class ReceiptHelper {
public:
    using Text = std::optional<std::string>;

    static void printReceipt(const Order& order, Session& session, Error* error, PrinterStream& stream);
    static void printPayment(const Payment& payment, const Order& order, bool merchant, bool reprint, Session& session,
                             Error* error, PrinterStream& stream);
    static void printReport(const std::string& title, const Text& storeName, const Text& byEmployee,
                            const std::vector<std::string>& reportLines, int trailLines, Error* error,
                            PrinterStream& stream);
    // The store name is not printed: the header comes from the store's values.
    static void printClockIn(const Text& employee, const Text& storeName, std::optional<Date> inDate, int trailLines,
                             Error* error, ObjectContext* context, PrinterStream& stream);
    static void printClockOut(const Text& employee, const Text& storeName, std::optional<Date> inDate,
                              std::optional<Date> outDate, int trailLines, Error* error, ObjectContext* context,
                              PrinterStream& stream);
    static void printTest(const Text& name, const Text& url, int trailLines, Error* error, PrinterStream& stream);

    // Building blocks.
    static void writeStoreHeader(ObjectContext* context, bool withWebSite, bool withDate, PrinterStream& stream);
    static void writeReportHeader(const std::string& title, const Text& storeName, const Text& employee,
                                  PrinterStream& stream);
    static void writeOrderHeader(const Order& order, Session& session, int charsPerLine, PrinterStream& stream);
    static void writeCustomer(const Order& order, int charsPerLine, Session& session, PrinterStream& stream);
    static void writeOrderDetails(const Order& order, int charsPerLine, Session& session, PrinterStream& stream);
    static void writeSelection(const Selection& selection, int charsPerLine, bool indented, bool pricedOnly,
                               bool comboPart, Session& session, PrinterStream& stream);
    static void writeCombo(const ComboSelection& combo, int charsPerLine, bool indented, bool pricedOnly,
                           Session& session, PrinterStream& stream);
    static void writeOrderTotals(const Order& order, int charsPerLine, Session& session, PrinterStream& stream);
    static void writeTipGuide(const Order& order, const Payment* payment, int charsPerLine, Session& session,
                              PrinterStream& stream);
    static void writePaymentDetails(const Payment& payment, const Order& order, bool merchant, int charsPerLine,
                                    Session& session, PrinterStream& stream);
    static void writeReceiptFooter(ObjectContext* context, PrinterStream& stream);
    // The payment's share of the order's tax.
    static int64_t taxAmount(const Order& order, const Payment& payment);

    // The terminal's characters per line (42 when unset) and trailing blank lines (0).
    static int charsPerLine(ObjectContext* context);
    static int trailingLines(ObjectContext* context);
    // How many clock-out tickets the store asks for: one for PRINT_CLOCK_OUT_RECEIPT and one more
    // for PRINT_CLOCK_OUT_RECEIPT_COPY.
    static int clockOutCopies(ObjectContext* context);
    // The label, then the value right-aligned to end at `width`.
    static std::string rightAligned(const std::string& label, const std::string& value, int width);
};

} // namespace tavlo
