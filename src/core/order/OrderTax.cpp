#include "core/order/OrderTax.h"

#include "core/records/StoreRows.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "xml/XmlFields.h"

#include <cmath>
#include <limits>

namespace tavlo {

namespace {

int32_t toCents(double v) {
    // Amounts beyond the 32-bit range cannot be money of one order; clamp rather than overflow.
    if (!(v == v)) return 0;
    if (v >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (v <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

} // namespace

OrderTax::Rounding OrderTax::roundingRule(const Text& rounding) {
    if (!rounding || equalsNoCase(*rounding, "round")) return Rounding::kRound;
    if (equalsNoCase(*rounding, "floor")) return Rounding::kFloor;
    return Rounding::kCeiling;
}

int32_t OrderTax::applyRound(double value, Rounding rule) {
    switch (rule) {
    case Rounding::kRound: return toCents(std::round(value));
    case Rounding::kFloor: return toCents(std::floor(value));
    case Rounding::kCeiling: break;
    }
    return toCents(std::ceil(value));
}

// Products are taken in 64 bits: a large line at a high rate would overflow 32 bits.
int32_t OrderTax::calculateTax(int64_t amount) const {
    return round(static_cast<double>(amount * percentage_) / 10000.0);
}

int32_t OrderTax::calculateUnitTax(int64_t amount, int32_t units) const {
    if (units < 1) return 0;
    return round(static_cast<double>(amount * percentage_) / (static_cast<double>(units) * 10000.0));
}

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

} // namespace tavlo
