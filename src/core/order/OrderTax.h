#pragma once

#include <libxml/tree.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tavlo {

class ManagedObject;
class ObjectContext;

// One tax line of an order: the store's tax with its rate and its own rounding rule. Every tax
// amount of an order ends in applyRound with the line's rule.
class OrderTax {
public:
    using Text = std::optional<std::string>;

    enum class Rounding { kRound, kFloor, kCeiling };

    OrderTax() = default;
    OrderTax(Text name, int32_t percentage, Text rounding = std::nullopt, Text taxId = std::nullopt)
        : taxId_(std::move(taxId)), name_(std::move(name)), percentage_(percentage), rounding_(std::move(rounding)),
          rule_(roundingRule(rounding_)) {}

    // "round" rounds half away from zero, "floor" rounds down, anything else rounds up; compared
    // without case; nil counts as "round".
    static Rounding roundingRule(const Text& rounding);
    static int32_t applyRound(double value, const Text& rounding) { return applyRound(value, roundingRule(rounding)); }
    static int32_t applyRound(double value, Rounding rule);
    // An exact amount rounded by this tax's rule.
    int32_t round(double value) const { return applyRound(value, rule_); }
    // This tax of an amount, rounded by the line's rule.
    int32_t calculateTax(int64_t amount) const;
    // This tax of one unit when `amount` covers `units` units (at least one).
    int32_t calculateUnitTax(int64_t amount, int32_t units) const;

    // From an `OrderTax` row, and from a `customerOrderTax` element of the server's order document;
    // a tax without an id there takes the id of the store's tax of that name. The order writes its
    // tax rows itself.
    void read(const ManagedObject& row);
    void read(xmlNodePtr element, xmlDocPtr doc, ObjectContext* context);

    OrderTax clone() const { return *this; }

    const Text& taxId() const { return taxId_; }
    void setTaxId(Text v) { taxId_ = std::move(v); }
    const Text& name() const { return name_; }
    void setName(Text v) { name_ = std::move(v); }
    int32_t percentage() const { return percentage_; }
    void setPercentage(int32_t v) { percentage_ = v; }
    const Text& rounding() const { return rounding_; }
    void setRounding(Text v) {
        rounding_ = std::move(v);
        rule_ = roundingRule(rounding_);
    }
    bool beforeLoyalty() const { return beforeLoyalty_; }
    void setBeforeLoyalty(bool v) { beforeLoyalty_ = v; }

private:
    Text taxId_;
    Text name_;
    int32_t percentage_ = 0;
    Text rounding_;
    // The rule `rounding_` names, looked up once: every tax amount of an order rounds by it.
    Rounding rule_ = Rounding::kRound;
    bool beforeLoyalty_ = false;
};

} // namespace tavlo
