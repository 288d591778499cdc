#include "core/order/Selection.h"

#include "core/order/OrderTax.h"
#include "platform/foundation/Text.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tavlo {

namespace {

bool sameText(const std::optional<std::string>& a, const std::optional<std::string>& b) { return a && b && *a == *b; }

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return !names.empty() && std::find(names.begin(), names.end(), name) != names.end();
}

// ceil(a / b) for b > 0, exact in integers.
int64_t ceilDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if (a % b != 0 && a > 0) ++q;
    return q;
}

} // namespace

Selection::Selection() : created_(Date::now()) {}

Selection::Selection(std::optional<Date> created) : created_(created) {}

// ---- Sides

SelectionPtr Selection::addSide(const SelectionPtr& side) {
    modified_ = true;
    for (auto& chosen : selectedSides_)
        if (chosen->recipeId_ == side->recipeId_) {
            chosen->quantity_ += 1;
            return chosen;
        }
    selectedSides_.push_back(side);
    return side;
}

void Selection::clearSides() {
    if (selectedSides_.empty()) return;
    selectedSides_.clear();
    modified_ = true;
}

int32_t Selection::getQuantity(const Selection& side) const {
    for (const auto& chosen : selectedSides_)
        if (chosen->recipeId_ == side.recipeId_) return chosen->quantity_;
    return 0;
}

int32_t Selection::getSideCount() const {
    int32_t count = 0;
    for (const auto& chosen : selectedSides_) count += chosen->quantity_;
    return count;
}

class Selection::SideOrder {
public:
    explicit SideOrder(const std::vector<SelectionPtr>& sides) : size_(sides.size()) {
        if (size_ > inline_.size()) heap_.resize(size_);
        const Selection** out = data();
        for (size_t i = 0; i < size_; ++i) {
            // Insertion sort: stable, and quickest for a handful of entries.
            const Selection* s = sides[i].get();
            size_t j = i;
            for (; j > 0 && before(*s, *out[j - 1]); --j) out[j] = out[j - 1];
            out[j] = s;
        }
    }
    const Selection* const* begin() const { return const_cast<SideOrder*>(this)->data(); }
    const Selection* const* end() const { return begin() + size_; }
    size_t size() const { return size_; }

private:
    static bool before(const Selection& a, const Selection& b) {
        if (a.price_ != b.price_) return a.price_ < b.price_;
        return a.recipeId_ < b.recipeId_; // nil sorts first
    }
    const Selection** data() { return size_ > inline_.size() ? heap_.data() : inline_.data(); }

    size_t size_;
    std::array<const Selection*, 8> inline_; // filled before use
    std::vector<const Selection*> heap_;
};

Selection::SideOrder Selection::sidesByPrice() const { return SideOrder(selectedSides_); }

// A side without a remote id is still itself: the allowance must not count it twice.
bool Selection::isSameSide(const Selection& side, const Selection& other) const {
    return &side == &other || sameText(side.remoteId_, other.remoteId_);
}

int32_t Selection::chargableCount(const Selection& side) const {
    int32_t remaining = includedSides_;
    for (const Selection* entry : sidesByPrice()) {
        if (isSameSide(side, *entry)) return entry->quantity_ <= remaining ? 0 : entry->quantity_ - remaining;
        remaining -= entry->quantity_;
        if (remaining < 1) return side.quantity_;
    }
    return 0;
}

bool Selection::isChargable(const Selection& side) const {
    auto sorted = sidesByPrice();
    size_t skip = includedSides_ < 1 ? 0 : std::min<size_t>(static_cast<size_t>(includedSides_), sorted.size());
    return std::any_of(sorted.begin() + static_cast<std::ptrdiff_t>(skip), sorted.end(),
                       [&](const Selection* entry) { return side.isEqual(entry); });
}

int32_t Selection::getSideCharge(const Selection& side) const {
    const int32_t q = side.quantity_;
    const int32_t c = chargableCount(side);
    return side.price_ * c + side.additionPrice_ * (q - c) + side.getExtraCharges() * q;
}

// ---- Preparations

void Selection::addPreparation(const Preparation& preparation) {
    if (!isSelected(preparation.preparationId().value_or(std::string()))) selectedPreparations_.push_back(preparation);
}

bool Selection::isSelected(const std::string& preparationId) const {
    return std::any_of(selectedPreparations_.begin(), selectedPreparations_.end(),
                       [&](const Preparation& p) { return p.preparationId() == preparationId; });
}

int32_t Selection::getCharge(const std::string& preparationId) const {
    for (const auto& p : selectedPreparations_)
        if (p.preparationId() == preparationId) return p.charge();
    return 0;
}

// ---- Charges

int32_t Selection::getExtraCharges() const {
    int32_t extra = 0;
    for (const auto& p : selectedPreparations_) extra += p.charge();
    for (const auto& side : selectedSides_) extra += getSideCharge(*side);
    return extra;
}

// Exact in integers: a multiplier such as 33 % is not exact in binary, and ceil of 300 x 0.33
// computed in floating point gives 100 instead of 99.
int32_t Selection::applyMultiplier(int32_t amount) const {
    if (multiplier_ == -3) return amount / 3;
    return static_cast<int32_t>(ceilDiv(static_cast<int64_t>(amount) * multiplier_, 100));
}

