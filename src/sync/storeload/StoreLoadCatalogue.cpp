#include "sync/storeload/StoreLoadCatalogue.h"

#include "core/util/TavloLog.h"

#include <array>
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

// What a load reports of an item's links to rows the reply lacks.
constexpr const char* kMissingItemRecipe = "Unable to find recipe %@ for item %@";
constexpr const char* kMissingExemption = "Unable to find tax %@ for item";
constexpr const char* kMissingDefaultSide = "Unable to find default side %@ for item";

} // namespace

// The attributes and lists an item read from the reply sets, found once per run of items.
struct StoreLoadCatalogue::ItemColumns {
    explicit ItemColumns(const Model& model) : entity(model.requireEntity("Item")) {}
    const AttributeDescription& attribute(std::string_view named) const {
        if (const AttributeDescription* a = entity.attributeNamed(named)) return *a;
        throw std::logic_error("The store's items have no " + std::string(named));
    }
    const RelationshipDescription& relationship(std::string_view named) const {
        if (const RelationshipDescription* r = entity.relationshipNamed(named)) return *r;
        throw std::logic_error("The store's items have no " + std::string(named));
    }
    const EntityDescription& entity;
    const AttributeDescription& sequence = attribute("sequence");
    const AttributeDescription& name = attribute("name");
    const AttributeDescription& isCombo = attribute("isCombo");
    // Integers, then flags, each from the child of its name.
    const std::array<const AttributeDescription*, 3> integers{&attribute("price"), &attribute("sideCount"),
                                                              &attribute("shortcut")};
    const std::array<const AttributeDescription*, 4> flags{
        &attribute("promptForPrice"), &attribute("promptForQuantity"), &attribute("timeBased"), &attribute("disabled")};
    const RelationshipDescription& recipe = relationship("recipe");
    const RelationshipDescription& taxExemptions = relationship("taxExemptions");
    const RelationshipDescription& defaultSides = relationship("defaultSides");
};

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
        taxAmounts(xml, "TaxPreparation", "preparation", preparation->objectID(), "amount", [&](const auto& taxId) {
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
    std::unordered_set<int64_t> kept;
    int32_t sequence = 0;
    for (const std::string& id : element.texts("preparationId")) {
        const ObjectID preparation = r_.index().findID("Preparation", "preparationId", id);
        if (!preparation.isValid()) {
            TAVLO_LOG_MAIL("Unable to find preparation %@ for group %@", id, group->text("preparationGroupId"));
            continue;
        }
        const ObjectID link = r_.index().setRow("PreparationGroupPreparation", {"preparationGroup", "preparation"},
                                                {group.get(), preparation}, {{"sequence", Value(sequence++)}});
        kept.insert(link.primaryKey());
    }
    for (const ManagedObjectPtr& link : group->toMany("preparationGroupPreparations"))
        if (!kept.count(link->objectID().primaryKey())) r_.context().deleteObject(link);
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
            if (ObjectID group = r_.index().findID("PreparationGroup", "preparationGroupId", groupId); group.isValid())
                updateRecipePreparationGroup(group, recipe->objectID(), sequence++, false);
            else TAVLO_LOG("Unable to find preparationGroup %@ which is part of recipe %@", groupId, recipeId);
        }
    }
    return node;
}

void StoreLoadCatalogue::updateRecipePreparationGroup(const ObjectID& group, const ObjectID& recipe, int32_t sequence,
                                                      bool required) {
    r_.index().setRow("RecipePreparationGroup", {"recipe", "preparationGroup"}, {recipe, group},
                      {{"sequence", Value(sequence)}, {"required", Value(required)}});
}

