#pragma once

#include "platform/store/ObjectContext.h"

namespace tavlo::test {

// The menu the item flows are tried on, inserted into a context (not saved):
// - menu M1 "Dinner": item I-STEAK "Steak" ($24.50, 2 included sides, recipe R-STEAK) and item
//   I-SOUP "Soup" ($6.50, recipe R-SOUP, nothing to choose), item I-PLATE "Fish Plate" ($18.00, 1
//   included side, the side salad by default); sides S-SALAD "Side Salad" (sequence
//   1), S-FRIES "Fries" (2) and S-RICE "Rice" (3);
// - menu M2 "Lunch": side S-SLAW "Coleslaw";
// - preparation groups G-TEMP "Temperature" (1 to 1 of Rare, Medium, Well Done), G-TOP
//   "Toppings" (0 to 3 of Mushrooms, Onions, Peppercorn, Garlic Butter) and G-DRESS "Dressing"
//   (1 to 1 of Ranch, Vinaigrette, Blue Cheese), G-RICE "Rice Style" (1 to 1 of Plain, Fried);
// - the steak requires G-TEMP and offers G-TOP; the side salad requires G-DRESS, the rice G-RICE.
struct ItemFlowMenu {
    static void build(ObjectContext& context);
};

} // namespace tavlo::test
