// The money arithmetic of an order: sub-totals, comps, discounts, taxes with their rounding, the
// automatic gratuity, paid and due. Nothing is cached: every screen refresh recomputes.
#include "core/order/Order.h"
#include "core/order/Tender.h"

#include "core/util/TavloLog.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <span>

namespace tavlo {

namespace {

int32_t floorRate(int64_t amount, int32_t rate) {
    return static_cast<int32_t>(std::floor(static_cast<double>(amount * rate) / 10000.0));
}

int32_t roundRate(int64_t amount, int32_t rate) {
    return static_cast<int32_t>(std::round(static_cast<double>(amount * rate) / 10000.0));
}

bool sameLine(const Selection& a, const Selection& b) {
    return &a == &b || (a.remoteId() && b.remoteId() && *a.remoteId() == *b.remoteId());
}

// A line's discount share comes out of what it charges after its comp, at its portion; its tax
// bases count whole portions. The share takes the same part of the line's whole-portion amount
// after the comp, round(D x A / C) (half away from zero), so that a line discounted to nothing
// keeps no base. At a whole portion both amounts are the same and so is the share.
int64_t discountOfBase(const Selection& s, int32_t discount, int32_t afterComp) {
    if (discount <= 0 || afterComp <= 0) return 0;
    const int64_t whole = static_cast<int64_t>(s.quantity()) * (s.price() + s.getExtraCharges());
    const int64_t wholeAfterComp = std::max<int64_t>(0, whole - s.compAmount(static_cast<int32_t>(whole)));
    return (2 * static_cast<int64_t>(discount) * wholeAfterComp + afterComp) / (2 * static_cast<int64_t>(afterComp));
}

} // namespace

// What every tax question of one computation shares: the taxes by rate, and, under an override,
// which of them some active line pays. Asked several times of every order a report adds up: the
// few taxes of an order are kept in place, without an allocation.
struct Order::TaxPlan {
    std::vector<const OrderTax*> overridden;

