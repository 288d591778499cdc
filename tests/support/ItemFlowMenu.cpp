#include "support/ItemFlowMenu.h"

#include "support/MenuRows.h"

namespace tavlo::test {

void ItemFlowMenu::build(ObjectContext& context) {
    MenuRows rows(&context);
    auto dinner = rows.menu("M1", "Dinner");
    auto lunch = rows.menu("M2", "Lunch");

    auto steak = rows.recipe("R-STEAK", "Steak");
    rows.item("I-STEAK", "Steak", 2450, steak, dinner, 2);
    rows.item("I-SOUP", "Soup", 650, rows.recipe("R-SOUP", "Soup"), dinner);

    auto salad = rows.recipe("R-SALAD", "Side Salad");
    auto rice = rows.recipe("R-RICE", "Rice");
    int32_t sequence = 0;
    for (auto [sideId, recipe] : {std::pair{"S-SALAD", salad}, std::pair{"S-FRIES", rows.recipe("R-FRIES", "Fries")},
                                  std::pair{"S-RICE", rice}})
        rows.side(sideId, recipe, dinner, 0, 150)->setValue("sequence", ++sequence);
    // The fish plate comes with its one side already chosen: the salad.
    auto plate = rows.item("I-PLATE", "Fish Plate", 1800, rows.recipe("R-FISH", "Fish"), dinner, 1);
    plate->addTo("defaultSides", context.fetchFirst("Side", "sideId == %@", std::string("S-SALAD")));
    rows.side("S-SLAW", rows.recipe("R-SLAW", "Coleslaw"), lunch, 0, 100)->setValue("sequence", 1);

    auto temperature =
        rows.preparationGroup("G-TEMP", "Temperature", 1, 1,
                              {rows.preparation("P-RARE", "Rare", 0), rows.preparation("P-MED", "Medium", 0),
                               rows.preparation("P-WELL", "Well Done", 0)});
    auto toppings = rows.preparationGroup(
        "G-TOP", "Toppings", 0, 3,
        {rows.preparation("P-MUSH", "Mushrooms", 150), rows.preparation("P-ONION", "Onions", 100),
         rows.preparation("P-PEPPER", "Peppercorn", 100), rows.preparation("P-BUTTER", "Garlic Butter", 125)});
    auto dressing =
        rows.preparationGroup("G-DRESS", "Dressing", 1, 1,
                              {rows.preparation("P-RANCH", "Ranch", 0), rows.preparation("P-VIN", "Vinaigrette", 0),
                               rows.preparation("P-BLUE", "Blue Cheese", 50)});
    rows.recipePreparationGroup(steak, temperature, 1, true);
    rows.recipePreparationGroup(steak, toppings, 2, false);
    rows.recipePreparationGroup(salad, dressing, 1, true);
    auto riceStyle =
        rows.preparationGroup("G-RICE", "Rice Style", 1, 1,
                              {rows.preparation("P-PLAIN", "Plain", 0), rows.preparation("P-FRIED", "Fried", 75)});
    rows.recipePreparationGroup(rice, riceStyle, 1, true);
}

} // namespace tavlo::test
