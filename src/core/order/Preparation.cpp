#include "core/order/Preparation.h"

#include "core/order/OrderTax.h"
#include "platform/store/ManagedObject.h"

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

} // namespace tavlo
