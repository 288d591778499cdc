#pragma once

#include "core/order/TaxAmounts.h"

#include <libxml/tree.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tavlo {

class ManagedObject;
class OrderTax;

// A preparation chosen on an order line (a cooking style and the like): the charge it adds to
// each unit of the line and the fixed per-unit tax amounts it carries. Preparations are told apart
// by their id alone.
class Preparation {
public:
    using Text = std::optional<std::string>;

    Preparation() = default;
    explicit Preparation(Text preparationId, int32_t charge = 0)
        : preparationId_(std::move(preparationId)), charge_(charge) {}
    // From a store Preparation row: its id, its price as the charge and its fixed tax amounts.
    static Preparation initFromDB(const ManagedObject& row);

    // From a line's `SelectionPreparation` row, and from a `preparation` element of the server's
    // order document.
    void read(const ManagedObject& row);
    void read(xmlNodePtr element, xmlDocPtr doc);

    void setPredefinedTax(int32_t amount, const std::string& taxName) { predefinedTaxes_.set(taxName, amount); }
    int32_t predefinedTax(const std::string& taxName) const { return predefinedTaxes_.amount(taxName); }
    bool hasPredefinedTax(const std::string& taxName) const { return predefinedTaxes_.has(taxName); }
    // A fixed amount of 0 marks exemption from the tax.
    bool isExempt(const OrderTax& tax) const;

    // Same id, whatever the charge.
    bool isEqual(const Preparation& other) const { return preparationId_ == other.preparationId_; }
    bool operator==(const Preparation& other) const { return isEqual(other); }
    Preparation clone() const { return *this; }

    const Text& preparationId() const { return preparationId_; }
    void setPreparationId(Text v) { preparationId_ = std::move(v); }
    int32_t charge() const { return charge_; }
    void setCharge(int32_t v) { charge_ = v; }
    const TaxAmounts& predefinedTaxes() const { return predefinedTaxes_; }
    TaxAmounts& predefinedTaxes() { return predefinedTaxes_; }

private:
    Text preparationId_;
    int32_t charge_ = 0;
    TaxAmounts predefinedTaxes_;
};

} // namespace tavlo
