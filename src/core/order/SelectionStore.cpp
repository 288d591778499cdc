// The parts of a line that read the store's menu rows: construction from items and sides, the
// preparation charge chain and the recipes' availability counts.
#include "core/order/ComboSelection.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"

namespace tavlo {

namespace {

// The fixed amounts of a catalogue row's `taxes` rows, by tax name. A row without an amount
// fixes nothing: read as 0 it would exempt the line.
template <typename F> void eachTaxAmount(const ManagedObject& row, const char* amountKey, F f) {
    for (const auto& tax : row.toMany("taxes")) {
        auto name = tax->text("tax.name");
        if (name && !tax->isNil(amountKey)) f(tax->int32(amountKey), *name);
    }
}

std::string newRemoteId() { return IDBroker::getInstance().generateRemoteIdSelection(); }

// The item's tax exemptions on its line. A combo's component keeps its own item's: the store
// server adds them to every line that stands for an item when it answers the order, so without
// them an order would cost more on the order screen than once sent and read back.
void addItemExemptions(Selection& line, const ManagedObject& item) {
    for (const auto& tax : item.toMany("taxExemptions"))
        if (auto name = tax->text("name")) line.addDefaultTaxExemption(*name);
}

} // namespace

void Selection::readItemTaxes(const Text& itemId, ObjectContext* context) {
    setItemId(itemId);
    if (!itemId) return;
    for (const auto& row : DBHelper::getObjects("TaxItem", "item.itemId == %@", *itemId, "tax.name", context))
        if (!row->isNil("amount"))
            if (auto name = row->text("tax.name")) predefinedTaxes_.set(*name, row->int32("amount"));
}

SelectionPtr Selection::initFromItem(const Text& itemId, ObjectContext* context) {
    auto s = std::make_shared<Selection>();
    s->readItemTaxes(itemId, context);
    return s;
}

void Selection::readSide(const ManagedObject& side) {
    setQuantity(1);
    setName(side.text("recipe.name"));
    setPrice(side.int32("price"));
    setAdditionPrice(side.int32("additionPrice"));
    setIncludedSides(0);
    setItemId(std::nullopt);
    setRecipeId(side.text("recipe.recipeId"));
    eachTaxAmount(side, "amount", [&](int32_t amount, const std::string& name) { predefinedTaxes_.set(name, amount); });
    eachTaxAmount(side, "amountAddition",
                  [&](int32_t amount, const std::string& name) { additionPredefinedTaxes_.set(name, amount); });
}

SelectionPtr Selection::initFromSide(const Text& sideId, ObjectContext* context) {
    auto s = std::make_shared<Selection>();
    if (!sideId) return s;
    auto row = DBHelper::getObject("Side", "sideId==%@", *sideId, context);
    if (!row) return s;
    s->readSide(*row);
    s->setNewQuantity(1);
    s->setMenuId(std::nullopt);
    return s;
}

SelectionPtr Selection::newFrom(const ManagedObjectPtr& item, const Text& server, ObjectContext* context) {
    if (!item) return nullptr;
    auto header = [&](Selection& s) {
        s.setQuantity(1);
        s.setNewQuantity(1);
        s.setName(item->text("name"));
        s.setPrice(item->int32("price"));
        s.setIncludedSides(item->int32("sideCount"));
        s.setItemId(item->text("itemId"));
        s.setMenuId(item->text("menu.menuId"));
        s.setRecipeId(item->text("recipe.recipeId"));
        s.setRemoteId(newRemoteId());
        s.setOrderedBy(server);
    };

    if (auto recipe = item->toOne("recipe")) {
        if (!recipe->isNil("available") && recipe->int32("available") < 1) return nullptr;
        auto s = initFromItem(item->text("itemId"), context);
        addItemExemptions(*s, *item);
        const auto defaults = item->toMany("defaultSides");
        s->setDefaultSideCount(static_cast<int32_t>(defaults.size()));
        for (const auto& row : defaults) {
            // A default side carries its fixed tax amounts like any side the operator picks.
            auto side = std::make_shared<Selection>();
            side->readSide(*row);
            side->setMenuId(row->text("menu.menuId"));
            side->setRemoteId(newRemoteId());
            side->setOrderedBy(server);
            s->addSide(side);
        }
        header(*s);
        return s;
    }

    auto combo = std::make_shared<ComboSelection>();
    combo->readItemTaxes(item->text("itemId"), context);
    addItemExemptions(*combo, *item);
    header(*combo);
    for (const auto& part : item->toMany("items")) {
        auto component = std::make_shared<Selection>();
        component->setQuantity(1);
        component->setNewQuantity(1);
        component->setName(part->text("name"));
        component->setPrice(part->int32("price"));
        component->setIncludedSides(part->int32("sideCount"));
        component->setMenuId(part->text("menu.menuId"));
        component->setRecipeId(part->text("recipe.recipeId"));
        component->setRemoteId(newRemoteId());
        component->setOrderedBy(server);
        addItemExemptions(*component, *part);
        combo->addSelection(component);
    }
    return combo;
}

SelectionPtr ComboSelection::groupComponentFrom(const ManagedObject& groupItem, const Text& server) {
    ManagedObjectPtr item = groupItem.toOne("item");
    auto line = std::make_shared<Selection>();
    line->setQuantity(1);
    line->setAdditionPrice(groupItem.int32("additionPrice"));
    line->setOrderedBy(server);
    if (!item) return line;
    line->setName(item->text("name"));
    line->setPrice(item->int32("price"));
    line->setRecipeId(item->text("recipe.recipeId"));
    line->setIncludedSides(item->int32("sideCount"));
    line->setItemId(item->text("itemId"));
    line->setMenuId(item->text("menu.menuId"));
    addItemExemptions(*line, *item);
    return line;
}

Selection::Text Selection::itemId(ObjectContext* context) const {
    if (!recipeId_ || !menuId_) return std::nullopt;
    auto row = DBHelper::getObject(
        "Item",
        {Predicate::format("recipe.recipeId == %@", *recipeId_), Predicate::format("menu.menuId == %@", *menuId_)},
        context);
    return row ? row->text("itemId") : std::nullopt;
}

void Selection::addPreparation(Preparation preparation, ObjectContext* context) {
    const std::string id = preparation.preparationId().value_or(std::string());
    modified_ = true;
    if (isSelected(id)) return;

    const Predicate key = Predicate::format("preparation.preparationId == %@", id);
    auto take = [&](const ManagedObject& row) {
        preparation.setCharge(row.int32("charge"));
        eachTaxAmount(row, "amount",
                      [&](int32_t amount, const std::string& name) { preparation.setPredefinedTax(amount, name); });
    };

    if (!itemId_) itemId_ = itemId(context);
    bool found = false;
    if (itemId_) {
        if (auto row = DBHelper::getObject("ItemPreparation", {Predicate::format("item.itemId == %@", *itemId_), key},
                                           context)) {
            take(*row);
            found = true;
        } else if (auto item = DBHelper::getObject("Item", "itemId==%@", *itemId_, context)) {
            if (auto sectionId = item->text("section.sectionId"))
                if (auto sectionRow =
                        DBHelper::getObject("SectionPreparation",
                                            {Predicate::format("section.sectionId == %@", *sectionId), key}, context)) {
                    take(*sectionRow);
                    found = true;
                }
        }
    }
    if (!found) {
        ManagedObjectPtr menuRow;
        if (menuId_)
            menuRow = DBHelper::getObject("MenuPreparation", {Predicate::format("menu.menuId == %@", *menuId_), key},
                                          context);
        if (menuRow) {
            take(*menuRow);
        } else if (auto row = DBHelper::getObject("Preparation", "preparationId==%@", id, context)) {
            preparation.setCharge(row->int32("price"));
            eachTaxAmount(*row, "amount",
                          [&](int32_t amount, const std::string& name) { preparation.setPredefinedTax(amount, name); });
        }
    }
    selectedPreparations_.push_back(std::move(preparation));
}

bool Selection::hasAvailability(ObjectContext* context) const {
    if (!recipeId_) return false;
    auto row = DBHelper::getObject("Recipe", "recipeId == %@", *recipeId_, context);
    return row && !row->isNil("available");
}

int32_t Selection::available(const Text& recipeId, ObjectContext* context) {
    if (!recipeId) return -1;
    auto row = DBHelper::getObject("Recipe", "recipeId == %@", *recipeId, context);
    if (!row || row->isNil("available")) return -1;
    return row->int32("available");
}

void Selection::updateAvailability(const Text& recipeId, int32_t change, ObjectContext* context) {
    if (!recipeId || !context) return;
    auto row = DBHelper::getObject("Recipe", "recipeId == %@", *recipeId, context);
    if (!row || row->isNil("available")) return;
    row->setValue("available", row->int32("available") + change);
}

} // namespace tavlo
