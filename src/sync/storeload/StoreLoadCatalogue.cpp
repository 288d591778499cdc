#include "sync/storeload/StoreLoadCatalogue.h"

#include "core/util/TavloLog.h"

#include <stdexcept>
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
        XmlFields xml(node, r_.doc());
        group->setValue("name", xml.text("recipeGroupName"));
        group->setValue("disabled", xml.flag("disabled"));
    }
    return node;
}

xmlNodePtr StoreLoadCatalogue::updatePreparations(xmlNodePtr node) {
    for (; Reader::isNamed(node, "preparation"); node = Reader::next(node)) {
        ManagedObjectPtr preparation = r_.rowFor(node, "Preparation", "preparationId");
        if (!preparation) continue;
        XmlFields xml(node, r_.doc());
        preparation->setValue("name", Reader::shortName(xml.text("preparationName")));
        preparation->setValue("announce", xml.text("preparationAnnouncerName"));
        preparation->setValue("price", xml.integer("price"));
        preparation->setValue("disabled", xml.flag("disabled"));
        taxAmounts(xml, "TaxPreparation", "preparation", preparation, "amount", [&](const auto& taxId) {
            TAVLO_LOG_MAIL("Unable to find tax %@ for preparation %@", taxId, preparation->text("preparationId"));
        });
    }
    return node;
}

xmlNodePtr StoreLoadCatalogue::updatePreparationGroups(xmlNodePtr node) {
    for (; Reader::isNamed(node, "preparationGroup"); node = Reader::next(node)) {
        ManagedObjectPtr group = r_.rowFor(node, "PreparationGroup", "preparationGroupId");
        if (!group) continue;
        XmlFields xml(node, r_.doc());
        group->setValue("name", Reader::shortName(xml.text("preparationGroupName")));
        group->setValue("minimum", xml.integer("preparationGroupMinAllowed"));
        group->setValue("maximum", xml.integer("preparationGroupMaxAllowed"));
        group->setValue("storeWide", xml.flag("preparationGroupStoreWide"));
        associatePreparationGroupPreparations(group, xml);
    }
    return node;
}

void StoreLoadCatalogue::associatePreparationGroupPreparations(const ManagedObjectPtr& group,
                                                               const XmlFields& element) {
    std::unordered_set<const ManagedObject*> kept;
    int32_t sequence = 0;
    for (const std::string& id : element.texts("preparationId")) {
        ManagedObjectPtr preparation = r_.index().find("Preparation", "preparationId", id);
        if (!preparation) {
            TAVLO_LOG_MAIL("Unable to find preparation %@ for group %@", id, group->text("preparationGroupId"));
            continue;
        }
        ManagedObjectPtr link = r_.index().findOrInsert(
            "PreparationGroupPreparation", {"preparation", "preparationGroup"}, {preparation.get(), group.get()});
        link->setValue("sequence", sequence++);
        kept.insert(link.get());
    }
    for (const ManagedObjectPtr& link : group->toMany("preparationGroupPreparations"))
        if (!kept.count(link.get())) r_.context().deleteObject(link);
}

void StoreLoadCatalogue::setRecipe(const ManagedObjectPtr& row, const XmlFields& element, const char* missingFormat) {
    std::optional<std::string> recipeId = element.text("recipeId");
    if (!recipeId) return;
    // By its id: a recipe the load holds packed stays packed.
    const ObjectID recipe = r_.index().findID("Recipe", "recipeId", *recipeId);
    const RelationshipDescription* link = row->entity().relationshipNamed("recipe");
    if (!link) throw std::logic_error(row->entityName() + " has no recipe");
    if (recipe.isValid()) row->setToOne(*link, recipe);
    else TAVLO_LOG_MAIL(missingFormat, *recipeId, element.attribute("id"));
}

