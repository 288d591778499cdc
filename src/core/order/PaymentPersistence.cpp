// Payments in the local store and from the server's order document.
#include "core/order/Payment.h"
#include "core/records/StoreRows.h"
#include "core/util/Base64.h"
#include "platform/store/ObjectContext.h"
#include "xml/XmlFields.h"

namespace tavlo {

ManagedObjectPtr Payment::write(ObjectContext& context) {
    ManagedObjectPtr row = findRow(context, "Payment", "paymentId", paymentId_);
    // The server's id arrives after the payment was first stored under ours: the same row takes it.
    if (!row) row = findRow(context, "Payment", "remoteId", remoteId_);
    if (!row) {
        row = context.insert("Payment");
        if (remoteId_) row->setValue("remoteId", *remoteId_);
        row->setValue("created", created_);
        row->setToOne("createdBy", findUser(context, createdBy_));
    }
    if (remoteId_) row->setValue("remoteId", *remoteId_);
    if (paymentId_) row->setValue("paymentId", *paymentId_);
    if (!row->toOne("cashInOut")) {
        if (drawerInDate_)
            row->setToOne("cashInOut",
                          context.fetchFirst("CashInOut", "inDate == %@", drawerInDate_->wholeSecondsDate()));
        else if (drawerId_)
            row->setToOne("cashInOut", context.fetchFirst(
                                           "CashInOut", "outDate == nil && cashDrawer.cashDrawerId == %@", *drawerId_));
    }
    if (captured_ && !row->toOne("captured")) {
        ManagedObjectPtr image = context.insert("Captured");
        image->setValue("image", *captured_);
        image->setValue("mimeType", "image/jpg");
        row->setToOne("captured", image);
    }
    row->setValue("updateDate", Date::now());
    row->setValue("name", name_);
    row->setValue("type", type_);
    row->setValue("subTotal", subTotal_);
    row->setValue("tip", tip_);
    row->setValue("gratuity", gratuity_);
    row->setValue("change", change_);
    if (voidBy_) {
        // The void time is the payment's own, set once: later stores must not move it.
        if (row->isNil("voided")) row->setValue("voided", voided_ ? *voided_ : Date::now());
        row->setToOne("voidBy", findUser(context, voidBy_));
    }
    row->setValue("transactionId", refNum_);
    row->setValue("cardType", cardType_);
    row->setValue("number", number_);
    row->setValue("approval", approval_);
    row->setValue("hostData", hostData_);
    row->setValue("message", message_);
    isNew_ = false;
    modified_ = false;
    return row;
}

void Payment::read(const ManagedObject& row) {
    remoteId_ = row.text("remoteId");
    paymentId_ = row.text("paymentId");
    created_ = row.date("created");
    createdBy_ = row.text("createdBy.userId");
    name_ = row.text("name");
    type_ = row.int32("type");
    subTotal_ = row.int32("subTotal");
    tip_ = row.int32("tip");
    gratuity_ = row.int32("gratuity");
    change_ = row.int32("change");
    refNum_ = row.text("transactionId");
    cardType_ = row.text("cardType");
    number_ = row.text("number");
    approval_ = row.text("approval");
    hostData_ = row.text("hostData");
    message_ = row.text("message");
    if (ManagedObjectPtr image = row.toOne("captured")) {
        captured_ = image->binary("image");
        mimeType_ = image->text("mimeType");
    }
    if (ManagedObjectPtr cash = row.toOne("cashInOut")) {
        drawerId_ = cash->text("cashDrawer.cashDrawerId");
        drawerInDate_ = cash->date("inDate");
    }
    if (ManagedObjectPtr by = row.toOne("voidBy")) {
        voided_ = row.date("voided");
        voidBy_ = by->text("userId");
    }
    isNew_ = false;
    modified_ = false;
}

void Payment::read(xmlNodePtr element, xmlDocPtr doc) {
    XmlFields xml(element, doc);
    remoteId_ = xml.attribute("remoteId");
    type_ = typeFromXMLLabel(xml.attribute("type"));
    paymentId_ = xml.text("paymentId");
    subTotal_ = xml.integer("subTotal");
    if (auto v = xml.integerIfPresent("tip")) tip_ = *v;
    if (auto v = xml.integerIfPresent("gratuity")) gratuity_ = *v;
    if (auto v = xml.integerIfPresent("change")) change_ = *v;
    name_ = xml.text("paymentName");
    createdBy_ = xml.text("createdBy");
    voidBy_ = xml.text("voidBy");
    if (voidBy_) voided_ = Date::now();
    drawerId_ = xml.text("cashDrawerId");
    if (std::optional<Date> in = xml.positiveTime("cashDrawerInDate")) drawerInDate_ = in;
    if (carriesHostFields(type_)) {
        refNum_ = xml.text("refNumber");
        cardType_ = xml.attribute("cardType");
        number_ = xml.text("number");
        approval_ = xml.text("approval");
        message_ = xml.text("message");
        std::optional<std::string> manual = xml.text("manual");
        manual_ = !xml.has("manual") || manual == "true";
    }
    if (std::optional<std::string> image = xml.text("captured")) captured_ = Base64::decode(*image);
    hostData_ = xml.text("hostData");
    isNew_ = false;
    modified_ = false;
}

} // namespace tavlo