std::string Selection::multiplierLabel() const {
    switch (multiplier_) {
    case 25: return "1/4";
    case 33:
    case -3: return "1/3";
    case 50: return "1/2";
    case 100: return "";
    default: break;
    }
    if (multiplier_ > 100) {
        std::string digits = std::to_string(multiplier_);
        return digits.substr(0, digits.size() - 2) + "." + digits.substr(digits.size() - 2);
    }
    if (multiplier_ >= 10) return format(".%ld", static_cast<long>(multiplier_));
    return format(".0%ld", static_cast<long>(multiplier_));
}

// ---- Comp

int32_t Selection::compAmount(int32_t amount) const {
    if (!hasComp() || quantity_ == 0) return 0;
    const int64_t perUnit = static_cast<int64_t>(compPercent_) * (amount / quantity_);
    return static_cast<int32_t>(quantity_ * static_cast<int64_t>(std::floor(static_cast<double>(perUnit) / 10000.0)));
}

// ---- Tax bases

bool Selection::hasPredefinedTax(const std::string& taxName) const {
    if (predefinedTaxes_.has(taxName) || additionPredefinedTaxes_.has(taxName)) return true;
    for (const auto& p : selectedPreparations_)
        if (p.hasPredefinedTax(taxName)) return true;
    for (const auto& side : selectedSides_)
        if (side->hasPredefinedTax(taxName)) return true;
    return false;
}

// Exempt when the tax is among the exemptions chosen on the line or those of its item, or when
// the line, every preparation and every side fix the tax at 0.
bool Selection::isExempt(const OrderTax& tax) const {
    if (!tax.name()) return false;
    const std::string& name = *tax.name();
    if (contains(taxExemptions_, name) || contains(defaultTaxExemptions_, name)) return true;
    auto own = predefinedTaxes_.entry(name);
    if (!own || *own != 0) return false;
    for (const auto& p : selectedPreparations_)
        if (!p.isExempt(tax)) return false;
    for (const auto& side : selectedSides_)
        if (!side->isExempt(tax)) return false;
    return true;
}

const TaxAmounts* Selection::ownTaxes(int addition) const {
    if (addition == 0) return &predefinedTaxes_;
    if (addition == 1) return &additionPredefinedTaxes_;
    return nullptr;
}

int32_t Selection::ownBase(int addition) const { return addition == 0 ? price_ : addition == 1 ? additionPrice_ : 0; }

int32_t Selection::unitPredefinedTax(const OrderTax& tax, int addition, bool override) const {
    if (!tax.name() || (!override && isExempt(tax))) return 0;
    const std::string& name = *tax.name();
    const TaxAmounts* own = ownTaxes(addition);
    int32_t sum = own ? own->amount(name) : 0;
    for (const auto& p : selectedPreparations_) sum += p.predefinedTax(name);
    for (const auto& side : selectedSides_) {
        const int32_t c = chargableCount(*side);
        if (c >= 1) sum += side->unitPredefinedTax(tax, 0, override) * c;
        if (side->quantity_ != c) sum += side->unitPredefinedTax(tax, 1, override) * (side->quantity_ - c);
    }
    return sum;
}

int32_t Selection::unitPredefinedTaxable(const OrderTax& tax, int addition, bool override) const {
    if (!tax.name() || (!override && isExempt(tax))) return 0;
    const std::string& name = *tax.name();
    const TaxAmounts* own = ownTaxes(addition);
    int32_t sum = own && own->has(name) ? ownBase(addition) : 0;
    for (const auto& p : selectedPreparations_)
        if (p.hasPredefinedTax(name)) sum += p.charge();
    for (const auto& side : selectedSides_) {
        const int32_t c = chargableCount(*side);
        if (c >= 1) sum += side->unitPredefinedTaxable(tax, 0, override) * c;
        if (side->quantity_ != c) sum += side->unitPredefinedTaxable(tax, 1, override) * (side->quantity_ - c);
    }
    return sum;
}

int32_t Selection::unitTaxableAmount(const OrderTax& tax, int addition, bool override) const {
    if (!override && isExempt(tax)) return 0;
    static const std::string unnamed;
    const std::string& name = tax.name() ? *tax.name() : unnamed;
    int32_t sum = 0;
    if (const TaxAmounts* own = ownTaxes(addition)) {
        auto fixed = own->entry(name);
        if (!fixed || (override && *fixed == 0)) sum = ownBase(addition);
    }
    for (const auto& p : selectedPreparations_)
        if (!p.hasPredefinedTax(name)) sum += p.charge();
    // Each part of a side is taxed either at the rate or by its fixed amount: a side that fixes
    // the tax on one part only still pays the rate on the others.
    for (const auto& side : selectedSides_) {
        const int32_t c = chargableCount(*side);
        if (c >= 1) sum += side->unitTaxableAmount(tax, 0, override) * c;
        if (side->quantity_ != c) sum += side->unitTaxableAmount(tax, 1, override) * (side->quantity_ - c);
    }
    return sum;
}

// ---- Equality

bool Selection::isEqual(const Selection* other) const {
    if (!other) return false;
    if (remoteId_ && other->remoteId_) return *remoteId_ == *other->remoteId_ || this == other;
    if (!remoteId_ && !other->remoteId_ && sameText(recipeId_, other->recipeId_)) {
        if (!menuId_ && !other->menuId_) return true;
        if (sameText(menuId_, other->menuId_)) return true;
    }
    return this == other;
}

} // namespace tavlo
