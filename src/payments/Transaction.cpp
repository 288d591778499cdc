#include "payments/Transaction.h"

#include "payments/PaymentTransaction.h"
#include "platform/foundation/Text.h"
#include "platform/store/ManagedObject.h"
#include "xml/XmlFields.h"

namespace tavlo {

Transaction::Transaction() {
    Date now = Date::now();
    created_ = now;
    updated_ = now;
}

void Transaction::read(const ManagedObject& row) {
    if (ManagedObjectPtr batch = row.toOne("batch")) batchId_ = format("%d", batch->int32("batchId"));
    transactionId_ = format("%d", row.int32("transactionId"));
    approval_ = row.text("approval");
    number_ = row.text("number");
    subTotal_ = row.int32("subTotal");
    tip_ = row.int32("tip");
    tax_ = row.int32("tax");
    offline_ = row.boolean("offline");
    voided_ = row.date("voided");
    adjusted_ = row.date("adjusted");
    created_ = row.date("created");
    updated_ = row.date("updateDate");
    for (const ManagedObjectPtr& field : row.toMany("transactionFields")) {
        std::optional<std::string> name = field->text("name");
        std::optional<std::string> value = field->text("value");
        if (name && value) fields_[*name] = *value;
    }
}

void Transaction::read(xmlNodePtr element, xmlDocPtr doc) {
    if (!element) return;
    XmlFields xml(element, doc);
    transactionId_ = xml.attribute("id");
    if (auto text = xml.text("approval")) approval_ = text;
    if (auto text = xml.text("number")) number_ = text;
    if (auto v = xml.integerIfPresent("subTotal")) subTotal_ = *v;
    if (auto v = xml.integerIfPresent("tip")) tip_ = *v;
    if (auto v = xml.integerIfPresent("tax")) tax_ = *v;
    voided_ = xml.positiveTime("voided");
    adjusted_ = xml.positiveTime("adjusted");
    if (auto date = xml.positiveTime("created")) created_ = date;
    if (auto date = xml.positiveTime("updateDate")) updated_ = date;
    for (xmlNodePtr node : xml.child("fields").run("field")) {
        XmlFields field(node, doc);
        std::optional<std::string> name = field.attribute("name");
        std::optional<std::string> value = field.attribute("value");
        if (name && value) fields_[*name] = *value;
    }
}

CardTransactionValues Transaction::cardTransactionValues(const ManagedObject& row) {
    CardTransactionValues values;
    values.transactionId = row.int32("transactionId");
    values.number = row.text("number");
    values.approval = row.text("approval");
    values.subTotal = row.int32("subTotal");
    values.tax = row.int32("tax");
    values.tip = row.int32("tip");
    values.created = row.date("created").value_or(Date());
    values.adjusted = row.date("adjusted");
    values.voided = row.date("voided");
    // A credential kept by a row of an older version goes nowhere: the dumps are mailed.
    for (const ManagedObjectPtr& field : row.toMany("transactionFields")) {
        std::string name = field->text("name").value_or("");
        if (!PaymentTransaction::isCredential(name))
            values.fields.emplace_back(name, field->text("value").value_or(""));
    }
    return values;
}

CardBatchValues Transaction::cardBatchValues(const ManagedObject& batch) {
    CardBatchValues values;
    if (ManagedObjectPtr host = batch.toOne("host")) {
        values.hostName = host->text("name");
        values.merchantId = host->text("merchantId");
    }
    values.batchId = batch.int32("batchId");
    values.created = batch.date("created").value_or(Date());
    for (const ManagedObjectPtr& row : batch.toMany("transactions"))
        values.transactions.push_back(cardTransactionValues(*row));
    return values;
}

} // namespace tavlo
