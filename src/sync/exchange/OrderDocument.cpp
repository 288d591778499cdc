// The order document: one `customerOrder` request with everything the server keeps of an order.
#include "sync/exchange/OrderDocument.h"

#include "core/order/ActivityLog.h"
#include "core/order/ComboSelection.h"
#include "core/order/Order.h"
#include "core/order/Payment.h"
#include "core/records/Customer.h"
#include "core/session/DBHelper.h"
#include "core/util/Base64.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/Text.h"
#include "sync/exchange/CommHelper.h"
#include "xml/XmlHelper.h"
#include "xml/XmlStreamWriter.h"

namespace tavlo {

namespace {

using Text = std::optional<std::string>;

void element(XmlStreamWriter& w, const std::string& name, const std::string& text) {
    XmlHelper::writeTextElement(w, name, text);
}
void element(XmlStreamWriter& w, const std::string& name, int64_t value) { element(w, name, std::to_string(value)); }
void flagElement(XmlStreamWriter& w, const std::string& name, bool value) {
    element(w, name, XmlHelper::wireBool(value));
}
void presentElement(XmlStreamWriter& w, const std::string& name, const Text& text) {
    if (text) element(w, name, *text);
}
void nonEmptyElement(XmlStreamWriter& w, const std::string& name, const Text& text) {
    if (text && !text->empty()) element(w, name, *text);
}
// The records always carry their dates; one without reads as the start of 1970.
std::string dateText(const std::optional<Date>& date) { return date ? XmlHelper::wireDate(*date) : "0"; }

void writeTaxAmounts(XmlStreamWriter& w, const char* name, const TaxAmounts& amounts) {
    for (const auto& [taxName, amount] : amounts) {
        w.writeStartElement(name);
        element(w, "taxName", taxName);
        element(w, "amount", amount);
        w.writeEndElement();
    }
}

bool writtenPayment(const Payment& p, bool allPayments, bool sendBackVoids) {
    return allPayments || p.new_() || p.modified() || (sendBackVoids && p.isVoided());
}

} // namespace

std::string OrderDocument::getXmlOrder(const std::optional<std::string>& storeId,
                                       const std::optional<std::string>& terminalId, bool printReceipt,
                                       const std::optional<std::string>& printURL,
                                       const std::optional<std::string>& drawerURL, bool allPayments,
                                       bool sendBackVoids, ObjectContext* context) const {
    XmlStreamWriter w;
    XmlHelper::beginRequest(w);
    w.writeStartElement("customerOrder");
    w.writeAttribute("remoteId", order_.remoteId().value_or(""));
    w.writeAttribute("type", Order::typeLabel(order_.orderType()));

    element(w, "orderName", order_.name().value_or(""));
    element(w, "storeId", storeId.value_or(""));
    element(w, "terminalId", terminalId.value_or(""));
    element(w, "serverId", order_.serverId().value_or(""));
    if (order_.areaId()) {
        element(w, "areaId", *order_.areaId());
        element(w, "seats", order_.seats());
    }
    flagElement(w, "closed", order_.closed().has_value());
    element(w, "gratuityPercentage", order_.gratuityPercentage());
    element(w, "gratuityMinSeats", order_.gratuityMinSeats());
    presentElement(w, "areaLocationId", order_.areaLocationId());
    element(w, "creationDate", dateText(order_.created()));
    flagElement(w, "quickSale", order_.isQuickSale());
    flagElement(w, "taxOverride", order_.taxOverride());

    if (order_.customerId() || order_.customerRemoteId()) appendCustomer(w, context);
    appendDiscounts(w);
    for (const OrderTax& tax : order_.taxes()) appendOrderTax(tax, w);
    for (const SelectionPtr& s : order_.getSelections()) {
        const char* type = dynamic_cast<const ComboSelection*>(s.get()) ? "ComboSelection" : "MainSelection";
        appendSelection(*s, nullptr, type, false, w);
    }
    for (const Order::PaymentPtr& p : order_.getPayments())
        if (writtenPayment(*p, allPayments, sendBackVoids)) appendPayment(*p, w);

    element(w, "total", order_.getTotal());
    element(w, "tax", order_.getTaxTotal());
    if (order_.split()) element(w, "doNotAnnounce", "true");
    if (printReceipt) element(w, "print", "true");
    if (printURL) {
        element(w, "printerConnType", "TCP/IP");
        element(w, "printerUrl", *printURL);
    }
    presentElement(w, "cashDrawerUrl", drawerURL);
    for (const ActivityLog& entry : order_.logs()) appendLog(entry, w);

    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return w.toString();
}

void OrderDocument::appendCustomer(XmlStreamWriter& w, ObjectContext* context) const {
    ManagedObjectPtr row =
        order_.customerId()
            ? DBHelper::getObject("Customer", "customerId == %@", *order_.customerId(), context)
            : DBHelper::getObject("Customer", "remoteId == %@", order_.customerRemoteId().value_or(""), context);
    if (!row) return;
    Customer c;
    c.read(*row);
    w.writeStartElement("customer");
    if (c.customerId()) w.writeAttribute("id", *c.customerId());
    else w.writeAttribute("remoteId", c.remoteId().value_or(""));
    w.writeAttribute("action", "add");
    presentElement(w, "customerName", c.company());
    presentElement(w, "firstName", c.firstName());
    presentElement(w, "middleInitial", c.initial());
    presentElement(w, "lastName", c.lastName());
    presentElement(w, "description", c.note());
    presentElement(w, "emailAddress", c.email());
    presentElement(w, "homeNumber", c.phone());
    presentElement(w, "cellNumber", c.mobile());
    presentElement(w, "address", c.street());
    presentElement(w, "city", c.city());
    presentElement(w, "state", c.state());
    presentElement(w, "zip", c.postalCode());
    presentElement(w, "drivingDirections", c.directions());
    presentElement(w, "message", c.message());
    // Signed: a date of birth before 1970 is a negative time.
    if (c.dob()) element(w, "dateOfBirth", XmlHelper::wireDate(*c.dob()));
    w.writeEndElement();
}

void OrderDocument::appendDiscounts(XmlStreamWriter& w) const {
    for (const Order::DiscountPtr& d : order_.discounts()) {
        w.writeStartElement("discount");
        w.writeAttribute("remoteId", d->remoteId().value_or(""));
        if (d->new_()) w.writeAttribute("action", "add");
        else if (d->removed()) w.writeAttribute("action", "delete");
        element(w, "discountName", d->name().value_or("Open"));
        element(w, "amount", d->amount());
        element(w, "discountBy", d->discountBy().value_or(""));
        presentElement(w, "authBy", d->authBy());
        w.writeEndElement();
    }
}

void OrderDocument::appendOrderTax(const OrderTax& tax, XmlStreamWriter& w) {
    w.writeStartElement("customerOrderTax");
    w.writeAttribute("type", "state");
    // A tax without a rule rounds half away from zero; an empty rule would round up once read back.
    w.writeAttribute("roundingMethod", tax.rounding().value_or("round"));
    element(w, "customerOrderTaxName", tax.name().value_or(""));
    element(w, "taxPercentage", tax.percentage());
    w.writeEndElement();
}

void OrderDocument::appendSelection(const Selection& s, const Selection* parent, const std::string& type, bool inCombo,
                                    XmlStreamWriter& w) const {
    w.writeStartElement("selection");
    w.writeAttribute("remoteId", s.remoteId().value_or(""));
    w.writeAttribute("action", s.deleted() ? "delete" : "add");
    w.writeAttribute("type", type);

    element(w, "selectionName", s.name().value_or(""));
    presentElement(w, "comment", s.comment());
    presentElement(w, "recipeId", s.recipeId());
    presentElement(w, "menuId", s.menuId());
    presentElement(w, "refId", s.referenceId());
    element(w, "creationDate", dateText(s.created()));
    int32_t tax = order_.getTaxFor(s);
    element(w, "total", static_cast<int64_t>(order_.getSubTotal(s)) + tax);
    element(w, "tax", tax);

    // A side is charged its price beyond the included allowance and its addition price within
    // it; a combo's part is charged its addition price.
    int32_t price = s.price(), additionPrice = 0;
    if (type == "SideSelection" && parent && !parent->isChargable(s)) price = 0, additionPrice = s.additionPrice();
    else if (type != "SideSelection" && inCombo) price = s.additionPrice();
    element(w, "price", price);
    element(w, "additionPrice", additionPrice);
    element(w, "sideCount", s.includedSides() <= 100 ? s.includedSides() : 0);
    element(w, "seat", s.seat());
    element(w, "course", s.course());
    element(w, "quantity", s.quantity());
    element(w, "multiplier", s.multiplier());
    presentElement(w, "orderedBy", s.orderedBy());
    if (s.compName()) {
        w.writeStartElement("comp");
        element(w, "compName", *s.compName());
        element(w, "compPercentage", s.compPercent());
        presentElement(w, "compDescription", s.compDescription());
        element(w, "compBy", s.compBy().value_or(""));
        w.writeEndElement();
    }
    for (const std::string& taxName : s.taxExemptions()) element(w, "exemptionTax", taxName);
    // The item's exemptions go too, where the server's answers carry them: the server adds them
    // only to the lines it can tell the item of by their recipe, which a combo has not, so a
    // combo's would be lost on the way back and the order read back would pay the tax.
    for (const std::string& taxName : s.defaultTaxExemptions()) element(w, "defaultExemptionTax", taxName);
    for (const SelectionPtr& side : s.getSides()) {
        w.writeStartElement("side");
        appendSelection(*side, &s, "SideSelection", inCombo, w);
        element(w, "sideDefaultCount", "0");
        element(w, "sideExtraCount", "0");
        w.writeEndElement();
    }
    if (const auto* combo = dynamic_cast<const ComboSelection*>(&s))
        for (const SelectionPtr& part : combo->getAllSelections())
            appendSelection(*part, nullptr, "MainSelection", true, w);
    for (const Preparation& p : s.getPreparations()) {
        w.writeStartElement("preparation");
        element(w, "preparationId", p.preparationId().value_or(""));
        element(w, "charge", s.getCharge(p.preparationId().value_or("")));
        writeTaxAmounts(w, "taxAmount", p.predefinedTaxes());
        w.writeEndElement();
    }
    writeTaxAmounts(w, "taxAmount", s.predefinedTaxes());
    writeTaxAmounts(w, "additionTaxAmount", s.additionPredefinedTaxes());
    w.writeEndElement();
}

void OrderDocument::appendPayment(const Payment& p, XmlStreamWriter& w) const {
    w.writeStartElement("payment");
    w.writeAttribute("remoteId", p.remoteId().value_or(""));
    w.writeAttribute("action", p.new_() ? "add" : "update");
    w.writeAttribute("type", Payment::xmlLabel(p.type()));
    if (p.cardType() && !p.cardType()->empty()) w.writeAttribute("cardType", *p.cardType());

    element(w, "paymentName", p.name().value_or(""));
    presentElement(w, "voidBy", p.voidBy());
    element(w, "createdBy", p.createdBy().value_or(""));
    presentElement(w, "number", p.number());
    element(w, "subTotal", p.subTotal());
    element(w, "tip", p.tip());
    element(w, "gratuity", p.gratuity());
    element(w, "change", p.change());
    presentElement(w, "approval", p.approval());
    presentElement(w, "refNumber", p.refNum());
    flagElement(w, "manual", p.manual());
    nonEmptyElement(w, "cashDrawerId", p.drawerId());

    std::optional<std::string> key = encryptor_.publicKey();
    if (key && Payment::sendsCardFields(p.type())) {
        w.writeStartElement("signature");
        element(w, "hostName", CommHelper::gateway().value_or(""));
        element(w, "publicKey", *key);
        w.writeEndElement();
        const std::pair<const char*, const Text*> fields[] = {
            {"track1", &p.track1()},   {"track2", &p.track2()},
            {"track3", &p.track3()},   {"accountNumber", &p.accountNumber()},
            {"expDate", &p.expDate()}, {"cardSecurityCode", &p.securityCode()},
        };
        for (const auto& [name, field] : fields) {
            if (!*field || (*field)->empty()) continue;
            // A field that cannot be encrypted stays behind rather than go out in the clear.
            if (std::optional<std::vector<uint8_t>> block = encryptor_.encrypt(**field))
                element(w, name, Base64::encode(*block));
            else TAVLO_LOG("Unable to encrypt the %@ of payment %@", std::string(name), p.remoteId());
        }
    }
    nonEmptyElement(w, "zipCode", p.zipCode());
    nonEmptyElement(w, "hostData", p.hostData());
    if (p.captured()) {
        element(w, "captured", Base64::encode(*p.captured()));
        element(w, "mimeType", p.mimeType().value_or("unknown"));
    }
    w.writeEndElement();
}

std::string OrderDocument::forLog(std::string document) {
    for (std::string_view name : {"paymentName", "zipCode"}) {
        const std::string open = "<" + std::string(name) + ">", close = "</" + std::string(name) + ">";
        for (size_t at = document.find(open); at != std::string::npos; at = document.find(open, at + 1)) {
            const size_t from = at + open.size();
            const size_t end = document.find(close, from);
            // A document cut short loses all after the opening: nothing of the name is kept.
            document.replace(from, end == std::string::npos ? std::string::npos : end - from, "***");
        }
    }
    return document;
}

void OrderDocument::appendLog(const ActivityLog& entry, XmlStreamWriter& w) {
    const Text& action = entry.action();
    bool quantities = !action || action->find("remove") != std::string::npos;
    bool prices = !action || containsNoCase(*action, "priceChange") || containsNoCase(*action, "reOpen");
    w.writeStartElement("activityLog");
    w.writeAttribute("remoteId", entry.remoteId().value_or(""));
    w.writeAttribute("action", action.value_or(""));
    element(w, "terminalId", entry.terminalId().value_or(""));
    element(w, "serverId", entry.userId().value_or(""));
    element(w, "forcedBy", entry.forcedBy() ? *entry.forcedBy() : entry.userId().value_or(""));
    element(w, "oldQuantity", quantities ? entry.valueOld().value_or("0") : "0");
    element(w, "newQuantity", quantities ? entry.valueNew().value_or("0") : "0");
    element(w, "name", entry.name().value_or(""));
    element(w, "oldPrice", prices ? entry.valueOld().value_or("0") : "0");
    element(w, "description", entry.description().value_or(""));
    element(w, "newPrice", prices ? entry.valueNew().value_or("0") : "0");
    element(w, "dateCreated", dateText(entry.created()));
    w.writeEndElement();
}

std::optional<std::string> OrderDocument::document(const std::optional<std::string>& storeId,
                                                   const std::optional<std::string>& terminalId, bool printReceipt,
                                                   const std::optional<std::string>& printURL,
                                                   const std::optional<std::string>& drawerURL, bool allPayments,
                                                   bool sendBackVoids, ObjectContext* context) {
    return getXmlOrder(storeId, terminalId, printReceipt, printURL, drawerURL, allPayments, sendBackVoids, context);
}

void OrderDocument::saveOrderSummary(xmlDocPtr doc, xmlNodePtr summary, ObjectContext* context) {
    DBHelper::saveOrderSummaries(summary, doc, context);
}

} // namespace tavlo