xmlNodePtr StoreLoadCatalogue::updateRecipePreparationGroups(xmlNodePtr node) {
    int32_t sequence = 0;
    for (; Reader::isNamed(node, "recipePreparationGroup"); node = Reader::next(node)) {
        XmlFields xml(node, r_.doc());
        std::optional<std::string> recipeId = xml.text("recipeId");
        const ObjectID recipe = recipeId ? r_.index().findID("Recipe", "recipeId", *recipeId) : ObjectID();
        if (!recipe.isValid()) {
            TAVLO_LOG_MAIL("Unable to find recipe %@", recipeId);
            continue;
        }
        std::optional<std::string> groupId = xml.text("preparationGroupId");
        const ObjectID group =
            groupId ? r_.index().findID("PreparationGroup", "preparationGroupId", *groupId) : ObjectID();
        if (!group.isValid()) {
            TAVLO_LOG_MAIL("Unable to find prepGroup %@", groupId);
            continue;
        }
        updateRecipePreparationGroup(group, recipe, sequence++, xml.flag("required"));
    }
    return node;
}

bool StoreLoadCatalogue::associateTaxExemptions(const ManagedObjectPtr& item, const XmlFields& element) {
    if (!element.has("exemptionTax")) return true;
    bool found = true;
    r_.associate(item, "taxExemptions", "Tax", "taxId", element.texts("exemptionTax"), false,
                 [&](const std::string& id) {
                     found = false;
                     TAVLO_LOG_MAIL(kMissingExemption, id);
                 });
    return found;
}

bool StoreLoadCatalogue::associateItemTaxes(const ObjectID& item, const std::optional<std::string>& itemId,
                                            const XmlFields& element) {
    return taxAmounts(element, "TaxItem", "item", item, "amount",
                      [&](const auto& taxId) { TAVLO_LOG_MAIL("Unable to find tax %@ for item %@", taxId, itemId); });
}

bool StoreLoadCatalogue::taxAmounts(const XmlFields& element, const char* entity, const char* ownerLink,
                                    const ObjectID& owner, const char* amountChild,
                                    const std::function<void(const std::optional<std::string>& taxId)>& missing,
                                    bool withAddition) {
    bool found = true;
    for (xmlNodePtr node : element.run("itemTaxAmount")) {
        XmlFields amount(node, r_.doc());
        std::optional<std::string> taxId = amount.text("taxId");
        const ObjectID tax = taxId ? r_.index().findID("Tax", "taxId", *taxId) : ObjectID();
        if (!tax.isValid()) {
            found = false;
            missing(taxId);
            continue;
        }
        const Value value(amount.integer(amountChild));
        if (withAddition && amount.has("amountAdd"))
            r_.index().setRow(entity, {ownerLink, "tax"}, {owner, tax},
                              {{"amount", value}, {"amountAddition", Value(amount.integer("amountAdd"))}});
        else r_.index().setRow(entity, {ownerLink, "tax"}, {owner, tax}, {{"amount", value}});
    }
    return found;
}

xmlNodePtr StoreLoadCatalogue::updateItems(xmlNodePtr node) {
    int32_t insertedBefore = 0;
    const ItemColumns columns(r_.context().model());
    for (; Reader::isNamed(node, "item"); node = Reader::next(node)) {
        if (insertHeldItem(node, columns, insertedBefore)) {
            ++insertedBefore;
            continue;
        }
        bool inserted = false;
        ManagedObjectPtr item = r_.rowFor(node, "Item", "itemId", &inserted);
        if (!item) continue;
        XmlFields xml(node, r_.doc());
        if (inserted) item->setValue(columns.sequence, insertedBefore++);
        item->setValue(columns.name, Reader::shortName(xml.text("itemName")));
        item->setValue(columns.isCombo, false);
        for (const AttributeDescription* a : columns.integers) item->setValue(*a, xml.integer(a->name));
        for (const AttributeDescription* a : columns.flags) item->setValue(*a, xml.flag(a->name));
        setRecipe(item, xml, kMissingItemRecipe);
        associateTaxExemptions(item, xml);
        if (xml.has("defaultSideId"))
            r_.associate(item, "defaultSides", "Side", "sideId", xml.texts("defaultSideId"), false,
                         [](const std::string& id) { TAVLO_LOG_MAIL(kMissingDefaultSide, id); });
        associatePreparationCharges(ChargeOwner::Item, item, xml);
        associateItemTaxes(item->objectID(), item->text("itemId"), xml);
    }
    return node;
}

