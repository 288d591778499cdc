// Whole pieces of paper: the receipt, a payment's slip, a report, the clock tickets and the test
// page. The blocks they are made of are in ReceiptBlocks.cpp.
#include "printing/ReceiptHelper.h"

#include "core/order/Order.h"
#include "core/order/Tender.h"
#include "core/ports/PrinterStream.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/graphics/PixelImage.h"

namespace tavlo {

namespace {

// A centred, emphasized banner line followed by an empty line ("******CLOSED******").
void banner(PrinterStream& s, const std::string& text, bool blankAfter) {
    s.setJustification(1);
    s.setEmphasized(true);
    s.writeLine(text);
    if (blankAfter) s.writeLine();
    s.setEmphasized(false);
    s.setJustification(0);
}

} // namespace

int ReceiptHelper::charsPerLine(ObjectContext* context) {
    const int width = Parameters::number(Parameter::ReceiptCharsPerLine, context);
    return width > 0 ? width : 42;
}

int ReceiptHelper::trailingLines(ObjectContext* context) {
    return Parameters::number(Parameter::ReceiptTrailingBlankLines, context);
}

int ReceiptHelper::clockOutCopies(ObjectContext* context) {
    return (Parameters::flag(Parameter::PrintClockOutReceipt, context) ? 1 : 0) +
           (Parameters::flag(Parameter::PrintClockOutReceiptCopy, context) ? 1 : 0);
}

void ReceiptHelper::printReceipt(const Order& order, Session& session, Error*, PrinterStream& s) {
    ObjectContext* context = session.managedObjectContext();
    const int w = charsPerLine(context);
    writeStoreHeader(context, true, true, s);
    if (!order.isOpen()) {
        s.setEmphasized(true);
        s.writeLine(localized("******CLOSED******"));
        s.writeLine();
        s.setEmphasized(false);
    }
    writeOrderHeader(order, session, w, s);
    s.writeLine();
    writeCustomer(order, w, session, s);
    writeOrderDetails(order, w, session, s);
    s.writeLine();
    writeOrderTotals(order, w, session, s);
    s.writeLine();
    if (Parameters::flag(Parameter::PrintTipGuide, context)) writeTipGuide(order, nullptr, w, session, s);
    writeReceiptFooter(context, s);
    s.feed(trailingLines(context) + 3, true);
}

void ReceiptHelper::printPayment(const Payment& payment, const Order& order, bool merchant, bool reprint,
                                 Session& session, Error*, PrinterStream& s) {
    ObjectContext* context = session.managedObjectContext();
    const int w = charsPerLine(context);
    int feed = trailingLines(context) + 3;
    writeStoreHeader(context, true, true, s);
    if (reprint) banner(s, localized("******REPRINT******"), true);
    if (payment.isVoided()) banner(s, localized("******VOID******"), false);
    writeOrderHeader(order, session, w, s);
    s.writeLine();
    writePaymentDetails(payment, order, merchant, w, session, s);
    // Only the merchant's copy carries the signature.
    if (merchant && payment.captured() && !payment.captured()->empty()) {
        Error error;
        if (std::optional<PixelImage> signature = PixelImage::fromData(*payment.captured(), &error)) {
            s.writeImage(*signature);
            feed += 3;
        } else {
            TAVLO_LOG("Signature of payment %@ not printed: %@", payment.remoteId(), error.localizedDescription());
        }
    }
    if (Parameters::flag(Parameter::PrintTipGuide, context) && payment.tender().signedSlip)
        writeTipGuide(order, nullptr, w, session, s);
    if (Parameters::flag(Parameter::PrintReceiptFooterOnPayment, context)) writeReceiptFooter(context, s);
    s.feed(feed, true);
}

void ReceiptHelper::printReport(const std::string& title, const Text& storeName, const Text& byEmployee,
                                const std::vector<std::string>& reportLines, int trailLines, Error*, PrinterStream& s) {
    writeReportHeader(title, storeName, byEmployee, s);
    s.setJustification(1);
    s.setFont(1);
    for (const std::string& line : reportLines) s.writeLine(line);
    s.writeLine();
    s.feed(trailLines + 3, true);
}

namespace {

void printClockTicket(const char* title, const ReceiptHelper::Text& employee, std::optional<Date> inDate,
                      std::optional<std::optional<Date>> outDate, int trailLines, ObjectContext* context,
                      PrinterStream& s) {
    ReceiptHelper::writeStoreHeader(context, false, false, s);
    s.setJustification(1);
    s.setFont(0);
    s.setEmphasized(false);
    s.writeLine();
    s.writeLine(localized(title));
    s.writeLine(employee.value_or(""));
    s.writeLine(format("%@: %@", localized("In"), Utils::stringForDate(inDate)));
    if (outDate) s.writeLine(format("%@: %@", localized("Out"), Utils::stringForDate(*outDate)));
    s.writeLine();
    s.feed(trailLines + 3, true);
}

} // namespace

void ReceiptHelper::printClockIn(const Text& employee, const Text&, std::optional<Date> inDate, int trailLines, Error*,
                                 ObjectContext* context, PrinterStream& s) {
    printClockTicket("Clock In", employee, inDate, std::nullopt, trailLines, context, s);
}

void ReceiptHelper::printClockOut(const Text& employee, const Text&, std::optional<Date> inDate,
                                  std::optional<Date> outDate, int trailLines, Error*, ObjectContext* context,
                                  PrinterStream& s) {
    printClockTicket("Clock Out", employee, inDate, outDate, trailLines, context, s);
}

void ReceiptHelper::printTest(const Text& name, const Text& url, int trailLines, Error*, PrinterStream& s) {
    const std::string stars(26, '*');
    s.reset();
    s.reset();
    s.setJustification(1);
    s.setFont(0);
    s.setEmphasized(false);
    s.writeLine();
    s.writeLine("TAVLO");
    s.writeLine(name.value_or(""));
    s.writeLine(format("(%@)", url.value_or("")));
    s.writeLine();
    s.writeLine(stars);
    s.writeLine("********** TEST **********");
    s.writeLine(stars);
    s.writeLine();
    s.feed(trailLines + 3, true);
}

} // namespace tavlo
