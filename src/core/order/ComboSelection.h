#pragma once

#include "core/order/Selection.h"

#include <map>
#include <string>
#include <vector>

namespace tavlo {

// An order line for a combo item: the combo's own name and price, fixed components that come with
// every combo, and components chosen per combo group. Inside a combo a component pays its
// addition price, not its price. Within one list components are told apart by recipe id.
class ComboSelection : public Selection {
public:
    ComboSelection() = default;
    // A combo made at `created`: a stored line read back.
    explicit ComboSelection(std::optional<Date> created) : Selection(created) {}

    // A component chosen in a combo group, from the group's `ComboGroupItem` row: its item's
    // line at the row's addition price, ordered by `server`.
    static SelectionPtr groupComponentFrom(const ManagedObject& groupItem, const Text& server);

    // Fixed components.
    std::vector<SelectionPtr> getSelections() const { return selections_; }
    void addSelection(const SelectionPtr& component);
    void removeSelection(const Selection& component);

    // Group components.
    // The group's components; null when the group has none.
    const std::vector<SelectionPtr>* getSelections(const std::string& groupId) const;
    int32_t getSelectionCount(const std::string& groupId) const;
    int32_t getQuantity(const Selection& component, const std::string& groupId) const;
    SelectionPtr addSelection(const SelectionPtr& component, const std::string& groupId);
    SelectionPtr removeSelection(const SelectionPtr& component, const std::string& groupId);
    std::vector<std::string> getGroups() const;
    // The fixed components, then the components of every group.
    std::vector<SelectionPtr> getAllSelections() const;

    int32_t getExtraCharges() const override;
    // Every component is compable (the combo has no recipe of its own).
    bool isCompable(Session& session) const override;

    bool hasPredefinedTax(const std::string& taxName) const override;
    int32_t unitPredefinedTax(const OrderTax& tax, int addition, bool override) const override;
    int32_t unitPredefinedTaxable(const OrderTax& tax, int addition, bool override) const override;
    int32_t unitTaxableAmount(const OrderTax& tax, int addition, bool override) const override;

    // Local store, server XML and copies (ComboSelectionPersistence.cpp): the line's own row
    // with its components' rows and links.
    using Selection::read;
    using Selection::write;
    ManagedObjectPtr write(ObjectContext& context) override;
    void read(const ManagedObject& row) override;
    void read(xmlNodePtr element, xmlDocPtr doc, ObjectContext* context) override;
    SelectionPtr clone() const override;

    const std::vector<SelectionPtr>& selections() const { return selections_; }
    const std::map<std::string, std::vector<SelectionPtr>>& groupSelections() const { return groupSelections_; }

private:
    // Sum over every component of f(component, flag for it) x its quantity; fixed components take
    // `fixedAddition`, group components 1.
    template <typename F> int32_t sumComponents(int fixedAddition, F f) const;

    std::vector<SelectionPtr> selections_;
    std::map<std::string, std::vector<SelectionPtr>> groupSelections_;
};

} // namespace tavlo
