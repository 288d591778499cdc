#include "sync/storeload/StoreLoadCatalogue.h"

#include "core/util/TavloLog.h"
#include "platform/foundation/Text.h"

#include <unordered_set>

namespace tavlo {

namespace {

using Reader = StoreLoadReader;

struct ChargeFamily {
    const char* ownerId;
    const char* linkEntity;
    const char* ownerLink;
    const char* taxEntity;
    const char* taxLink;
    const char* missingPreparation;
    const char* missingTax;
};

const ChargeFamily& familyOf(StoreLoadCatalogue::ChargeOwner kind) {
    static const ChargeFamily families[] = {
        {"itemId", "ItemPreparation", "item", "TaxItemPreparation", "itemPreparation",
         "Unable to find preparation %@ for item %@", "Unable to find tax %@ for item %@"},
        {"sectionId", "SectionPreparation", "section", "TaxSectionPreparation", "sectionPreparation",
         "Unable to find preparation %@ for section %@", "Unable to find tax %@ for section %@"},
        {"menuId", "MenuPreparation", "menu", "TaxMenuPreparation", "menuPreparation",
         "Unable to find preparation %@ for menu %@", "Unable to find tax %@ for menu %@"},
    };
    return families[static_cast<int>(kind)];
}

} // namespace

xmlNodePtr StoreLoadCatalogue::updateRecipeGroups(xmlNodePtr node) {
    for (; Reader::isNamed(node, "recipeGroup"); node = Reader::next(node)) {
        ManagedObjectPtr group = r_.rowFor(node, "RecipeGroup", "recipeGroupId");
        if (!group) continue;
        group->setValue("name", r_.text(node, "recipeGroupName"));
        group->setValue("disabled", r_.flag(node, "disabled"));
    }
    return node;
}

xmlNodePtr StoreLoadCatalogue::updatePreparations(xmlNodePtr node) {
    for (; Reader::isNamed(node, "preparation"); node = Reader::next(node)) {
        ManagedObjectPtr preparation = r_.rowFor(node, "Preparation", "preparationId");
        if (!preparation) continue;
        preparation->setValue("name", Reader::shortName(r_.text(node, "preparationName")));
        preparation->setValue("announce", r_.text(node, "preparationAnnouncerName"));
        preparation->setValue("price", r_.integer(node, "price"));
        preparation->setValue("disabled", r_.flag(node, "disabled"));
        taxAmounts(node, "TaxPreparation", "preparation", preparation, "amount", [&](const auto& taxId) {
            TAVLO_LOG_MAIL("Unable to find tax %@ for preparation %@", taxId, preparation->text("preparationId"));
        });
    }
    return node;
}

xmlNodePtr StoreLoadCatalogue::updatePreparationGroups(xmlNodePtr node) {
    for (; Reader::isNamed(node, "preparationGroup"); node = Reader::next(node)) {
        ManagedObjectPtr group = r_.rowFor(node, "PreparationGroup", "preparationGroupId");
        if (!group) continue;
        group->setValue("name", Reader::shortName(r_.text(node, "preparationGroupName")));
        group->setValue("minimum", r_.integer(node, "preparationGroupMinAllowed"));
        group->setValue("maximum", r_.integer(node, "preparationGroupMaxAllowed"));
        group->setValue("storeWide", r_.flag(node, "preparationGroupStoreWide"));
        associatePreparationGroupPreparations(group, node);
    }
    return node;
}

void StoreLoadCatalogue::associatePreparationGroupPreparations(const ManagedObjectPtr& group, xmlNodePtr element) {
    std::unordered_set<const ManagedObject*> kept;
    int32_t sequence = 0;
    for (const std::string& id : r_.ids(element, "preparationId")) {
        ManagedObjectPtr preparation = r_.index().find("Preparation", "preparationId", id);
        if (!preparation) {
            TAVLO_LOG_MAIL("Unable to find preparation %@ for group %@", id, group->text("preparationGroupId"));
            continue;
        }
        ManagedObjectPtr link = r_.index().findOrInsert("PreparationGroupPreparation", {"preparation", "preparationGroup"},
                                                        {preparation.get(), group.get()});
        link->setValue("sequence", sequence++);
        kept.insert(link.get());
    }
    for (const ManagedObjectPtr& link : group->toMany("preparationGroupPreparations"))
        if (!kept.count(link.get())) r_.context().deleteObject(link);
}

void StoreLoadCatalogue::setRecipe(const ManagedObjectPtr& row, xmlNodePtr element, const char* missingFormat) {
    std::optional<std::string> recipeId = r_.nonEmptyText(element, "recipeId");
    if (!recipeId) return;
    if (ManagedObjectPtr recipe = r_.index().find("Recipe", "recipeId", *recipeId)) row->setToOne("recipe", recipe);
    else TAVLO_LOG_MAIL(missingFormat, *recipeId, Reader::attribute(element, "id"));
}

xmlNodePtr StoreLoadCatalogue::updateRecipes(xmlNodePtr node) {
    for (; Reader::isNamed(node, "recipe"); node = Reader::next(node)) {
        bool inserted = false;
        ManagedObjectPtr recipe = r_.rowFor(node, "Recipe", "recipeId", &inserted);
        if (!recipe) continue;
        const std::optional<std::string> recipeId = recipe->text("recipeId");
        recipe->setValue("name", Reader::shortName(r_.text(node, "recipeName")));
        std::optional<std::string> available = r_.text(node, "available");
        recipe->setValue("available", available ? Value(intValue(*available)) : Value());
        recipe->setValue("announce", r_.text(node, "recipeAnnouncerName"));
        recipe->setValue("disabled", r_.flag(node, "disabled"));
        if (std::optional<std::string> groupId = r_.text(node, "recipeGroupId")) {
            if (ManagedObjectPtr group = r_.index().find("RecipeGroup", "recipeGroupId", *groupId))
                recipe->setToOne("recipeGroup", group);
            else if (*groupId != "-1")
                TAVLO_LOG("Unable to find recipeGroup %@ for recipe %@", *groupId, recipeId);
        }
        if (!inserted)
            for (const ManagedObjectPtr& link : recipe->toMany("recipePreparationGroups")) r_.context().deleteObject(link);
        int32_t sequence = 0;
        for (const std::string& groupId : r_.runTexts(node, "preparationGroupId")) {
            if (ManagedObjectPtr group = r_.index().find("PreparationGroup", "preparationGroupId", groupId))
                updateRecipePreparationGroup(group, recipe, sequence++, false);
            else
                TAVLO_LOG("Unable to find preparationGroup %@ which is part of recipe %@", groupId, recipeId);
        }
    }
    return node;
}

void StoreLoadCatalogue::updateRecipePreparationGroup(const ManagedObjectPtr& group, const ManagedObjectPtr& recipe,
                                                      int32_t sequence, bool required) {
    ManagedObjectPtr link =
        r_.index().findOrInsert("RecipePreparationGroup", {"preparationGroup", "recipe"}, {group.get(), recipe.get()});
    link->setValue("sequence", sequence);
    link->setValue("required", required);
}

xmlNodePtr StoreLoadCatalogue::updateRecipePreparationGroups(xmlNodePtr node) {
    int32_t sequence = 0;
    for (; Reader::isNamed(node, "recipePreparationGroup"); node = Reader::next(node)) {
        std::optional<std::string> recipeId = r_.text(node, "recipeId");
        ManagedObjectPtr recipe = recipeId ? r_.index().find("Recipe", "recipeId", *recipeId) : nullptr;
        if (!recipe) {
            TAVLO_LOG_MAIL("Unable to find recipe %@", recipeId);
            continue;
        }
        std::optional<std::string> groupId = r_.text(node, "preparationGroupId");
        ManagedObjectPtr group = groupId ? r_.index().find("PreparationGroup", "preparationGroupId", *groupId) : nullptr;
        if (!group) {
            TAVLO_LOG_MAIL("Unable to find prepGroup %@", groupId);
            continue;
        }
        updateRecipePreparationGroup(group, recipe, sequence++, r_.flag(node, "required"));
    }
    return node;
}

void StoreLoadCatalogue::associateTaxExemptions(const ManagedObjectPtr& item, xmlNodePtr element) {
    if (!Reader::child(element, "exemptionTax")) return;
    r_.associate(item, "taxExemptions", "Tax", "taxId", r_.ids(element, "exemptionTax"), false,
                 [](const std::string& id) { TAVLO_LOG_MAIL("Unable to find tax %@ for item", id); });
}

void StoreLoadCatalogue::associateItemTaxes(const ManagedObjectPtr& item, xmlNodePtr element) {
    taxAmounts(element, "TaxItem", "item", item, "amount", [&](const auto& taxId) {
        TAVLO_LOG_MAIL("Unable to find tax %@ for item %@", taxId, item->text("itemId"));
    });
}

void StoreLoadCatalogue::taxAmounts(xmlNodePtr element, const char* entity, const char* ownerLink,
                                    const ManagedObjectPtr& owner, const char* amountChild,
                                    const std::function<void(const std::optional<std::string>& taxId)>& missing,
                                    const std::function<void(ManagedObject& row, xmlNodePtr amount)>& more) {
    for (xmlNodePtr t = Reader::child(element, "itemTaxAmount"); Reader::isNamed(t, "itemTaxAmount"); t = Reader::next(t)) {
        std::optional<std::string> taxId = r_.text(t, "taxId");
        ManagedObjectPtr tax = taxId ? r_.index().find("Tax", "taxId", *taxId) : nullptr;
        if (!tax) {
            missing(taxId);
            continue;
        }
        ManagedObjectPtr row = r_.index().findOrInsert(entity, {ownerLink, "tax"}, {owner.get(), tax.get()});
        row->setValue("amount", r_.integer(t, amountChild));
        if (more) more(*row, t);
    }
}

xmlNodePtr StoreLoadCatalogue::updateItems(xmlNodePtr node) {
    int32_t insertedBefore = 0;
    for (; Reader::isNamed(node, "item"); node = Reader::next(node)) {
        bool inserted = false;
        ManagedObjectPtr item = r_.rowFor(node, "Item", "itemId", &inserted);
        if (!item) continue;
        if (inserted) item->setValue("sequence", insertedBefore++);
        item->setValue("name", Reader::shortName(r_.text(node, "itemName")));
        for (const char* field : {"price", "sideCount", "shortcut"}) item->setValue(field, r_.integer(node, field));
        item->setValue("isCombo", false);
        for (const char* field : {"promptForPrice", "promptForQuantity", "timeBased", "disabled"})
            item->setValue(field, r_.flag(node, field));
        setRecipe(item, node, "Unable to find recipe %@ for item %@");
        associateTaxExemptions(item, node);
        if (Reader::child(node, "defaultSideId"))
            r_.associate(item, "defaultSides", "Side", "sideId", r_.ids(node, "defaultSideId"), false,
                         [](const std::string& id) { TAVLO_LOG_MAIL("Unable to find default side %@ for item", id); });
        if (xmlNodePtr charge = Reader::child(node, "preparationCharge"))
            associatePreparationCharges(ChargeOwner::Item, item, charge);
        associateItemTaxes(item, node);
    }
    return node;
}

void StoreLoadCatalogue::associatePreparationCharges(ChargeOwner kind, const ManagedObjectPtr& owner, xmlNodePtr first) {
    const ChargeFamily& f = familyOf(kind);
    const std::optional<std::string> ownerId = owner->text(f.ownerId);
    for (xmlNodePtr c = first; Reader::isNamed(c, "preparationCharge"); c = Reader::next(c)) {
        std::optional<std::string> preparationId = r_.text(c, "preparationId");
        ManagedObjectPtr preparation =
            preparationId ? r_.index().find("Preparation", "preparationId", *preparationId) : nullptr;
        if (!preparation) {
            TAVLO_LOG_MAIL(f.missingPreparation, preparationId, ownerId);
            continue;
        }
        ManagedObjectPtr link =
            r_.index().findOrInsert(f.linkEntity, {"preparation", f.ownerLink}, {preparation.get(), owner.get()});
        link->setValue("charge", r_.integer(c, "price"));
        taxAmounts(c, f.taxEntity, f.taxLink, link, "amount",
                   [&](const auto& taxId) { TAVLO_LOG_MAIL(f.missingTax, taxId, ownerId); });
    }
}

xmlNodePtr StoreLoadCatalogue::updateSideItems(xmlNodePtr node) {
    for (int32_t position = 0; Reader::isNamed(node, "sideItem"); node = Reader::next(node), ++position) {
        ManagedObjectPtr side = r_.rowFor(node, "Side", "sideId");
        if (!side) continue;
        side->setValue("price", r_.integer(node, "price"));
        side->setValue("additionPrice", r_.integer(node, "additionPrice"));
        side->setValue("sequence", position);
        setRecipe(side, node, "Unable to find recipe %@ for side %@");
        taxAmounts(
            node, "TaxSide", "side", side, "amount",
            [&](const auto& taxId) { TAVLO_LOG_MAIL("Unable to find tax %@ for side %@", taxId, side->text("sideId")); },
            [&](ManagedObject& row, xmlNodePtr amount) {
                if (Reader::child(amount, "amountAdd")) row.setValue("amountAddition", r_.integer(amount, "amountAdd"));
            });
    }
    return node;
}

xmlNodePtr StoreLoadCatalogue::updateComboItems(xmlNodePtr node, ComboPass pass) {
    const bool logMissing = pass == ComboPass::Last;
    for (int32_t position = 0; Reader::isNamed(node, "comboItem"); node = Reader::next(node), ++position) {
        ManagedObjectPtr combo = r_.rowFor(node, "Item", "itemId");
        if (!combo) continue;
        std::optional<std::string> name = r_.text(node, "comboItemName");
        combo->setValue("name", name);
        for (const char* field : {"price", "sideCount", "shortcut"}) combo->setValue(field, r_.integer(node, field));
        combo->setValue("sequence", position);
        combo->setValue("promptForPrice", r_.flag(node, "promptForPrice"));
        combo->setValue("isCombo", true);
        for (const std::string& itemId : r_.runTexts(node, "itemId")) {
            ManagedObjectPtr part = r_.index().find("Item", "itemId", itemId);
            if (part) combo->addTo("items", part);
            else if (logMissing) TAVLO_LOG("Unable to find item %@ which is part of combo item %@", itemId, name);
        }
        int32_t sequence = 0;
        for (xmlNodePtr g = Reader::child(node, "comboItemComboGroup"); Reader::isNamed(g, "comboItemComboGroup");
             g = Reader::next(g)) {
            std::optional<std::string> groupId = r_.text(g, "comboGroupId");
            ManagedObjectPtr group = groupId ? r_.index().find("ComboGroup", "comboGroupId", *groupId) : nullptr;
            if (!group) {
                if (logMissing) TAVLO_LOG("Unable to find combo group %@ which is part of combo item %@", groupId, name);
                continue;
            }
            ManagedObjectPtr link = r_.index().findOrInsert("ItemComboGroup", {"item", "comboGroup"}, {combo.get(), group.get()});
            link->setValue("count", r_.integer(g, "itemCount"));
            link->setValue("sequence", sequence++);
        }
        associateTaxExemptions(combo, node);
        associateItemTaxes(combo, node);
    }
    return node;
}

void StoreLoadCatalogue::updateComboGroup(xmlNodePtr node) {
    ManagedObjectPtr group = r_.rowFor(node, "ComboGroup", "comboGroupId");
    if (!group) return;
    group->setValue("name", r_.text(node, "comboGroupName"));
    int32_t sequence = 0;
    for (xmlNodePtr gi = Reader::child(node, "comboGroupItem"); Reader::isNamed(gi, "comboGroupItem"); gi = Reader::next(gi)) {
        std::optional<std::string> itemId = r_.text(gi, "itemId");
        ManagedObjectPtr item = itemId ? r_.index().find("Item", "itemId", *itemId) : nullptr;
        if (!item) continue;
        ManagedObjectPtr link = r_.index().findOrInsert("ComboGroupItem", {"item", "comboGroup"}, {item.get(), group.get()});
        link->setValue("sequence", sequence++);
        link->setValue("additionPrice", r_.integer(gi, "additionPrice"));
        taxAmounts(gi, "TaxComboGroupItem", "comboGroupItem", link, "amountAdd", [&](const auto& taxId) {
            TAVLO_LOG_MAIL("Unable to find tax %@ for comboGroup %@", taxId, group->text("comboGroupId"));
        });
    }
}

} // namespace tavlo
