#include "core/order/ComboSelection.h"

#include "core/order/OrderTax.h"

namespace tavlo {

namespace {

// Adds one unit to the component of the same recipe, or appends `component`; answers the one kept.
SelectionPtr addUnit(std::vector<SelectionPtr>& list, const SelectionPtr& component) {
    for (auto& k : list)
        if (k->recipeId() == component->recipeId()) {
            k->setQuantity(k->quantity() + 1);
            return k;
        }
    list.push_back(component);
    return component;
}

// Takes one unit off the first component of the same recipe, dropping it at its last unit;
// answers that component, null when none matches.
SelectionPtr removeUnit(std::vector<SelectionPtr>& list, const Selection& component) {
    for (auto it = list.begin(); it != list.end(); ++it)
        if ((*it)->recipeId() == component.recipeId()) {
            SelectionPtr found = *it;
            if (found->quantity() < 2) list.erase(it);
            else found->setQuantity(found->quantity() - 1);
            return found;
        }
    return nullptr;
}

} // namespace

void ComboSelection::addSelection(const SelectionPtr& component) {
    addUnit(selections_, component);
    setModified(true);
}

void ComboSelection::removeSelection(const Selection& component) {
    removeUnit(selections_, component);
    setModified(true);
}

const std::vector<SelectionPtr>* ComboSelection::getSelections(const std::string& groupId) const {
    auto it = groupSelections_.find(groupId);
    return it == groupSelections_.end() ? nullptr : &it->second;
}

int32_t ComboSelection::getSelectionCount(const std::string& groupId) const {
    int32_t count = 0;
    if (const auto* group = getSelections(groupId))
        for (const auto& k : *group) count += k->quantity();
    return count;
}

int32_t ComboSelection::getQuantity(const Selection& component, const std::string& groupId) const {
    if (const auto* group = getSelections(groupId))
        for (const auto& k : *group)
            if (k->recipeId() == component.recipeId()) return k->quantity();
    return 0;
}

SelectionPtr ComboSelection::addSelection(const SelectionPtr& component, const std::string& groupId) {
    component->setReferenceId(groupId);
    setModified(true);
    return addUnit(groupSelections_[groupId], component);
}

SelectionPtr ComboSelection::removeSelection(const SelectionPtr& component, const std::string& groupId) {
    // The group's own component, which the caller counts down with it (its units to send); the
    // argument when the group has none of that recipe.
    SelectionPtr removed;
    auto it = groupSelections_.find(groupId);
    if (it != groupSelections_.end() && component) removed = removeUnit(it->second, *component);
    setModified(true);
    return removed ? removed : component;
}

std::vector<std::string> ComboSelection::getGroups() const {
    std::vector<std::string> ids;
    for (const auto& [id, group] : groupSelections_) ids.push_back(id);
    return ids;
}

std::vector<SelectionPtr> ComboSelection::getAllSelections() const {
    std::vector<SelectionPtr> all = selections_;
    for (const auto& [id, group] : groupSelections_) all.insert(all.end(), group.begin(), group.end());
    return all;
}

template <typename F> int32_t ComboSelection::sumComponents(int fixedAddition, F f) const {
    int32_t sum = 0;
    for (const auto& k : selections_) sum += f(*k, fixedAddition) * k->quantity();
    for (const auto& [id, group] : groupSelections_)
        for (const auto& g : group) sum += f(*g, 1) * g->quantity();
    return sum;
}

int32_t ComboSelection::getExtraCharges() const {
    return Selection::getExtraCharges() +
           sumComponents(1, [](const Selection& k, int) { return k.additionPrice() + k.getExtraCharges(); });
}

bool ComboSelection::hasPredefinedTax(const std::string& taxName) const {
    if (Selection::hasPredefinedTax(taxName)) return true;
    for (const auto& k : getAllSelections())
        if (k->hasPredefinedTax(taxName)) return true;
    return false;
}

int32_t ComboSelection::unitPredefinedTax(const OrderTax& tax, int addition, bool override) const {
    if (!override && isExempt(tax)) return 0;
    return Selection::unitPredefinedTax(tax, addition, override) +
           sumComponents(addition, [&](const Selection& k, int a) { return k.unitPredefinedTax(tax, a, override); });
}

int32_t ComboSelection::unitPredefinedTaxable(const OrderTax& tax, int addition, bool override) const {
    if (!override && isExempt(tax)) return 0;
    return Selection::unitPredefinedTaxable(tax, addition, override) +
           sumComponents(1, [&](const Selection& k, int a) { return k.unitPredefinedTaxable(tax, a, override); });
}

int32_t ComboSelection::unitTaxableAmount(const OrderTax& tax, int addition, bool override) const {
    if (!override && isExempt(tax)) return 0;
    return Selection::unitTaxableAmount(tax, addition, override) +
           sumComponents(1, [&](const Selection& k, int a) { return k.unitTaxableAmount(tax, a, override); });
}

bool ComboSelection::isCompable(Session& session) const {
    for (const auto& k : getAllSelections())
        if (!k->isCompable(session)) return false;
    return true;
}

} // namespace tavlo
