// The pieces receipts and slips are made of: store and order headers, the customer, the order's
// lines, its totals, the tip guide, a payment's details and the footer.
#include "printing/ReceiptHelper.h"

#include "core/order/ComboSelection.h"
#include "core/order/Order.h"
#include "core/order/Tender.h"
#include "core/ports/PrinterStream.h"
#include "core/records/Customer.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"

#include <algorithm>
#include <cmath>

namespace tavlo {

namespace {

using Text = ReceiptHelper::Text;

unsigned room(int width) { return static_cast<unsigned>(std::max(width, 0)); }
std::string money(int64_t cents) { return Utils::formatCurrency(cents); }
// "Label: value" with the localised label.
std::string labelled(const char* label, const std::string& value) { return format("%@: %@", localized(label), value); }
bool present(const Text& text) { return text && !text->empty(); }

// "City, State Zip", each part only when present.
std::string cityLine(const Text& city, const Text& state, const Text& zip) {
    std::string line = city.value_or("");
    if (present(state)) line += (line.empty() ? "" : ", ") + *state;
    if (present(zip)) line += (line.empty() ? "" : " ") + *zip;
    return line;
}

// Totals and payment amounts print in double width on half the columns of a wide printer.
int amountWidth(int width, PrinterStream& stream, bool normalOtherwise) {
    if (width >= 42) {
        stream.setFontAttribute(32);
        return width / 2;
    }
    if (normalOtherwise) stream.setFontAttribute(0);
    return width;
}

} // namespace

std::string ReceiptHelper::rightAligned(const std::string& label, const std::string& value, int width) {
    const int used = static_cast<int>(
        label.size() - std::count_if(label.begin(), label.end(), [](char c) { return (c & 0xC0) == 0x80; }));
    return label + Utils::lpad(value, ' ', room(width - used));
}

void ReceiptHelper::writeStoreHeader(ObjectContext* context, bool withWebSite, bool withDate, PrinterStream& s) {
    auto value = [&](Parameter parameter) { return Parameters::text(parameter, context); };
    s.reset();
    s.reset();
    s.setJustification(1);
    s.setFont(0);
    s.setEmphasized(true);
    if (Text name = value(Parameter::StoreName); present(name)) s.writeLine(*name);
    if (Text address = value(Parameter::StoreAddress); present(address)) s.writeLine(*address);
    const std::string city =
        cityLine(value(Parameter::StoreCity), value(Parameter::StoreState), value(Parameter::StoreZip));
    if (!city.empty()) s.writeLine(city);
    std::string phone = value(Parameter::StoreTelephone).value_or("");
    if (Text fax = value(Parameter::StoreFax); present(fax))
        phone += (phone.empty() ? "" : " ") + format("(%@: %@)", localized("fax"), *fax);
    if (!phone.empty()) s.writeLine(phone);
    if (withWebSite)
        if (Text web = value(Parameter::StoreWebSite); present(web)) s.writeLine(*web);
    if (withDate) {
        s.writeLine(DateFormatter::format(Date::now(), "MMM d h:mm aa"));
        s.writeLine();
    }
}

void ReceiptHelper::writeReportHeader(const std::string& title, const Text& storeName, const Text& employee,
                                      PrinterStream& s) {
    s.reset();
    s.reset();
    s.setJustification(1);
    s.setFont(0);
    s.setEmphasized(true);
    s.writeLine(title);
    s.writeLine(labelled("Store", storeName.value_or("")));
    s.writeLine(labelled("By", employee.value_or("")));
    s.writeLine(labelled("Date", DateFormatter::format(Date::now(), "MMM d, yyyy HH:mm:ss")));
    s.writeLine();
    s.setJustification(0);
    s.setEmphasized(false);
}

void ReceiptHelper::writeOrderHeader(const Order& order, Session& session, int w, PrinterStream& s) {
    s.setJustification(0);
    s.setFont(0);
    s.setEmphasized(false);
    const std::string created = order.created() ? DateFormatter::format(*order.created(), "MMM d, yyy h:mm a") : "";
    if (order.serverId()) {
        ManagedObjectPtr user =
            DBHelper::getObject("User", "(userId == %@)", order.serverId(), session.managedObjectContext());
        const std::string name = user ? user->text("name").value_or("") : "";
        const std::string server = labelled("Server", name.substr(0, name.find(' ')));
        if (order.seats() < 1) s.writeLine(Utils::trunc(server, room(w)));
        else s.writeLine(rightAligned(server, format("%@: %ld", localized("Guests"), order.seats()), w));
    }
    s.writeLine(labelled("Order Name", order.name().value_or("")));
    if (order.orderId())
        s.writeLine(rightAligned(Utils::trunc(labelled("Order", *order.orderId()), room(w)), created, w));
    else s.writeLine(created);
    s.writeLine(labelled("Order Type", Order::typeUILabel(order.orderType())));
}

void ReceiptHelper::writeCustomer(const Order& order, int w, Session& session, PrinterStream& s) {
    if (!order.customerId() && !order.customerRemoteId()) return;
    ObjectContext* context = session.managedObjectContext();
    ManagedObjectPtr row = order.customerId()
                               ? DBHelper::getObject("Customer", "customerId==%@", order.customerId(), context)
                               : DBHelper::getObject("Customer", "remoteId==%@", order.customerRemoteId(), context);
    Customer customer;
    if (row) customer.read(*row);
    auto line = [&](const Text& text) {
        if (present(text)) s.writeLine(Utils::trunc(*text, room(w)));
    };
    const Text name = customer.name(), company = customer.companyField();
    if (present(name)) {
        s.setEmphasized(true);
        line(name);
    }
    if (present(company) && (!present(name) || *company != *name)) {
        s.setEmphasized(!present(name));
        line(company);
    }
    s.setEmphasized(false);
    line(customer.street());
    const std::string city = cityLine(customer.city(), customer.state(), customer.postalCode());
    if (!city.empty()) line(city);
    line(customer.mobile());
    line(customer.phone());
    if (order.orderType() == OrderType::Delivery && present(customer.directions())) {
        s.writeLine();
        const std::string& directions = *customer.directions();
        // Pieces of the line's width, cut on characters, not bytes.
        for (std::string rest = directions; !rest.empty();) {
            std::string piece = Utils::rpad(rest, ' ', room(w));
            if (piece.empty()) break;
            if (piece.size() > rest.size()) piece = rest; // the last piece, not padded
            s.writeLine(piece);
            rest.erase(0, piece.size());
        }
    }
    s.writeLine();
}

void ReceiptHelper::writeOrderDetails(const Order& order, int w, Session& session, PrinterStream& s) {
    const bool pricedOnly = Parameters::flag(Parameter::PricedItemsOnly, session.managedObjectContext());
    for (const SelectionPtr& selection : order.activeSelections()) {
        if (auto* combo = dynamic_cast<const ComboSelection*>(selection.get()))
            writeCombo(*combo, w, false, pricedOnly, session, s);
        else writeSelection(*selection, w, false, pricedOnly, false, session, s);
    }
}

void ReceiptHelper::writeCombo(const ComboSelection& combo, int w, bool, bool pricedOnly, Session& session,
                               PrinterStream& s) {
    writeSelection(combo, w, false, pricedOnly, false, session, s);
    for (const SelectionPtr& part : combo.getAllSelections())
        writeSelection(*part, w, false, pricedOnly, true, session, s);
}

void ReceiptHelper::writeSelection(const Selection& selection, int w, bool indented, bool pricedOnly, bool comboPart,
                                   Session& session, PrinterStream& s) {
    const std::string prefix = indented ? "     " : "";
    const std::string item = prefix + format("%ld - %@", selection.quantity(), selection.name().value_or(""));
    if (comboPart) {
        s.writeLine(Utils::trunc(item, room(w - 1)));
    } else {
        const std::string price = money(int64_t(selection.quantity()) * selection.getUnitCharge());
        const std::string cut = Utils::trunc(item, room(w - 1 - static_cast<int>(price.size())));
        s.writeLine(rightAligned(cut, price, w));
    }
    const std::string sub = "    ";
    if (selection.compBy())
        s.writeLine(Utils::trunc(
            format("%@%@ (%@)", sub, selection.compName().value_or(""), Utils::formatPercent(selection.compPercent())),
            room(w)));
    for (const Preparation& p : selection.getPreparations()) {
        ManagedObjectPtr row = DBHelper::getObject("Preparation", "preparationId == %@", p.preparationId(),
                                                   session.managedObjectContext());
        const std::string name = row ? row->text("name").value_or("") : "";
        const int32_t charge = selection.getCharge(p.preparationId().value_or(""));
        const std::string text =
            pricedOnly && charge >= 1 ? format("%@%@ (%@)", sub, name, money(charge)) : format("%@%@", sub, name);
        s.writeLine(Utils::trunc(text, room(w)));
    }
    for (const SelectionPtr& side : selection.getSides())
        if (!pricedOnly || side->getUnitCharge() > 0) writeSelection(*side, w, true, pricedOnly, comboPart, session, s);
}

void ReceiptHelper::writeOrderTotals(const Order& order, int w, Session& session, PrinterStream& s) {
    const int width = amountWidth(w, s, true);
    s.setEmphasized(false);
    auto line = [&](const std::string& label, int64_t amount) {
        s.writeLine(rightAligned(label, money(amount), width));
    };
    line(localized("SubTotal") + ": ", order.getSubTotal());
    const int64_t reductions = int64_t(order.getCompTotal()) + order.getDiscountTotal();
    if (order.getCompTotal() >= 1 || order.getDiscountTotal() >= 1) line(localized("Disc. Total") + ": ", -reductions);
    std::string tax = localized("Tax");
    if (!Parameters::flag(Parameter::PrintOrderHideTaxRate, session.managedObjectContext()) && !order.taxes().empty())
        tax = format("%@ (%@)", tax, Utils::formatPercent(order.taxes().front().percentage()));
    line(tax + ": ", order.getTaxTotal());
    if (order.getGratuity() >= 1) line(localized("Gratuity") + ": ", order.getGratuity());
    s.writeLine(Utils::lpad("_______", ' ', room(width)));
    line(localized("Total"), int64_t(order.getTotal()) + order.getGratuity());
    if (order.getPaid() >= 1) line(localized("Amt. Paid"), order.getPaid());
    else s.writeLine();
    line(localized("Amt. Due"), int64_t(order.getDue()) + order.getGratuity() - order.getGratuityPaid());
}

void ReceiptHelper::writeTipGuide(const Order& order, const Payment* payment, int, Session& session, PrinterStream& s) {
    ObjectContext* context = session.managedObjectContext();
    s.setFont(0);
    s.setJustification(1);
    s.setEmphasized(true);
    s.setFontAttribute(0);
    s.writeLine();
    s.writeLine("TIP GUIDE");
    s.writeLine();
    s.setEmphasized(false);
    s.setJustification(0);
    const bool afterTax = Parameters::flag(Parameter::TipGratuityAfterTax, context);
    int64_t base = payment ? payment->subTotal() : order.getSubTotal();
    if (afterTax) base += payment ? taxAmount(order, *payment) : order.getTaxTotal();
    for (Parameter parameter : {Parameter::TipPercentage1, Parameter::TipPercentage2}) {
        Text percentage = Parameters::text(parameter, context);
        if (!percentage || intValue(*percentage) < 1) continue;
        const auto tip = static_cast<int64_t>(std::llround(intValue(*percentage) * static_cast<double>(base) / 100.0));
        s.writeLine(format("%@%%: %@", *percentage, money(tip)));
    }
}

// The share goes by what the payment pays of the order: its tip and gratuity carry no tax, so a
// payment of the whole order with a tip carries the order's tax, not more.
int64_t ReceiptHelper::taxAmount(const Order& order, const Payment& payment) {
    if (payment.subTotal() == order.getTotal()) return order.getTaxTotal();
    if (order.getTotal() == 0) return 0;
    return std::llround(static_cast<double>(payment.subTotal()) * order.getTaxTotal() / order.getTotal());
}

void ReceiptHelper::writePaymentDetails(const Payment& payment, const Order& order, bool merchant, int w,
                                        Session& session, PrinterStream& s) {
    ObjectContext* context = session.managedObjectContext();
    const Tender& tender = payment.tender();
    const bool showsCard =
        tender.slipCard == SlipCard::Always ||
        (tender.slipCard == SlipCard::WithGiftAddress && present(Parameters::text(Parameter::GiftUrl, context)));
    if (payment.approval())
        s.writeLine(payment.refNum() ? rightAligned(labelled("Approval", *payment.approval()),
                                                    labelled("Ref Num", *payment.refNum()), w)
                                     : labelled("Approval", *payment.approval()));
    else if (payment.refNum()) s.writeLine("Ref Num: " + *payment.refNum());

    std::string typeLabel = Payment::uiLabel(payment.type());
    Text taxLine;
    if (!showsCard) {
        if (tender.slipNamesCustomer && present(payment.name())) s.writeLine(labelled("Customer", *payment.name()));
    } else {
        if (payment.number()) s.writeLine(labelled("Last 4", *payment.number()));
        if (present(payment.cardType())) typeLabel = format("%@: %@", typeLabel, *payment.cardType());
        if (!payment.isVoided()) taxLine = labelled("Tax", money(taxAmount(order, payment)));
    }
    s.writeLine(labelled("Payment Type", typeLabel));
    if (taxLine) s.writeLine(*taxLine);
    s.writeLine();

    if (tender.givesChange && !payment.isVoided()) {
        writeOrderDetails(order, w, session, s);
        s.writeLine();
        writeOrderTotals(order, w, session, s);
        s.writeLine();
        const int width = amountWidth(w, s, true);
        s.writeLine(rightAligned(localized("Tendered"), money(int64_t(payment.subTotal()) + payment.change()), width));
        s.writeLine(rightAligned(localized("Applied"), money(payment.subTotal()), width));
        s.writeLine(rightAligned(localized("Change Due"), money(payment.change()), width));
    } else {
        const int width = amountWidth(w, s, false);
        const std::string blank = "__________";
        s.writeLine(rightAligned(localized("Amount"), money(payment.subTotal()), width));
        const bool hideTip = Parameters::flag(Parameter::HideTipLine, context);
        bool tipLine = false;
        if (tender.signedSlip) {
            if (payment.tip() != 0 && payment.gratuity() != 0) {
                s.writeLine(rightAligned(localized("Gratuity"), money(payment.gratuity()), width));
                s.writeLine(rightAligned(localized("SubTotal"), money(int64_t(payment.subTotal()) + payment.gratuity()),
                                         width));
            }
            if (!hideTip) {
                tipLine = true;
                if (payment.tip() >= 1) {
                    s.writeLine(rightAligned(localized("Tip"), money(payment.tip()), width));
                } else {
                    s.writeLine();
                    s.writeLine(rightAligned(localized("Tip"), blank, width));
                }
            }
        }
        if (!hideTip) {
            if (payment.tip() != 0) {
                if (tipLine) s.writeLine(Utils::lpad(blank, ' ', room(width)));
                s.writeLine();
                s.writeLine(rightAligned(localized("Total"), money(payment.getTotal()), width));
            } else {
                s.writeLine();
                s.writeLine(rightAligned(localized("Total"), blank, width));
            }
        }
    }
    s.setFontAttribute(0);
    s.setEmphasized(false);

    if (tender.signedSlip) {
        s.writeLine();
        s.writeLine();
        s.writeLine(Utils::rpad(localized("Signature") + ": ", '_', room(w)));
        s.setJustification(1);
        if (present(payment.name())) {
            s.writeLine();
            s.writeLine(*payment.name());
        }
        s.writeLine();
        s.writeLine(localized("I AGREE TO PAY THE ABOVE CHARGES"));
        s.writeLine(localized("IN ACCORDANCE WITH THE CREDIT"));
        s.writeLine(localized("CARD ISSUERS AGREEMENT"));
        s.setJustification(0);
    }
    s.writeLine();
    s.setJustification(1);
    s.writeLine();
    s.writeLine(merchant ? localized("******* Merchant Copy *******") : localized("******* Customer Copy *******"));
}

void ReceiptHelper::writeReceiptFooter(ObjectContext* context, PrinterStream& s) {
    const std::vector<std::string> lines = Parameters::receiptFooter(context);
    if (!lines.empty()) {
        s.setJustification(1);
        s.setFont(0);
        s.setFontAttribute(0);
        s.setEmphasized(false);
        s.writeLine();
        for (const std::string& line : lines) s.writeLine(line);
    }
    s.writeLine();
}

} // namespace tavlo
