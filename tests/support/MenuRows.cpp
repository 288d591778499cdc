#include "support/MenuRows.h"

namespace tavlo::test {

ManagedObjectPtr MenuRows::tax(const std::string& taxId, const std::string& name, int32_t percentage,
                               const std::string& rounding) {
    auto row = context_->insert("Tax");
    row->setValue("taxId", taxId);
    row->setValue("name", name);
    row->setValue("percentage", percentage);
    row->setValue("roundingMethod", rounding);
    return row;
}

ManagedObjectPtr MenuRows::recipe(const std::string& recipeId, const std::string& name,
                                  std::optional<int32_t> available) {
    auto row = context_->insert("Recipe");
    row->setValue("recipeId", recipeId);
    row->setValue("name", name);
    row->setValue("available", available);
    return row;
}

ManagedObjectPtr MenuRows::menu(const std::string& menuId, const std::string& name) {
    auto row = context_->insert("Menu");
    row->setValue("menuId", menuId);
    row->setValue("name", name);
    return row;
}

ManagedObjectPtr MenuRows::section(const std::string& sectionId, const ManagedObjectPtr& menu) {
    auto row = context_->insert("Section");
    row->setValue("sectionId", sectionId);
    row->setToOne("menu", menu);
    return row;
}

ManagedObjectPtr MenuRows::item(const std::string& itemId, const std::string& name, int32_t price,
                                const ManagedObjectPtr& recipe, const ManagedObjectPtr& menu, int32_t sideCount) {
    auto row = context_->insert("Item");
    row->setValue("itemId", itemId);
    row->setValue("name", name);
    row->setValue("price", price);
    row->setValue("sideCount", sideCount);
    row->setValue("isCombo", recipe == nullptr);
    if (recipe) row->setToOne("recipe", recipe);
    if (menu) row->setToOne("menu", menu);
    return row;
}

ManagedObjectPtr MenuRows::comboGroup(const std::string& groupId, const std::string& name,
                                      const ManagedObjectPtr& combo, int32_t count, int32_t sequence,
                                      const std::vector<std::pair<ManagedObjectPtr, int32_t>>& items) {
    auto group = context_->insert("ComboGroup");
    group->setValue("comboGroupId", groupId);
    group->setValue("name", name);
    int32_t itemSequence = 0;
    for (const auto& [item, additionPrice] : items) {
        auto row = context_->insert("ComboGroupItem");
        row->setValue("sequence", ++itemSequence);
        row->setValue("additionPrice", additionPrice);
        row->setToOne("comboGroup", group);
        row->setToOne("item", item);
    }
    auto link = context_->insert("ItemComboGroup");
    link->setValue("count", count);
    link->setValue("sequence", sequence);
    link->setToOne("item", combo);
    link->setToOne("comboGroup", group);
    return group;
}

ManagedObjectPtr MenuRows::side(const std::string& sideId, const ManagedObjectPtr& recipe, const ManagedObjectPtr& menu,
                                int32_t price, int32_t additionPrice) {
    auto row = context_->insert("Side");
    row->setValue("sideId", sideId);
    row->setValue("price", price);
    row->setValue("additionPrice", additionPrice);
    row->setToOne("recipe", recipe);
    if (menu) row->setToOne("menu", menu);
    return row;
}

ManagedObjectPtr MenuRows::preparation(const std::string& preparationId, const std::string& name, int32_t price) {
    auto row = context_->insert("Preparation");
    row->setValue("preparationId", preparationId);
    row->setValue("name", name);
    row->setValue("price", price);
    return row;
}

ManagedObjectPtr MenuRows::preparationGroup(const std::string& groupId, const std::string& name, int32_t minimum,
                                            int32_t maximum, const std::vector<ManagedObjectPtr>& preparations) {
    auto group = context_->insert("PreparationGroup");
    group->setValue("preparationGroupId", groupId);
    group->setValue("name", name);
    group->setValue("minimum", minimum);
    group->setValue("maximum", maximum);
    int32_t sequence = 0;
    for (const ManagedObjectPtr& preparation : preparations) {
        auto member = context_->insert("PreparationGroupPreparation");
        member->setValue("sequence", ++sequence);
        member->setToOne("preparation", preparation);
        member->setToOne("preparationGroup", group);
    }
    return group;
}

ManagedObjectPtr MenuRows::recipePreparationGroup(const ManagedObjectPtr& recipe, const ManagedObjectPtr& group,
                                                  int32_t sequence, bool required) {
    auto row = context_->insert("RecipePreparationGroup");
    row->setValue("sequence", sequence);
    row->setValue("required", required);
    row->setToOne("recipe", recipe);
    row->setToOne("preparationGroup", group);
    return row;
}

ManagedObjectPtr MenuRows::charge(const std::string& entity, const std::string& ownerLink,
                                  const ManagedObjectPtr& owner, const ManagedObjectPtr& preparation, int32_t charge) {
    auto row = context_->insert(entity);
    row->setValue("charge", charge);
    row->setToOne(ownerLink, owner);
    row->setToOne("preparation", preparation);
    return row;
}

ManagedObjectPtr MenuRows::taxAmount(const std::string& entity, const std::string& ownerLink,
                                     const ManagedObjectPtr& owner, const ManagedObjectPtr& tax,
                                     std::optional<int32_t> amount, std::optional<int32_t> amountAddition) {
    auto row = context_->insert(entity);
    row->setValue("amount", amount);
    if (amountAddition) row->setValue("amountAddition", *amountAddition);
    row->setToOne(ownerLink, owner);
    row->setToOne("tax", tax);
    return row;
}

} // namespace tavlo::test
