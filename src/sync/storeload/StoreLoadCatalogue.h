#pragma once

#include "sync/storeload/StoreLoadReader.h"

namespace tavlo {

// Readers of the item catalogue of a store-data reply: recipe groups, preparations and their
// groups, recipes with their preparation groups, items, side items, combo items and combo
// groups, with the tax amounts and preparation charges that hang on them (the charge readers
// also serve sections and menus).
class StoreLoadCatalogue {
public:
    explicit StoreLoadCatalogue(StoreLoadReader& reader) : r_(reader) {}

    xmlNodePtr updateRecipeGroups(xmlNodePtr node);
    xmlNodePtr updatePreparations(xmlNodePtr node);
    xmlNodePtr updatePreparationGroups(xmlNodePtr node);
    xmlNodePtr updateRecipes(xmlNodePtr node);
    xmlNodePtr updateRecipePreparationGroups(xmlNodePtr node);
    xmlNodePtr updateItems(xmlNodePtr node);
    xmlNodePtr updateSideItems(xmlNodePtr node);
    // One `comboItem` element, at its place in its run. A load reads it whole in the walk, where
    // the items and combo groups that come later in the reply are not there yet. After the walk
    // it sets the combo's values again (a section that lists it has set its sequence meanwhile)
    // and reads again only the lists that named a row not found then. Only the last pass logs
    // the links it cannot make. Answers the lists read that missed a row.
    enum class ComboPass { First, Last };
    enum ComboLists : unsigned { kComboParts = 1, kComboGroups = 2, kComboTaxes = 4, kAllComboLists = 7 };
    unsigned updateComboItem(xmlNodePtr node, int32_t position, ComboPass pass, unsigned lists = kAllComboLists);
    // One `comboGroup` element; read again after the walk when it named a row not found. True when
    // every row it names was found.
    bool updateComboGroup(xmlNodePtr node);

    // The charges of the element's run of `preparationCharge` children, with their tax amounts, on
    // the owner: an Item, a Section or a Menu.
    enum class ChargeOwner { Item, Section, Menu };
    void associatePreparationCharges(ChargeOwner kind, const ManagedObjectPtr& owner, const XmlFields& element);
    void associatePreparationCharges(ChargeOwner kind, const ObjectID& owner, const std::optional<std::string>& ownerId,
                                     const XmlFields& element);

    void updateRecipePreparationGroup(const ObjectID& group, const ObjectID& recipe, int32_t sequence, bool required);

private:
    struct ItemColumns;
    // An item new to the store, inserted packed without an object when the context holds the
    // inserts of items (a load into a cleaned store): its row, lists, charges and tax amounts
    // from the element. False, reading nothing, when it is not such an item.
    bool insertHeldItem(xmlNodePtr node, const ItemColumns& columns, int32_t sequence);
    // The rows of the target entity listed by id added to the list of a held item (a missing one
    // logged with the format).
    void addToHeldItem(const ObjectID& item, const RelationshipDescription& list, std::string_view targetEntity,
                       std::string_view targetId, const std::vector<std::string>& ids, const char* missingFormat);
    void setRecipe(const ManagedObjectPtr& row, const XmlFields& element, const char* missingFormat);
    // These two answer whether every tax they name was found.
    bool associateTaxExemptions(const ManagedObjectPtr& item, const XmlFields& element);
    bool associateItemTaxes(const ObjectID& item, const std::optional<std::string>& itemId, const XmlFields& element);
    void associatePreparationGroupPreparations(const ManagedObjectPtr& group, const XmlFields& element);
    // The tax amounts of a run of `itemTaxAmount` children: `entity` rows keyed by the owner
    // (under `ownerLink`) and the tax, with the child `amountChild` as amount. An amount whose tax
    // is missing is passed over after `missing`. `withAddition`: a child `amountAdd` gives the
    // row's amountAddition too. True when no tax was missing.
    bool taxAmounts(const XmlFields& element, const char* entity, const char* ownerLink, const ObjectID& owner,
                    const char* amountChild,
                    const std::function<void(const std::optional<std::string>& taxId)>& missing,
                    bool withAddition = false);

    StoreLoadReader& r_;
};

} // namespace tavlo
