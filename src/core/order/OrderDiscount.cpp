#include "core/order/OrderDiscount.h"

#include "core/records/StoreRows.h"
#include "platform/store/ObjectContext.h"
#include "xml/XmlFields.h"

namespace tavlo {

std::shared_ptr<OrderDiscount> OrderDiscount::clone() const {
    auto copy = std::make_shared<OrderDiscount>();
    copy->remoteId_ = remoteId_;
    copy->name_ = name_;
    copy->amount_ = amount_;
    copy->discountBy_ = discountBy_;
    copy->authBy_ = authBy_;
    return copy;
}

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