bool StoreLoadCatalogue::insertHeldItem(xmlNodePtr node, const ItemColumns& columns, int32_t sequence) {
    const std::optional<std::string> id = r_.newHeldRowId(node, columns.entity, "itemId");
    if (!id) return false;
    XmlFields xml(node, r_.doc());
    std::vector<ObjectContext::HeldValue> values;
    values.reserve(columns.integers.size() + columns.flags.size() + 3);
    values.emplace_back(&columns.sequence, Value(sequence));
    values.emplace_back(&columns.name, Value(Reader::shortName(xml.text("itemName"))));
    values.emplace_back(&columns.isCombo, Value(false));
    for (const AttributeDescription* a : columns.integers) values.emplace_back(a, Value(xml.integer(a->name)));
    for (const AttributeDescription* a : columns.flags) values.emplace_back(a, Value(xml.flag(a->name)));
    std::optional<ObjectContext::HeldLink> recipe;
    if (std::optional<std::string> recipeId = xml.text("recipeId")) {
        if (const ObjectID found = r_.index().findID("Recipe", "recipeId", *recipeId); found.isValid())
            recipe = ObjectContext::HeldLink(&columns.recipe, found.primaryKey());
        else TAVLO_LOG_MAIL(kMissingItemRecipe, *recipeId, id);
    }
    const ObjectID item = r_.index().insertHeld("Item", "itemId", *id, values,
                                                recipe ? std::span(&*recipe, 1) : std::span<ObjectContext::HeldLink>());
    if (!item.isValid()) return true; // the held write failed: the save tells
    if (xml.has("exemptionTax"))
        addToHeldItem(item, columns.taxExemptions, "Tax", "taxId", xml.texts("exemptionTax"), kMissingExemption);
    if (xml.has("defaultSideId"))
        addToHeldItem(item, columns.defaultSides, "Side", "sideId", xml.texts("defaultSideId"), kMissingDefaultSide);
    associatePreparationCharges(ChargeOwner::Item, item, id, xml);
    associateItemTaxes(item, id, xml);
    return true;
}

void StoreLoadCatalogue::addToHeldItem(const ObjectID& item, const RelationshipDescription& list,
                                       std::string_view targetEntity, std::string_view targetId,
                                       const std::vector<std::string>& ids, const char* missingFormat) {
    std::vector<int64_t> members;
    members.reserve(ids.size());
    for (const std::string& id : ids) {
        if (const ObjectID member = r_.index().findID(targetEntity, targetId, id); member.isValid())
            members.push_back(member.primaryKey());
        else TAVLO_LOG_MAIL(missingFormat, id);
    }
    if (!members.empty()) r_.context().addToHeld(list, item.primaryKey(), members);
}

void StoreLoadCatalogue::associatePreparationCharges(ChargeOwner kind, const ManagedObjectPtr& owner,
                                                     const XmlFields& element) {
    associatePreparationCharges(kind, owner->objectID(), owner->text(familyOf(kind).ownerId), element);
}

void StoreLoadCatalogue::associatePreparationCharges(ChargeOwner kind, const ObjectID& owner,
                                                     const std::optional<std::string>& ownerId,
                                                     const XmlFields& element) {
    const ChargeFamily& f = familyOf(kind);
    for (xmlNodePtr node : element.run("preparationCharge")) {
        XmlFields charge(node, r_.doc());
        std::optional<std::string> preparationId = charge.text("preparationId");
        const ObjectID preparation =
            preparationId ? r_.index().findID("Preparation", "preparationId", *preparationId) : ObjectID();
        if (!preparation.isValid()) {
            TAVLO_LOG_MAIL(f.missingPreparation, preparationId, ownerId);
            continue;
        }
        const ObjectID link = r_.index().setRow(f.linkEntity, {f.ownerLink, "preparation"}, {owner, preparation},
                                                {{"charge", Value(charge.integer("price"))}});
        if (!link.isValid()) continue; // the write failed: the save tells
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
            xml, "TaxSide", "side", side->objectID(), "amount",
            [&](const auto& taxId) {
                TAVLO_LOG_MAIL("Unable to find tax %@ for side %@", taxId, side->text("sideId"));
            },
            true);
    }
    return node;
}