xmlNodePtr StoreLoadCatalogue::updateRecipes(xmlNodePtr node) {
    for (; Reader::isNamed(node, "recipe"); node = Reader::next(node)) {
        bool inserted = false;
        ManagedObjectPtr recipe = r_.rowFor(node, "Recipe", "recipeId", &inserted);
        if (!recipe) continue;
        XmlFields xml(node, r_.doc());
        const std::optional<std::string> recipeId = recipe->text("recipeId");
        recipe->setValue("name", Reader::shortName(xml.text("recipeName")));
        std::optional<int32_t> available = xml.integerIfPresent("available");
        recipe->setValue("available", available ? Value(*available) : Value());
        recipe->setValue("announce", xml.text("recipeAnnouncerName"));
        recipe->setValue("disabled", xml.flag("disabled"));
        if (std::optional<std::string> groupId = xml.text("recipeGroupId")) {
            if (ManagedObjectPtr group = r_.index().find("RecipeGroup", "recipeGroupId", *groupId))
                recipe->setToOne("recipeGroup", group);
            else if (*groupId != "-1") TAVLO_LOG("Unable to find recipeGroup %@ for recipe %@", *groupId, recipeId);
        }
        if (!inserted)
            for (const ManagedObjectPtr& link : recipe->toMany("recipePreparationGroups"))
                r_.context().deleteObject(link);
        int32_t sequence = 0;
        for (const std::string& groupId : xml.runTexts("preparationGroupId")) {
            if (ManagedObjectPtr group = r_.index().find("PreparationGroup", "preparationGroupId", groupId))
                updateRecipePreparationGroup(group, recipe, sequence++, false);
            else TAVLO_LOG("Unable to find preparationGroup %@ which is part of recipe %@", groupId, recipeId);
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
        XmlFields xml(node, r_.doc());
        std::optional<std::string> recipeId = xml.text("recipeId");
        ManagedObjectPtr recipe = recipeId ? r_.index().find("Recipe", "recipeId", *recipeId) : nullptr;
        if (!recipe) {
            TAVLO_LOG_MAIL("Unable to find recipe %@", recipeId);
            continue;
        }
        std::optional<std::string> groupId = xml.text("preparationGroupId");
        ManagedObjectPtr group =
            groupId ? r_.index().find("PreparationGroup", "preparationGroupId", *groupId) : nullptr;
        if (!group) {
            TAVLO_LOG_MAIL("Unable to find prepGroup %@", groupId);
            continue;
        }
        updateRecipePreparationGroup(group, recipe, sequence++, xml.flag("required"));
    }
    return node;
}

void StoreLoadCatalogue::associateTaxExemptions(const ManagedObjectPtr& item, const XmlFields& element) {
    if (!element.has("exemptionTax")) return;
    r_.associate(item, "taxExemptions", "Tax", "taxId", element.texts("exemptionTax"), false,
                 [](const std::string& id) { TAVLO_LOG_MAIL("Unable to find tax %@ for item", id); });
}

void StoreLoadCatalogue::associateItemTaxes(const ManagedObjectPtr& item, const XmlFields& element) {
    taxAmounts(element, "TaxItem", "item", item, "amount", [&](const auto& taxId) {
        TAVLO_LOG_MAIL("Unable to find tax %@ for item %@", taxId, item->text("itemId"));
    });
}

void StoreLoadCatalogue::taxAmounts(const XmlFields& element, const char* entity, const char* ownerLink,
                                    const ManagedObjectPtr& owner, const char* amountChild,
                                    const std::function<void(const std::optional<std::string>& taxId)>& missing,
                                    const std::function<void(ManagedObject& row, const XmlFields& amount)>& more) {
    for (xmlNodePtr node : element.run("itemTaxAmount")) {
        XmlFields amount(node, r_.doc());
        std::optional<std::string> taxId = amount.text("taxId");
        ManagedObjectPtr tax = taxId ? r_.index().find("Tax", "taxId", *taxId) : nullptr;
        if (!tax) {
            missing(taxId);
            continue;
        }
        ManagedObjectPtr row = r_.index().findOrInsert(entity, {ownerLink, "tax"}, {owner.get(), tax.get()});
        row->setValue("amount", amount.integer(amountChild));
        if (more) more(*row, amount);
    }
}

xmlNodePtr StoreLoadCatalogue::updateItems(xmlNodePtr node) {
    int32_t insertedBefore = 0;
    for (; Reader::isNamed(node, "item"); node = Reader::next(node)) {
        bool inserted = false;
        ManagedObjectPtr item = r_.rowFor(node, "Item", "itemId", &inserted);
        if (!item) continue;
        XmlFields xml(node, r_.doc());
        if (inserted) item->setValue("sequence", insertedBefore++);
        item->setValue("name", Reader::shortName(xml.text("itemName")));
        for (const char* field : {"price", "sideCount", "shortcut"}) item->setValue(field, xml.integer(field));
        item->setValue("isCombo", false);
        for (const char* field : {"promptForPrice", "promptForQuantity", "timeBased", "disabled"})
            item->setValue(field, xml.flag(field));
        setRecipe(item, xml, "Unable to find recipe %@ for item %@");
        associateTaxExemptions(item, xml);
        if (xml.has("defaultSideId"))
            r_.associate(item, "defaultSides", "Side", "sideId", xml.texts("defaultSideId"), false,
                         [](const std::string& id) { TAVLO_LOG_MAIL("Unable to find default side %@ for item", id); });
        associatePreparationCharges(ChargeOwner::Item, item, xml);
        associateItemTaxes(item, xml);
    }
    return node;
}

void StoreLoadCatalogue::associatePreparationCharges(ChargeOwner kind, const ManagedObjectPtr& owner,
                                                     const XmlFields& element) {
    const ChargeFamily& f = familyOf(kind);
    const std::optional<std::string> ownerId = owner->text(f.ownerId);
    for (xmlNodePtr node : element.run("preparationCharge")) {
        XmlFields charge(node, r_.doc());
        std::optional<std::string> preparationId = charge.text("preparationId");
        ManagedObjectPtr preparation =
            preparationId ? r_.index().find("Preparation", "preparationId", *preparationId) : nullptr;
        if (!preparation) {
            TAVLO_LOG_MAIL(f.missingPreparation, preparationId, ownerId);
            continue;
        }
        ManagedObjectPtr link =
            r_.index().findOrInsert(f.linkEntity, {"preparation", f.ownerLink}, {preparation.get(), owner.get()});
        link->setValue("charge", charge.integer("price"));
        taxAmounts(charge, f.taxEntity, f.taxLink, link, "amount",
                   [&](const auto& taxId) { TAVLO_LOG_MAIL(f.missingTax, taxId, ownerId); });
    }
}

xmlNodePtr StoreLoadCatalogue::updateSideItems(xmlNodePtr node) {
    for (int32_t position = 0; Reader::isNamed(node, "sideItem"); node = Reader::next(node), ++position) {
        ManagedObjectPtr side = r_.rowFor(node, "Side", "sideId");
        if (!side) continue;
        XmlFields xml(node, r_.doc());
        side->setValue("price", xml.integer("price"));
        side->setValue("additionPrice", xml.integer("additionPrice"));
        side->setValue("sequence", position);
        setRecipe(side, xml, "Unable to find recipe %@ for side %@");
        taxAmounts(
            xml, "TaxSide", "side", side, "amount",
            [&](const auto& taxId) {
                TAVLO_LOG_MAIL("Unable to find tax %@ for side %@", taxId, side->text("sideId"));
            },
            [&](ManagedObject& row, const XmlFields& amount) {
                if (amount.has("amountAdd")) row.setValue("amountAddition", amount.integer("amountAdd"));
            });
    }
    return node;
}

xmlNodePtr StoreLoadCatalogue::updateComboItems(xmlNodePtr node, ComboPass pass) {
    const bool logMissing = pass == ComboPass::Last;
    for (int32_t position = 0; Reader::isNamed(node, "comboItem"); node = Reader::next(node), ++position) {
        ManagedObjectPtr combo = r_.rowFor(node, "Item", "itemId");
        if (!combo) continue;
        XmlFields xml(node, r_.doc());
        std::optional<std::string> name = xml.text("comboItemName");
        combo->setValue("name", name);
        for (const char* field : {"price", "sideCount", "shortcut"}) combo->setValue(field, xml.integer(field));
        combo->setValue("sequence", position);
        combo->setValue("promptForPrice", xml.flag("promptForPrice"));
        combo->setValue("isCombo", true);
        for (const std::string& itemId : xml.runTexts("itemId")) {
            ManagedObjectPtr part = r_.index().find("Item", "itemId", itemId);
            if (part) combo->addTo("items", part);
            else if (logMissing) TAVLO_LOG("Unable to find item %@ which is part of combo item %@", itemId, name);
        }
        int32_t sequence = 0;
        for (xmlNodePtr g : xml.run("comboItemComboGroup")) {
            XmlFields comboGroup(g, r_.doc());
            std::optional<std::string> groupId = comboGroup.text("comboGroupId");
            ManagedObjectPtr group = groupId ? r_.index().find("ComboGroup", "comboGroupId", *groupId) : nullptr;
            if (!group) {
                if (logMissing)
                    TAVLO_LOG("Unable to find combo group %@ which is part of combo item %@", groupId, name);
                continue;
            }
            ManagedObjectPtr link =
                r_.index().findOrInsert("ItemComboGroup", {"item", "comboGroup"}, {combo.get(), group.get()});
            link->setValue("count", comboGroup.integer("itemCount"));
            link->setValue("sequence", sequence++);
        }
        associateTaxExemptions(combo, xml);
        associateItemTaxes(combo, xml);
    }
    return node;
}

void StoreLoadCatalogue::updateComboGroup(xmlNodePtr node) {
    ManagedObjectPtr group = r_.rowFor(node, "ComboGroup", "comboGroupId");
    if (!group) return;
    XmlFields xml(node, r_.doc());
    group->setValue("name", xml.text("comboGroupName"));
    int32_t sequence = 0;
    for (xmlNodePtr gi : xml.run("comboGroupItem")) {
        XmlFields groupItem(gi, r_.doc());
        std::optional<std::string> itemId = groupItem.text("itemId");
        ManagedObjectPtr item = itemId ? r_.index().find("Item", "itemId", *itemId) : nullptr;
        if (!item) continue;
        ManagedObjectPtr link =
            r_.index().findOrInsert("ComboGroupItem", {"item", "comboGroup"}, {item.get(), group.get()});
        link->setValue("sequence", sequence++);
        link->setValue("additionPrice", groupItem.integer("additionPrice"));
        taxAmounts(groupItem, "TaxComboGroupItem", "comboGroupItem", link, "amountAdd", [&](const auto& taxId) {
            TAVLO_LOG_MAIL("Unable to find tax %@ for comboGroup %@", taxId, group->text("comboGroupId"));
        });
    }
}

} // namespace tavlo
