#pragma once

#include "OrderScreenTerminal.h"
#include "screens/entry/editor/EditorScreens.h"
#include "screens/entry/editor/SelectionViewController.h"
#include "support/MenuRows.h"

#include <functional>
#include <memory>
#include <string>

namespace tavlo::screens::test {

// The order screen terminal with what the selection editor reads: menu M1 "Dinner" with the side
// Fries; recipe R-STEAK (5 portions left) with the groups Temperature (required) and Sauces; the
// store-wide group Allergies; the comp reasons "Birthday" (50%), "Manager Meal" (100%, needs the
// right COMPLIMENTARY) and a disabled "Old Comp". Servers may write comments; managers may also
// void sent units, comp and change prices. The table order O-1 at L1 (dine in, 4 seats) holds
// the lines a test gives it, as sent.
class EditorTerminal : public OrderScreenTerminal {
public:
    EditorTerminal() {
        registerEditorScreens();
        tavlo::test::MenuRows rows(store.context().get());
        auto dinner = rows.menu("M1", "Dinner");
        dinner->setValue("disabled", false);
        rows.side("S-FRIES", rows.recipe("R-FRIES", "Fries"), dinner, 0, 150);
        auto steak = rows.recipe("R-STEAK", "Steak", 500);
        rows.recipePreparationGroup(
            steak,
            rows.preparationGroup("G-TEMP", "Temperature", 1, 1,
                                  {rows.preparation("P-RARE", "Rare", 0), rows.preparation("P-WELL", "Well Done", 0)}),
            1, true);
        rows.recipePreparationGroup(
            steak,
            rows.preparationGroup("G-SAUCE", "Sauces", 0, 2, {rows.preparation("P-PEPPER", "Pepper Sauce", 150)}), 2,
            false);
        rows.preparationGroup("G-ALLERGY", "Allergies", 0, 3, {rows.preparation("P-NUTS", "No Nuts", 0)})
            ->setValue("storeWide", true);
        comp("C-BDAY", "Birthday", 5000, false, false);
        comp("C-MGR", "Manager Meal", 10000, true, false);
        comp("C-OLD", "Old Comp", 1000, false, true);
        auto table = store->insert("AreaLocation");
        table->setValue("areaLocationId", std::string("L1"));
        table->setValue("name", std::string("5"));
        table->setValue("seats", 4);
        table->setToOne("area", store.row("Area", "areaId", "A1"));
        grant("R-SERVER", {"COMMENTS"});
        grant("R-MANAGER", {"REMOVE_ITEM", "COMPLIMENTARY", "MODIFY_ITEM_PRICE"});
        store.save();
    }

    // A sent line of the steak on the dinner menu.
    SelectionPtr steak(int32_t quantity = 1) {
        SelectionPtr selection = line("Steak", 2450, quantity);
        selection->setItemId(std::string("I-STEAK"));
        selection->setRecipeId(std::string("R-STEAK"));
        selection->setMenuId(std::string("M1"));
        selection->setRemoteId(std::string("SEL-1"));
        return selection;
    }

    // Opens the order with the line (`adjust` changes the order first) and taps the line: the
    // editor is shown.
    SelectionViewController& edit(const SelectionPtr& selection, int32_t seats = 4,
                                  const std::function<void(Order&)>& adjust = {}) {
        auto stored = storedOrder({selection});
        stored->setSeats(seats);
        stored->write(*store.context());
        store.save();
        open(std::string("O-1"), std::string("L1"));
        if (adjust) adjust(*screen->order());
        h.tapRow(screen->selectionsTable(), {0, 0});
        h.runUntilIdle();
        return h.visible<SelectionViewController>();
    }
    // The order's line as the editor changes it.
    Selection& edited() { return *screen->order()->selections().front(); }

private:
    void comp(const std::string& id, const std::string& name, int32_t percentage, bool permissionNeeded,
              bool disabled) {
        auto row = store->insert("Complimentary");
        row->setValue("complimentaryId", id);
        row->setValue("name", name);
        row->setValue("percentage", percentage);
        row->setValue("permissionNeeded", permissionNeeded);
        row->setValue("disabled", disabled);
    }
    void grant(const std::string& roleId, const std::vector<std::string>& rights) {
        for (const std::string& right : rights)
            store.row("Role", "roleId", roleId)->addTo("permissions", store.addPermission(right));
    }
};

} // namespace tavlo::screens::test
