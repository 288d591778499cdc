#include "core/records/CashInOut.h"

#include "core/records/RecordDocument.h"
#include "core/records/StoreRows.h"
#include "core/session/LocalStoreModel.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "xml/XmlFields.h"
#include "xml/XmlHelper.h"

namespace tavlo {

namespace {

using Text = CashInOut::Text;

ManagedObjectPtr terminal(ObjectContext& context, const Text& terminalId) {
    return findRow(context, "Terminal", "terminalId", terminalId);
}

// Rows are found again by their cash-in time after a trip through the server, which carries
// whole seconds: the store keeps the time whole, and the look-up matches it so.
std::optional<Date> whole(const std::optional<Date>& date) {
    return date ? std::optional<Date>(date->wholeSecondsDate()) : std::nullopt;
}

// Adds a count row for each denomination the relationship does not hold yet.
void addCounts(ObjectContext& context, const ManagedObjectPtr& row, const char* relation,
               const CashInOut::BreakDown& breakDown) {
    std::vector<ManagedObjectPtr> stored = row->toMany(relation);
    for (const auto& [denomination, count] : breakDown) {
        bool present = false;
        for (const ManagedObjectPtr& amount : stored) present = present || amount->text("denomination") == denomination;
        if (present) continue;
        ManagedObjectPtr amount = context.insert("CashAmount");
        amount->setValue("denomination", denomination);
        amount->setValue("amount", count);
        row->addTo(relation, amount);
    }
}

void readCounts(const ManagedObject& row, const char* relation, CashInOut::BreakDown& into) {
    into.clear();
    for (const ManagedObjectPtr& amount : row.toMany(relation))
        if (std::optional<std::string> denomination = amount->text("denomination"))
            into[*denomination] = amount->int32("amount");
}

void readCounts(const XmlFields& xml, const char* element, CashInOut::BreakDown& into) {
    into.clear();
    for (xmlNodePtr node : xml.run(element)) {
        XmlFields entry(node, xml.doc());
        if (std::optional<std::string> denomination = entry.text("amount"))
            into[*denomination] = entry.integer("count");
    }
}

Text noneForMinusOne(Text id) { return id == "-1" ? std::nullopt : id; }

void writeCounts(TextWriterDocument& doc, const char* element, const CashInOut::BreakDown& breakDown) {
    for (const auto& [denomination, count] : breakDown) {
        doc.startElement(element);
        doc.writeElement("amount", denomination);
        doc.writeElement("count", std::to_string(count));
        doc.endElement();
    }
}

std::string capitalised(std::string text) {
    if (!text.empty()) text[0] = static_cast<char>(toupper(static_cast<unsigned char>(text[0])));
    return text;
}

void writeSummary(TextWriterDocument& doc, const std::string& type, const PaymentTypeSummary& s) {
    auto put = [&](const std::string& name, int32_t value) { doc.writeElement(name, std::to_string(value)); };
    const bool cash = type == "cash";
    put(type + "SubTotal", s.subTotal);
    put(type + "Gratuity", s.gratuity);
    put(type + "Tip", s.tip);
    if (cash) {
        put("cashGratuityInCashDrawer", s.gratuityInDrawer);
        put("cashTipInCashDrawer", s.tipInDrawer);
    }
    const std::string adjusted = "adjustment" + capitalised(type);
    put(adjusted + "SubTotal", s.subTotalAdjusted);
    put(adjusted + "Gratuity", s.gratuityAdjusted);
    put(adjusted + "Tip", s.tipAdjusted);
    if (cash) {
        put("adjustmentCashGratuityInCashDrawer", s.gratuityInDrawerAdjusted);
        put("adjustmentCashTipInCashDrawer", s.tipInDrawerAdjusted);
    }
}

} // namespace

ManagedObjectPtr CashInOut::write(ObjectContext& context) {
    const std::optional<Date> inDate = whole(inDate_);
    ManagedObjectPtr row =
        context.fetchFirst("CashInOut", "storeBatch.remoteId == %@ && cashDrawer.cashDrawerId == %@ && inDate == %@",
                           batchId_, drawerId_, inDate);
    if (!row) {
        row = context.insert("CashInOut");
        row->setValue("cashInOutId", cashInOutId_);
        row->setToOne("storeBatch", findRow(context, "StoreBatch", "remoteId", batchId_));
        row->setValue("paymentsByOrderCreator", paymentsByOrderCreator_);
        row->setToOne("inBy", findUser(context, inBy_));
        LocalStoreModel::setDate(*row, "inDate", inDate_);
        row->setValue("inAmount", inAmount_);
        if (drawerId_) row->setToOne("cashDrawer", findRow(context, "CashDrawer", "cashDrawerId", drawerId_));
        if (inTerminalId_) row->setToOne("inTerminal", terminal(context, inTerminalId_));
        if (inForcedBy_) row->setToOne("inForcedBy", findUser(context, inForcedBy_));
        addCounts(context, row, "inBreakDown", inBreakDown_);
    }
    row->setValue("cashInOutId", cashInOutId_);
    row->setValue("outCounts", outCount_);
    if (outDate_) {
        row->setToOne("outBy", findUser(context, outBy_));
        row->setValue("outDate", *outDate_);
        row->setToOne("outTerminal", terminal(context, outTerminalId_));
        row->setValue("outAmount", outAmount_);
        row->setValue("outAmountCalculated", outAmountCalculated_);
        if (outForcedBy_) row->setToOne("outForcedBy", findUser(context, outForcedBy_));
        addCounts(context, row, "outBreakDown", outBreakDown_);
    }
    for (const auto& entry : payments_) {
        ManagedObjectPtr payment = findRow(context, "Payment", "remoteId", entry.first);
        if (payment && !row->containsIn("payments", payment)) row->addTo("payments", payment);
    }
    return row;
}

void CashInOut::read(const ManagedObject& row) {
    cashInOutId_ = row.text("cashInOutId");
    readLinked(row, "cashDrawer", "cashDrawerId", drawerId_);
    batchId_ = row.text("storeBatch.remoteId");
    paymentsByOrderCreator_ = row.boolean("paymentsByOrderCreator");
    inBy_ = row.text("inBy.userId");
    inAmount_ = row.int32("inAmount");
    inDate_ = row.date("inDate");
    inTerminalId_ = row.text("inTerminal.terminalId");
    readLinked(row, "inForcedBy", "userId", inForcedBy_);
    readCounts(row, "inBreakDown", inBreakDown_);
    outCount_ = row.int32("outCounts");
    outBreakDown_.clear();
    if (std::optional<Date> out = row.date("outDate")) {
        outBy_ = row.text("outBy.userId");
        outAmount_ = row.int32("outAmount");
        outAmountCalculated_ = row.int32("outAmountCalculated");
        outDate_ = out;
        outTerminalId_ = row.text("outTerminal.terminalId");
        readLinked(row, "outForcedBy", "userId", outForcedBy_);
        readCounts(row, "outBreakDown", outBreakDown_);
    }
    payments_.clear();
    for (const ManagedObjectPtr& payment : row.toMany("payments"))
        if (std::optional<std::string> id = payment->text("remoteId"))
            payments_[*id] = payment->text("order.remoteId").value_or("");
}

void CashInOut::read(xmlNodePtr element, xmlDocPtr doc) {
    XmlFields xml(element, doc);
    cashInOutId_ = xml.attribute("id");
    drawerId_ = noneForMinusOne(xml.text("cashDrawerId"));
    batchId_ = xml.text("batchId");
    paymentsByOrderCreator_ = xml.flag("paymentsByOrderCreator");
    inBy_ = xml.text("userId");
    inAmount_ = xml.integer("cashInAmount");
    inDate_ = xml.time("cashInDate").value_or(Date(0));
    inTerminalId_ = noneForMinusOne(xml.text("cashInTerminalId"));
    if (Text forcedBy = noneForMinusOne(xml.text("cashInForcedById"))) inForcedBy_ = forcedBy;
    readCounts(xml, "cashInBreakDown", inBreakDown_);
    outBreakDown_.clear();
    if (std::optional<Date> out = xml.time("cashOutDate")) {
        outBy_ = inBy_;
        outAmount_ = xml.integer("cashOutAmount");
        outDate_ = out;
        outTerminalId_ = xml.text("cashOutTerminalId");
        outCount_ = xml.integer("cashOutCount");
        if (Text forcedBy = xml.text("cashOutForcedById")) outForcedBy_ = forcedBy;
        readCounts(xml, "cashOutBreakDown", outBreakDown_);
    }
    payments_.clear();
    for (xmlNodePtr node : xml.run("paymentSubTotal")) {
        XmlFields entry(node, doc);
        if (Text id = entry.text("paymentSubTotalRemoteId")) payments_[*id] = entry.text("orderRemoteId").value_or("");
    }
}

Text CashInOut::toXml(Error* error) const {
    return writeRecordDocument(
        "cashInOut",
        [&](TextWriterDocument& doc) {
            doc.writeAttribute("id", cashInOutId_.value_or("-1"));
            doc.writeElement("userId", inBy_);
            doc.writeElement("batchId", batchId_);
            doc.writeElement("cashDrawerId", drawerId_);
            doc.writeElement("cashInAmount", std::to_string(inAmount_));
            doc.writeElement("cashInDate", XmlHelper::wireDate(inDate_.value_or(Date(0))));
            if (inTerminalId_) doc.writeElement("cashInTerminalId", inTerminalId_);
            if (inForcedBy_) doc.writeElement("cashInForcedById", inForcedBy_);
            writeCounts(doc, "cashInBreakDown", inBreakDown_);
            if (outDate_) {
                doc.writeElement("calculatedCashOutAmount", std::to_string(outAmountCalculated_));
                doc.writeElement("cashOutCount", std::to_string(outCount_));
                doc.writeElement("cashOutAmount", std::to_string(outAmount_));
                doc.writeElement("cashOutDate", XmlHelper::wireDate(*outDate_));
                doc.writeElement("cashOutTerminalId", outTerminalId_);
                if (outForcedBy_) doc.writeElement("cashOutForcedById", outForcedBy_);
                writeCounts(doc, "cashOutBreakDown", outBreakDown_);
            }
            for (const std::string& type : PaymentTypeSummary::xmlTypes()) {
                auto found = summaries_.find(type);
                writeSummary(doc, type, found != summaries_.end() ? found->second : PaymentTypeSummary{});
            }
            doc.writeElement("paymentsByOrderCreator", XmlHelper::wireBool(paymentsByOrderCreator_));
            for (const char* kind : {"paymentSubTotal", "paymentGratuityAndTip"}) {
                for (const auto& [paymentId, orderId] : payments_) {
                    doc.startElement(kind);
                    doc.writeElement(std::string(kind) + "RemoteId", paymentId);
                    doc.writeElement("orderRemoteId", orderId);
                    doc.endElement();
                }
            }
        },
        error);
}

} // namespace tavlo