unsigned StoreLoadCatalogue::updateComboItem(xmlNodePtr node, int32_t position, ComboPass pass, unsigned lists) {
    const bool logMissing = pass == ComboPass::Last;
    ManagedObjectPtr combo = r_.rowFor(node, "Item", "itemId");
    if (!combo) return 0; // read again, it would be passed over again
    XmlFields xml(node, r_.doc());
    std::optional<std::string> name = xml.text("comboItemName");
    combo->setValue("name", name);
    for (const char* field : {"price", "sideCount", "shortcut"}) combo->setValue(field, xml.integer(field));
    combo->setValue("sequence", position);
    combo->setValue("promptForPrice", xml.flag("promptForPrice"));
    combo->setValue("isCombo", true);
    unsigned missed = 0;
    if (lists & kComboParts)
        for (const std::string& itemId : xml.runTexts("itemId")) {
            ManagedObjectPtr part = r_.index().find("Item", "itemId", itemId);
            if (part) {
                combo->addTo("items", part);
                continue;
            }
            missed |= kComboParts;
            if (logMissing) TAVLO_LOG("Unable to find item %@ which is part of combo item %@", itemId, name);
        }
    if (lists & kComboGroups) {
        int32_t sequence = 0;
        for (xmlNodePtr g : xml.run("comboItemComboGroup")) {
            XmlFields comboGroup(g, r_.doc());
            std::optional<std::string> groupId = comboGroup.text("comboGroupId");
            const ObjectID group = groupId ? r_.index().findID("ComboGroup", "comboGroupId", *groupId) : ObjectID();
            if (!group.isValid()) {
                missed |= kComboGroups;
                if (logMissing)
                    TAVLO_LOG("Unable to find combo group %@ which is part of combo item %@", groupId, name);
                continue;
            }
            r_.index().setRow("ItemComboGroup", {"item", "comboGroup"}, {combo.get(), group},
                              {{"count", Value(comboGroup.integer("itemCount"))}, {"sequence", Value(sequence++)}});
        }
    }
    if (lists & kComboTaxes) {
        // Both lists read, whichever misses a tax.
        const bool exemptionsFound = associateTaxExemptions(combo, xml);
        if (!associateItemTaxes(combo->objectID(), combo->text("itemId"), xml) || !exemptionsFound)
            missed |= kComboTaxes;
    }
    return missed;
}

bool StoreLoadCatalogue::updateComboGroup(xmlNodePtr node) {
    ManagedObjectPtr group = r_.rowFor(node, "ComboGroup", "comboGroupId");
    if (!group) return true;
    bool complete = true;
    XmlFields xml(node, r_.doc());
    group->setValue("name", xml.text("comboGroupName"));
    int32_t sequence = 0;
    for (xmlNodePtr gi : xml.run("comboGroupItem")) {
        XmlFields groupItem(gi, r_.doc());
        std::optional<std::string> itemId = groupItem.text("itemId");
        const ObjectID item = itemId ? r_.index().findID("Item", "itemId", *itemId) : ObjectID();
        if (!item.isValid()) {
            complete = false;
            continue;
        }
        const ObjectID link = r_.index().setRow(
            "ComboGroupItem", {"item", "comboGroup"}, {item, group.get()},
            {{"sequence", Value(sequence++)}, {"additionPrice", Value(groupItem.integer("additionPrice"))}});
        if (!link.isValid()) continue; // the write failed: the save tells
        complete &=
            taxAmounts(groupItem, "TaxComboGroupItem", "comboGroupItem", link, "amountAdd", [&](const auto& taxId) {
                TAVLO_LOG_MAIL("Unable to find tax %@ for comboGroup %@", taxId, group->text("comboGroupId"));
            });
    }
    return complete;
}

} // namespace tavlo