    // The taxes by rate, those of one rate in the order's order.
    std::span<const OrderTax* const> byRate() const {
        if (many_.empty()) return {few_.data(), count_};
        return many_;
    }
    void sortByRate(const std::vector<OrderTax>& taxes) {
        const OrderTax** by = few_.data();
        if (taxes.size() > few_.size()) {
            many_.resize(taxes.size());
            by = many_.data();
        }
        count_ = taxes.size();
        for (size_t i = 0; i < count_; ++i) { // inserted after those of a rate as low
            size_t at = i;
            for (; at > 0 && by[at - 1]->percentage() > taxes[i].percentage(); --at) by[at] = by[at - 1];
            by[at] = &taxes[i];
        }
    }
    bool isOverridden(const OrderTax* tax) const {
        return std::find(overridden.begin(), overridden.end(), tax) != overridden.end();
    }

private:
    std::array<const OrderTax*, 8> few_{};
    std::vector<const OrderTax*> many_;
    size_t count_ = 0;
};

Order::TaxPlan Order::taxPlan() const {
    TaxPlan plan;
    plan.sortByRate(taxes_);
    if (taxOverride_)
        for (const auto& t : taxes_)
            for (const auto& s : selections_)
                if (!s->deleted() && !s->isExempt(t)) {
                    plan.overridden.push_back(&t);
                    break;
                }
    return plan;
}

// An exempt line still pays a tax under the override when another active line pays it.
bool Order::pays(const Selection& selection, const OrderTax& tax, const TaxPlan& plan) const {
    if (!selection.isExempt(tax)) return true;
    return taxOverride_ && plan.isOverridden(&tax);
}

std::vector<SelectionPtr> Order::sortSelectionsByLowestTax() const {
    std::vector<SelectionPtr> sorted;
    for (size_t i : lowestTaxOrder(taxPlan())) sorted.push_back(selections_[i]);
    return sorted;
}

// The active lines exempt from every tax first, then the others by the lowest rate they pay, each
// group in the order of the lines. One buffer: each line's first tax paid, then the order.
std::vector<size_t> Order::lowestTaxOrder(const TaxPlan& plan) const {
    const std::span<const OrderTax* const> byRate = plan.byRate();
    const size_t n = selections_.size(), rates = byRate.size();
    if (rates == 0) return {};
    constexpr size_t kInactive = SIZE_MAX;
    std::vector<size_t> order;
    order.reserve(2 * n);
    order.resize(n);
    auto firstPaid = [&](const Selection& s) {
        size_t rate = 0;
        while (rate < rates && s.isExempt(*byRate[rate])) ++rate;
        return rate; // `rates` when exempt from every tax
    };
    for (size_t i = 0; i < n; ++i) order[i] = selections_[i]->deleted() ? kInactive : firstPaid(*selections_[i]);
    auto append = [&](size_t first) {
        for (size_t i = 0; i < n; ++i)
            if (order[i] == first) order.push_back(i);
    };
    append(rates); // exempt from every tax
    for (size_t rate = 0; rate < rates; ++rate) append(rate);
    order.erase(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(n));
    return order;
}

// ---- Tax of some units

// A tax-included price holds every tax the line pays: the net is the price less all of them.
int32_t Order::netOfIncludedTax(const Selection& selection, int32_t gross, const TaxPlan& plan) const {
    int64_t rate = 0;
    for (const OrderTax* tax : plan.byRate())
        if (pays(selection, *tax, plan)) rate += tax->percentage();
    return static_cast<int32_t>(std::round(static_cast<double>(gross) * 10000.0 / static_cast<double>(10000 + rate)));
}

int32_t Order::unitsTax(const Text& taxName, const Selection& s, int32_t units, int32_t netCharge, int32_t discount,
                        const TaxPlan& plan) const {
    if (units < 1) return 0;
    std::vector<const OrderTax*> paid;
    for (const OrderTax* tax : plan.byRate())
        if (pays(s, *tax, plan)) paid.push_back(tax);
    if (paid.empty()) return 0;
    if (s.taxIncluded()) return includedTax(taxName, s, paid, units, netCharge, discount, plan);

    auto unitTax = [&](int32_t base) {
        int32_t named = 0;
        for (const OrderTax* tax : paid)
            if (!taxName || tax->name() == taxName) named += tax->calculateTax(base);
        return named;
    };
    // The discount is taken unit by unit from the first; the units it does not reach are alike.
    int64_t total = 0;
    int32_t left = units;
    while (left > 0 && discount > 0) {
        int32_t base;
        if (netCharge <= discount) {
            base = 0;
            discount -= netCharge;
        } else {
            base = netCharge - discount;
            discount = 0;
        }
        total += unitTax(base);
        --left;
    }
    if (left > 0) total += static_cast<int64_t>(left) * unitTax(netCharge);
    return static_cast<int32_t>(total);
}

// A unit's price holds its taxes: each tax but the last its own tax of the unit's net, the last
// the rest. A discount lowers the net the line keeps, and the tax follows it: the line's tax is
// the included tax scaled to the net kept, round(I x (units x V - D) / V), split the same way:
// each tax but the last its own tax of the net kept (never past the line's tax), the last the rest.
int32_t Order::includedTax(const Text& taxName, const Selection& s, const std::vector<const OrderTax*>& paid,
                           int32_t units, int32_t gross, int32_t discount, const TaxPlan& plan) const {
    const int32_t net = netOfIncludedTax(s, gross, plan);
    const int32_t included = gross - net;
    const int64_t lineNet = static_cast<int64_t>(units) * net;
    const int64_t kept = std::max<int64_t>(0, lineNet - std::max(0, discount));
    const bool scaled = kept < lineNet;
    int64_t lineTax = static_cast<int64_t>(units) * included;
    if (scaled)
        lineTax = std::llround(static_cast<double>(included) * static_cast<double>(kept) / static_cast<double>(net));
    int64_t sum = 0, unitSum = 0, named = 0;
    for (size_t i = 0; i < paid.size(); ++i) {
        const OrderTax& tax = *paid[i];
        int64_t t;
        if (i + 1 < paid.size()) {
            const int32_t unitShare = tax.calculateTax(net);
            unitSum += unitShare;
            t = scaled ? std::min<int64_t>(lineTax - sum, tax.calculateTax(kept))
                       : static_cast<int64_t>(units) * unitShare;
        } else {
            // Each tax rounds on its own, so a cent per tax is expected; only more is worth a log
            // line (totals are recomputed on every refresh).
            const int32_t own = tax.calculateTax(net), rest = included - static_cast<int32_t>(unitSum);
            if (std::abs(rest - own) > static_cast<int32_t>(paid.size()))
                TAVLO_LOG("Tax calculation for tax included off by %d for %@, auto-adjusted", rest - own, s.name());
            t = lineTax - sum;
        }
        sum += t;
        if (!taxName || tax.name() == taxName) named += t;
    }
    return static_cast<int32_t>(named);
}

int32_t Order::getTax(const Text& taxName, const Selection& selection, int32_t units, int32_t netCharge,
                      int32_t discount) const {
    return unitsTax(taxName, selection, units, netCharge, discount, taxPlan());
}

// ---- Lines

int32_t Order::lineSubTotal(const Selection& s, const TaxPlan& plan) const {
    const int32_t charge = s.getUnitCharge();
    int64_t subTotal = static_cast<int64_t>(s.quantity()) * charge;
    if (s.taxIncluded()) subTotal -= unitsTax(std::nullopt, s, s.quantity(), charge, 0, plan);
    return static_cast<int32_t>(subTotal);
}

// The part of a tax-included unit price that a comp takes off.
int32_t Order::includedCompMarkdown(const Selection& s) const {
    return s.compName() ? roundRate(s.getUnitCharge(), s.compPercent()) : 0;
}

int32_t Order::compPerUnit(const Selection& s, const TaxPlan& plan) const {
    if (!s.compName()) return 0;
    const int32_t charge = s.getUnitCharge();
    if (!s.taxIncluded()) return floorRate(charge, s.compPercent());
    // The net of the full price less the net of the comped price: the line then costs exactly
    // its comped price with the tax it includes.
    const int32_t comped = charge - includedCompMarkdown(s);
    return netOfIncludedTax(s, charge, plan) - netOfIncludedTax(s, comped, plan);
}

// What a discount can take from a line: its sub-total after comps.
int32_t Order::lineAfterComp(const Selection& s, const TaxPlan& plan) const {
    return std::max(0, lineSubTotal(s, plan) - s.quantity() * compPerUnit(s, plan));
}

int32_t Order::getSubTotal(const Selection& selection) const { return lineSubTotal(selection, taxPlan()); }

int32_t Order::compPerUnit(const Selection& selection) const { return compPerUnit(selection, taxPlan()); }

int32_t Order::getSubTotal() const {
    TaxPlan plan = taxPlan();
    int64_t sum = 0;
    for (const auto& s : selections_)
        if (!s->deleted()) sum += lineSubTotal(*s, plan);
    return static_cast<int32_t>(sum);
}

int32_t Order::getCompTotal() const {
    TaxPlan plan = taxPlan();
    int64_t sum = 0;
    for (const auto& s : selections_)
        if (!s->deleted()) sum += static_cast<int64_t>(compPerUnit(*s, plan)) * s->quantity();
    return static_cast<int32_t>(sum);
}

int32_t Order::getDiscountTotal() const {
    int64_t sum = 0;
    for (const auto& d : discounts_)
        if (!d->removed()) sum += d->amount();
    return static_cast<int32_t>(sum);
}

// ---- Order tax

int32_t Order::calculateTax(const Text& taxName, const Selection* line) const {
    TaxPlan plan = taxPlan();
    int32_t remaining = getDiscountTotal();
    int64_t result = 0;
    for (size_t i : lowestTaxOrder(plan)) {
        const Selection& s = *selections_[i];
        const int32_t q = s.quantity();

        // The discount is spread from the first line of the lowest-tax order on, whatever line
        // is asked about.
        int32_t discount = 0, afterComp = 0;
        if (remaining >= 1) {
            afterComp = lineAfterComp(s, plan);
            discount = std::min(remaining, afterComp);
            remaining -= discount;
        }
        if (line && !sameLine(s, *line)) continue;

        if (s.taxIncluded()) {
            // The tax of a tax-included line is the tax its comped price includes, lowered with
            // the net its discount leaves.
            result += unitsTax(taxName, s, q, s.getUnitCharge() - includedCompMarkdown(s), discount, plan);
            continue;
        }
        const int64_t baseDiscount = discountOfBase(s, discount, afterComp);
        for (const OrderTax* tax : plan.byRate()) {
            if (taxName && tax->name() != taxName) continue;
            if (!pays(s, *tax, plan)) continue;
            int64_t unitTax = 0;
            int64_t carry = baseDiscount;
            const int64_t taxable = s.unitTaxableAmount(*tax, 0, taxOverride_);
            if (taxable >= 1) {
                const int64_t base = taxable * q;
                const int64_t reduction = s.compAmount(static_cast<int32_t>(base)) + baseDiscount;
                if (base > reduction) unitTax = s.applyMultiplier(tax->calculateUnitTax(base - reduction, q));
                carry = reduction > base ? reduction - base : 0;
            }
            if (tax->name() && s.hasPredefinedTax(*tax->name())) {
                const int64_t fixed = s.unitPredefinedTax(*tax, 0, taxOverride_);
                if (fixed != 0) {
                    const int64_t base = static_cast<int64_t>(s.unitPredefinedTaxable(*tax, 0, taxOverride_)) * q;
                    const int64_t reduction = s.compAmount(static_cast<int32_t>(base)) + carry;
                    if (reduction <= base) {
                        // A fixed amount on a free part (base 0) is owed whole.
                        const int32_t off =
                            base == 0 ? 0
                                      : tax->round(static_cast<double>(fixed * reduction) / static_cast<double>(base));
                        unitTax += fixed - off;
                    }
                }
            }
            result += q * unitTax;
        }
        if (line) break;
    }
    return static_cast<int32_t>(result);
}

int32_t Order::getTax(const Text& taxName, const Selection* line) const {
    TaxPlan plan = taxPlan();
    int32_t remaining = getDiscountTotal();
    int64_t result = 0;
    for (size_t i : lowestTaxOrder(plan)) {
        const Selection& s = *selections_[i];
        int32_t discount = 0;
        if (remaining >= 1) {
            discount = std::min(remaining, lineAfterComp(s, plan));
            remaining -= discount;
        }
        if (line && !sameLine(s, *line)) continue;
        const int32_t charge = s.getUnitCharge();
        const int32_t unitCharge = s.taxIncluded() ? charge - includedCompMarkdown(s) : charge - compPerUnit(s, plan);
        result += unitsTax(taxName, s, s.quantity(), unitCharge, discount, plan);
        if (line) break;
    }
    return static_cast<int32_t>(result);
}

// ---- Order totals

int32_t Order::getTotal() const { return getSubTotal() - getDiscountTotal() - getCompTotal() + getTaxTotal(); }

int32_t Order::getGratuity() const {
    if (seats_ < gratuityMinSeats_) return 0;
    int64_t base = getSubTotal();
    if (!tipGratuityBeforeCompDisc_) base -= static_cast<int64_t>(getCompTotal()) + getDiscountTotal();
    if (tipGratuityAfterTax_) base += getTaxTotal();
    return floorRate(base, gratuityPercentage_);
}

int32_t Order::getPaid() const {
    int64_t sum = 0;
    for (const auto& p : payments_)
        if (!p->isVoided() && !p->tender().authorisesOnly) sum += p->subTotal();
    return static_cast<int32_t>(sum);
}

int32_t Order::getGratuityPaid() const {
    int64_t sum = 0;
    for (const auto& p : payments_)
        if (!p->isVoided() && !p->tender().authorisesOnly) sum += p->gratuity();
    return static_cast<int32_t>(sum);
}

} // namespace tavlo
