#pragma once

#include "platform/store/ObjectContext.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavlo::test {

// Inserts the store's menu rows that order lines read (taxes, recipes, items, sides,
// preparations and their charges), a few fields at a time. Nothing is saved.
class MenuRows {
public:
    using TaxAmount = std::pair<ManagedObjectPtr, int32_t>; // Tax row, amount

    explicit MenuRows(ObjectContext* context) : context_(context) {}

    ManagedObjectPtr tax(const std::string& taxId, const std::string& name, int32_t percentage,
                         const std::string& rounding = "round");
    // `available` nil: not counted.
    ManagedObjectPtr recipe(const std::string& recipeId, const std::string& name,
                            std::optional<int32_t> available = std::nullopt);
    ManagedObjectPtr menu(const std::string& menuId, const std::string& name);
    ManagedObjectPtr section(const std::string& sectionId, const ManagedObjectPtr& menu);
    // An item; without a recipe it is a combo.
    ManagedObjectPtr item(const std::string& itemId, const std::string& name, int32_t price,
                          const ManagedObjectPtr& recipe, const ManagedObjectPtr& menu, int32_t sideCount = 0);
    // A combo group of the combo item, at `sequence` among its groups, from which `count` items are
    // chosen: the items with their addition prices, in that order (sequence 1, 2, ...).
    ManagedObjectPtr comboGroup(const std::string& groupId, const std::string& name, const ManagedObjectPtr& combo,
                                int32_t count, int32_t sequence,
                                const std::vector<std::pair<ManagedObjectPtr, int32_t>>& items);
    ManagedObjectPtr side(const std::string& sideId, const ManagedObjectPtr& recipe, const ManagedObjectPtr& menu,
                          int32_t price, int32_t additionPrice);
    ManagedObjectPtr preparation(const std::string& preparationId, const std::string& name, int32_t price);
    // A preparation group holding the preparations in the order given (sequence 1, 2, ...).
    ManagedObjectPtr preparationGroup(const std::string& groupId, const std::string& name, int32_t minimum,
                                      int32_t maximum, const std::vector<ManagedObjectPtr>& preparations);
    // The group offered for the recipe's items, at `sequence` among the recipe's groups.
    ManagedObjectPtr recipePreparationGroup(const ManagedObjectPtr& recipe, const ManagedObjectPtr& group,
                                            int32_t sequence, bool required);
    // A charge row (ItemPreparation, SectionPreparation or MenuPreparation) linking `owner` under
    // `ownerLink` to the preparation.
    ManagedObjectPtr charge(const std::string& entity, const std::string& ownerLink, const ManagedObjectPtr& owner,
                            const ManagedObjectPtr& preparation, int32_t charge);
    // A fixed tax amount row (TaxItem, TaxSide, TaxPreparation, ...) of `owner` under `ownerLink`.
    ManagedObjectPtr taxAmount(const std::string& entity, const std::string& ownerLink, const ManagedObjectPtr& owner,
                               const ManagedObjectPtr& tax, std::optional<int32_t> amount,
                               std::optional<int32_t> amountAddition = std::nullopt);

private:
    ObjectContext* context_;
};

} // namespace tavlo::test
