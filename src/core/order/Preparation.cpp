#include "core/order/Preparation.h"

#include "core/order/OrderTax.h"
#include "platform/store/ManagedObject.h"
#include "xml/XmlFields.h"

namespace tavlo {

Preparation Preparation::initFromDB(const ManagedObject& row) {
    Preparation p(row.text("preparationId"), row.int32("price"));
    for (const auto& tax : row.toMany("taxes")) {
        auto name = tax->text("tax.name");
        // A row without an amount fixes nothing; reading it as 0 would exempt the line.
        if (name && !tax->isNil("amount")) p.setPredefinedTax(tax->int32("amount"), *name);
    }
    return p;
}

bool Preparation::isExempt(const OrderTax& tax) const {
    if (!tax.name()) return false;
    auto amount = predefinedTaxes_.entry(*tax.name());
    return amount && *amount == 0;
}

void Preparation::read(const ManagedObject& row) {
    preparationId_ = row.text("preparation.preparationId");
    charge_ = row.int32("charge");
    predefinedTaxes_.clear();
    for (const ManagedObjectPtr& tax : row.toMany("taxes"))
        if (Text name = tax->text("taxName")) predefinedTaxes_.set(*name, tax->int32("amount"));
}

void Preparation::read(xmlNodePtr element, xmlDocPtr doc) {
    XmlFields xml(element, doc);
    preparationId_ = xml.text("preparationId");
    charge_ = xml.integer("charge");
    predefinedTaxes_.clear();
    predefinedTaxes_.read(xml, "taxAmount");
}

} // namespace tavlo
