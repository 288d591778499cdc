#pragma once

#include "MenuHost.h"
#include "core/order/ComboSelection.h"
#include "screens/common/QuantityCellView.h"
#include "screens/entry/combo/ComboGroupViewController.h"
#include "support/MenuRows.h"

#include <string>

namespace tavlo::screens::test {

// The menu terminal with a menu M7 "Combos" (section "Deals") of two combo items:
// - I-DEAL "Burger Deal" ($15.00, asks for its price): the fixed Burger (recipe R-BURGER, which
//   requires the temperature G-TEMP), then, by sequence, the group CG-DRINK "Drinks" (choose 1:
//   Cola +$0.00, Shake +$1.50) and CG-SIDES "Sides" (choose 2: House Salad +$1.00, whose recipe
//   requires the dressing G-DRESS of Ranch and Vinaigrette, and Chips +$0.00); the store holds
//   the Sides group before the Drinks group;
// - I-PAIR "Soup Pair" ($9.00): two fixed items that need nothing, no group.
class ComboMenuTerminal : public MenuTerminal {
public:
    explicit ComboMenuTerminal(ui::DeviceIdiom idiom = ui::DeviceIdiom::Phone) : MenuTerminal(idiom) {
        tavlo::test::MenuRows rows(store.context().get());
        auto combos = rows.menu("M7", "Combos");
        combos->setValue("sequence", 7);
        combos->setValue("disabled", false);
        auto deals = rows.section("S8", combos);
        deals->setValue("name", std::string("Deals"));
        deals->setValue("sequence", 1);
        auto item = [&](const std::string& id, const std::string& name, int32_t price, bool combo) {
            auto row = rows.item(id, name, price, combo ? nullptr : rows.recipe("R-" + id.substr(2), name), combos);
            if (combo) row->setToOne("section", deals);
            return row;
        };
        auto burger = item("I-BURGER", "Burger", 900, false);
        rows.recipePreparationGroup(burger->toOne("recipe"),
                                    store.row("PreparationGroup", "preparationGroupId", "G-TEMP"), 1, true);
        auto salad = item("I-HSALAD", "House Salad", 400, false);
        auto dressing = rows.preparationGroup(
            "G-DRESS", "Dressing", 1, 1,
            {rows.preparation("P-RANCH", "Ranch", 0), rows.preparation("P-VIN", "Vinaigrette", 0)});
        rows.recipePreparationGroup(salad->toOne("recipe"), dressing, 1, true);

        auto deal = item("I-DEAL", "Burger Deal", 1500, true);
        deal->setValue("promptForPrice", true);
        deal->addTo("items", burger);
        rows.comboGroup("CG-SIDES", "Sides", deal, 2, 2, {{salad, 100}, {item("I-CHIPS", "Chips", 300, false), 0}});
        rows.comboGroup("CG-DRINK", "Drinks", deal, 1, 1,
                        {{item("I-COLA", "Cola", 200, false), 0}, {item("I-SHAKE", "Shake", 450, false), 150}});

        auto pair = item("I-PAIR", "Soup Pair", 900, true);
        pair->addTo("items", item("I-CUP", "Cup of Soup", 400, false));
        pair->addTo("items", item("I-ROLL", "Bread Roll", 100, false));
        store.save();
    }
};

// What a person does and reads on a combo group screen.
struct ComboGroupRows {
    ui::test::Harness& h;

    ComboGroupViewController& screen() { return h.visible<ComboGroupViewController>(); }
    ui::TableViewCell& row(const std::string& name) {
        ui::TableView& table = screen().tableView();
        for (int r = 0; r < table.numberOfRows(0); ++r)
            if (ui::TableViewCell* cell = table.cellForRow({0, r});
                cell && dynamic_cast<ui::Label*>(cell->viewWithTag(QuantityCellView::kRowNameTag))->text() == name)
                return *cell;
        throw ui::test::HarnessError("no row shows \"" + name + "\"");
    }
    void tapRow(const std::string& name) {
        ui::TableView& table = screen().tableView();
        h.tapRow(table, *table.indexPathForCell(row(name)));
    }
    // Taps the "+" or "-" of the item's row.
    void step(const std::string& name, const std::string& sign) {
        for (const auto& view : row(name).contentView().subviews())
            if (auto* button = dynamic_cast<ui::Button*>(view.get()); button && button->currentTitle() == sign)
                return h.tap(*button);
        throw ui::test::HarnessError("no " + sign + " for " + name);
    }
    std::string count(const std::string& name) {
        return dynamic_cast<ui::Label*>(row(name).viewWithTag(QuantityCellView::kRowCountTag))->text().value_or("");
    }
    std::vector<std::string> names() {
        std::vector<std::string> shown;
        ui::TableView& table = screen().tableView();
        for (int r = 0; r < table.numberOfRows(0); ++r)
            shown.push_back(
                dynamic_cast<ui::Label*>(table.cellForRow({0, r})->viewWithTag(QuantityCellView::kRowNameTag))
                    ->text()
                    .value_or(""));
        return shown;
    }
};

} // namespace tavlo::screens::test
