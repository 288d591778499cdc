// An order's tax lines and discounts in the local store and from the server's order document.
#include "core/order/OrderDiscount.h"
#include "core/order/OrderTax.h"
#include "core/records/StoreRows.h"
#include "platform/store/ObjectContext.h"
#include "xml/XmlFields.h"

namespace tavlo {

// ---- OrderTax

void OrderTax::read(const ManagedObject& row) {
    taxId_ = row.text("taxId");
    name_ = row.text("name");
    percentage_ = row.int32("percentage");
    setRounding(row.text("roundingMethod"));
    beforeLoyalty_ = row.boolean("beforeLoyalty");
}

void OrderTax::read(xmlNodePtr element, xmlDocPtr doc, ObjectContext* context) {
    XmlFields xml(element, doc);
    taxId_ = xml.attribute("taxId");
    name_ = xml.text("customerOrderTaxName");
    setRounding(xml.attribute("roundingMethod"));
    percentage_ = xml.integer("taxPercentage");
    beforeLoyalty_ = xml.flag("beforeLoyalty");
    if (!taxId_ && context)
        if (ManagedObjectPtr tax = findRow(*context, "Tax", "name", name_)) taxId_ = tax->text("taxId");
}

// ---- OrderDiscount

ManagedObjectPtr OrderDiscount::write(ObjectContext& context) {
    ManagedObjectPtr row = findRow(context, "OrderDiscount", "remoteId", remoteId_);
    if (!row) {
        row = context.insert("OrderDiscount");
        row->setValue("remoteId", remoteId_);
        row->setToOne("discountBy", findUser(context, discountBy_));
    }
    if (authBy_) row->setToOne("authBy", findUser(context, authBy_));
    row->setValue("name", name_);
    row->setValue("amount", amount_);
    return row;
}

void OrderDiscount::read(const ManagedObject& row) {
    remoteId_ = row.text("remoteId");
    name_ = row.text("name");
    amount_ = row.int32("amount");
    discountBy_ = row.text("discountBy.userId");
    authBy_ = row.text("authBy.userId");
    isNew_ = false;
}

void OrderDiscount::read(xmlNodePtr element, xmlDocPtr doc) {
    XmlFields xml(element, doc);
    remoteId_ = xml.attribute("remoteId");
    name_ = xml.text("discountName");
    amount_ = xml.integer("amount");
    discountBy_ = xml.text("discountBy");
    authBy_ = xml.text("authBy");
    isNew_ = false;
}

} // namespace tavlo
