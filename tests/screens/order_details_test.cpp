#include "DetailsTerminal.h"

#include "core/order/OrderDiscount.h"
#include "core/order/Payment.h"
#include "core/order/Selection.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Slider.h"
#include "screens/common/QuantityCellView.h"
#include "screens/common/prompts/AmountViewController.h"
#include "screens/common/prompts/AuthenticateViewController.h"
#include "screens/common/prompts/TextViewController.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens::test {
namespace {

using Section = OrderDetailsViewController::Section;

std::vector<std::string> headers(DetailsTerminal& t) {
    std::vector<std::string> out;
    for (int s = 0; s < t.table().numberOfSections(); ++s) out.push_back(t.table().headerTitle(s).value_or(""));
    return out;
}

TEST(OrderDetails, SectionsFollowTheConfiguration) {
    struct Case {
        const char* what;
        bool table, customers, quickSaleSeats, gratuity;
        std::vector<std::string> shown;
    };
    const std::vector<Case> cases = {
        {"quick sale with customers", false, true, false, true, {"Details", "Tools", "Customer"}},
        {"quick sale", false, false, false, true, {"Details", "Tools"}},
        {"quick sale with seats", false, false, true, true, {"Details", "Tools", "Seats"}},
        {"table", true, false, false, false, {"Details", "Tools", "Seats"}},
        {"table with everything", true, true, false, true, {"Details", "Tools", "Customer", "Seats", "Gratuity"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DetailsTerminal t;
        if (c.customers) t.setParam("MODULE_CUSTOMER_ACCOUNTS", "YES");
        if (c.quickSaleSeats) t.setParam("HH_QS_USE_SEATS", "YES");
        if (c.gratuity) t.setParam("MODULE_GRATUITY", "YES");
        auto order = t.order({t.line("Burger", 900)});
        if (!c.table) order->setAreaLocationId(std::nullopt);
        t.details(order);
        EXPECT_EQ(headers(t), c.shown);
    }
}

TEST(OrderDetails, TheAgeRunsEverySecondAndTogglesToTheCreationDate) {
    DetailsTerminal t;
    OrderDetailsViewController& screen = t.details(t.order({t.line("Burger", 900)}));
    EXPECT_EQ(t.rowText({0, 1}, OrderDetailsViewController::kCaptionTag), "Elapsed");
    t.h.advance(1);
    t.h.runUntilIdle();
    EXPECT_EQ(t.rowText({0, 1}, OrderDetailsViewController::kValueTag), "0:00:01");
    t.h.tapRow(t.table(), {0, 1});
    t.h.runUntilIdle();
    EXPECT_EQ(t.rowText({0, 1}, OrderDetailsViewController::kCaptionTag), "Created");
    EXPECT_EQ(t.rowText({0, 1}, OrderDetailsViewController::kValueTag),
              DateFormatter::format(*screen.order()->created(), "MMM d, yyyy h:mm a"));
    EXPECT_FALSE(screen.timerRunning());
    t.h.tapRow(t.table(), {0, 1});
    t.h.runUntilIdle();
    EXPECT_TRUE(screen.timerRunning()) << "tapping again restarts the clock";
}

TEST(OrderDetails, TheAgeReadsHoursMinutesAndSecondsWithoutWrappingTheHours) {
    for (const auto& [seconds, text] :
         {std::pair{0.0, "0:00:00"}, std::pair{9.5, "0:00:09"}, std::pair{61.0, "0:01:01"},
          std::pair{3599.0, "0:59:59"}, std::pair{90605.0, "25:10:05"}})
        EXPECT_EQ(OrderDetailsViewController::elapsedText(seconds), text) << seconds;
}

TEST(OrderDetails, ToolsNeedItemsAndRights) {
    struct Case {
        const char* what;
        std::string user;
        bool items, compsDisabled;
        std::vector<bool> enabled; // void, comp, split, discount
    };
    const std::vector<Case> cases = {
        {"an empty order", "U-ANN", false, false, {false, false, false, false}},
        {"every right", "U-ANN", true, false, {true, true, true, true}},
        {"comps turned off", "U-ANN", true, true, {true, false, true, true}},
        {"no rights", "U-DAN", true, false, {true, false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DetailsTerminal t;
        if (c.compsDisabled) t.setParam("HH_COMPS_DISABLED", "YES");
        t.signIn(c.user);
        t.details(c.items ? t.order({t.line("Burger", 900)}) : t.order({}));
        std::vector<bool> enabled;
        for (int row = 0; row < 4; ++row) {
            auto* tool = dynamic_cast<ui::Button*>(
                t.table().cellForRow({1, row})->contentView().viewWithTag(OrderDetailsViewController::kToolTag));
            ASSERT_NE(tool, nullptr);
            enabled.push_back(tool->isEnabled());
        }
        EXPECT_EQ(enabled, c.enabled);
    }
}

TEST(OrderDetails, VoidAllOfASentLineAsksAManagerAndRemindsOfThePayments) {
    DetailsTerminal t;
    t.signIn("U-GUS");
    auto order = t.order({t.line("Burger", 900), t.newLine("Fries", 300)});
    order->addPayment(Payment::initWithSession(*t.session, std::nullopt, order->name(), Payment::kCash, 500, 0, 0, 0, 0,
                                               std::nullopt, std::nullopt, std::nullopt, std::nullopt, nullptr));
    t.details(order);
    t.h.tap("Void All Items");
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(), "Are you sure you want to void all items in this order?");
    t.h.clickAlert("Yes");
    t.h.runUntilIdle();
    auto& prompt = t.h.visible<AuthenticateViewController>();
    EXPECT_EQ(prompt.title(), "Void Order");
    EXPECT_FALSE(order->isEmpty()) << "nothing is voided before a manager says so";
    t.h.type(t.h.outlet<ui::TextField>("textNumber"), "1002");
    t.h.tap("Done");
    t.h.runUntilIdle();
    EXPECT_TRUE(order->isEmpty());
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(),
              "Items have been voided, however, order contains payments. Remember to void all payments for this order");
    t.h.clickAlert("OK");
    EXPECT_EQ(t.navigation->topViewController(), t.host.get()) << "back on the order screen";
}

TEST(OrderDetails, VoidAllOfUnsentLinesNeedsNoRight) {
    DetailsTerminal t;
    t.signIn("U-GUS");
    auto order = t.order({t.newLine("Burger", 900)});
    t.details(order);
    t.h.tap("Void All Items");
    t.h.clickAlert("Yes");
    t.h.runUntilIdle();
    EXPECT_TRUE(order->isEmpty());
    EXPECT_FALSE(t.h.hasAlert()) << "no payments, no reminder";
    EXPECT_EQ(t.navigation->topViewController(), t.host.get());
}

TEST(OrderDetails, ADiscountMustBeAtLeastACentAndNoMoreThanTheOrderStillCosts) {
    struct Case {
        std::string typed;
        int32_t paid;
        bool added;
        std::string refusal;
    };
    const std::string tooMuch = "The discount cannot be more than the order still costs ($";
    for (const Case& c : {Case{"", 0, false, "Discount amount must be greater than 0"},
                          Case{"0", 0, false, "Discount amount must be greater than 0"}, Case{"250", 0, true, ""},
                          Case{"900", 0, true, ""}, Case{"901", 0, false, tooMuch + "9.00)"},
                          Case{"500", 500, false, tooMuch + "4.00)"}}) {
        SCOPED_TRACE(c.typed);
        DetailsTerminal t;
        auto order = t.order({t.line("Burger", 900)});
        if (c.paid) {
            order->addPayment(Payment::initWithSession(*t.session, std::nullopt, order->name(), Payment::kCash, c.paid,
                                                       0, 0, 0, 0, std::nullopt, std::nullopt, std::nullopt,
                                                       std::nullopt, nullptr));
        }
        t.details(order);
        t.h.tap("Discount");
        t.h.runUntilIdle();
        auto& prompt = t.h.visible<AmountViewController>();
        EXPECT_EQ(prompt.title(), "Discount");
        if (!c.typed.empty()) t.h.type(*prompt.amountView(), c.typed);
        t.h.tap("Save");
        t.h.runUntilIdle();
        ASSERT_EQ(order->activeDiscounts().size(), c.added ? 1u : 0u);
        EXPECT_GE(order->getDue(), 0);
        if (c.added) {
            const auto discount = order->activeDiscounts().front();
            EXPECT_EQ(discount->name(), "Open Discount");
            EXPECT_EQ(discount->amount(), std::stoi(c.typed));
            EXPECT_EQ(discount->discountBy(), "U-ANN");
            EXPECT_EQ(discount->authBy(), "U-ANN");
            EXPECT_FALSE(t.h.hasAlert());
        } else {
            ASSERT_TRUE(t.h.hasAlert());
            EXPECT_EQ(t.h.frontAlert().message(), c.refusal);
            EXPECT_TRUE(order->discounts().empty()) << "nothing left behind, not even removed";
        }
    }
}

TEST(OrderDetails, RenameNeedsTheRightAndTakesANewNonEmptyName) {
    DetailsTerminal t;
    auto order = t.order({t.line("Burger", 900)});
    t.details(order);
    t.h.tapRow(t.table(), {0, 0});
    t.h.runUntilIdle();
    auto& prompt = t.h.visible<TextViewController>();
    EXPECT_EQ(prompt.title(), "Modify name");
    t.h.backspace(*prompt.textView(), 2);
    t.h.type(*prompt.textView(), "Window");
    t.h.tap("Save");
    t.h.runUntilIdle();
    EXPECT_EQ(order->name(), "Window");
    EXPECT_EQ(t.rowText({0, 0}, OrderDetailsViewController::kValueTag), "Window");

    t.signIn("U-DAN");
    t.details(order);
    t.h.tapRow(t.table(), {0, 0});
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(), "You do not have the required access");
}

TEST(OrderDetails, TheSeatStepperNeverGoesBelowOneAndATakeOutCannotChangeIt) {
    DetailsTerminal t;
    auto order = t.order({t.line("Burger", 900)});
    order->setSeats(1);
    t.details(order);
    t.table().scrollToRow({2, 0});
    t.h.runUntilIdle();
    ui::TableViewCell* row = t.table().cellForRow({2, 0});
    auto* stepper = dynamic_cast<QuantityCellView*>(row);
    ASSERT_NE(stepper, nullptr);
    EXPECT_EQ(stepper->countLabel().text(), "Seats: 1");
    t.h.tap(stepper->minusButton());
    EXPECT_EQ(order->seats(), 1);
    t.h.tap(stepper->plusButton());
    t.h.tap(stepper->plusButton());
    EXPECT_EQ(order->seats(), 3);
    EXPECT_EQ(stepper->countLabel().text(), "Seats: 3");

    order->setOrderType(OrderType::TakeOut);
    t.details(order);
    t.table().scrollToRow({2, 0});
    t.h.runUntilIdle();
    auto* takeOut = dynamic_cast<QuantityCellView*>(t.table().cellForRow({2, 0}));
    ASSERT_NE(takeOut, nullptr);
    EXPECT_FALSE(takeOut->plusButton().isEnabled());
    EXPECT_FALSE(takeOut->minusButton().isEnabled());
}

TEST(OrderDetails, TheGratuitySliderSetsWholePercents) {
    DetailsTerminal t;
    t.setParam("MODULE_GRATUITY", "YES");
    auto order = t.order({t.line("Burger", 900)});
    order->setGratuityPercentage(1500);
    t.details(order);
    t.table().scrollToRow({3, 0});
    t.h.runUntilIdle();
    ui::TableViewCell* row = t.table().cellForRow({3, 0});
    ASSERT_NE(row, nullptr);
    auto* slider = dynamic_cast<ui::Slider*>(row->contentView().viewWithTag(OrderDetailsViewController::kSliderTag));
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->value(), 15);
    t.h.slide(*slider, 18.7);
    EXPECT_EQ(order->gratuityPercentage(), 1800);
    EXPECT_EQ(t.rowText({3, 0}, OrderDetailsViewController::kSliderLabelTag), "18%");
}

// Adds the store's "Manager" comp (all of a line), and a wine that the house does not comp.
void addCompsAndWine(DetailsTerminal& t) {
    auto comp = t.store->insert("Complimentary");
    comp->setValue("complimentaryId", "C-MGR");
    comp->setValue("name", "Manager");
    comp->setValue("percentage", int32_t(10000));
    auto group = t.store->insert("RecipeGroup");
    group->setValue("recipeGroupId", "G-ALC");
    group->setValue("name", "Alcohol");
    auto wine = t.store->insert("Recipe");
    wine->setValue("recipeId", "R-WINE");
    wine->setValue("name", "Wine");
    wine->setToOne("recipeGroup", group);
    auto rule = t.store->insert("Rule");
    rule->setValue("ruleId", "RU-1");
    rule->setValue("type", "NonCompableRecipeGroups");
    auto param = t.store->insert("RuleParam");
    param->setValue("name", "RECIPE_GROUP_1");
    param->setValue("value", "Alcohol");
    param->setToOne("rule", rule);
    t.store.save();
    t.signIn("U-ANN");
}

TEST(OrderDetails, CompAllCompsWhatMayBeCompedAndOnlyThoseLinesTakeTheComment) {
    DetailsTerminal t;
    addCompsAndWine(t);
    t.setParam("COMP_COMMENTS", "YES");
    t.setParam("HH_TEMP_COMP_COMMENTS", "YES");
    SelectionPtr burger = t.line("Burger", 900);
    SelectionPtr wine = t.line("Wine", 700);
    wine->setRecipeId(std::string("R-WINE"));
    wine->setCompDescription(std::string("earlier note"));
    auto order = t.order({burger, wine});
    t.details(order);
    t.h.tap("Comp All Items");
    t.h.runUntilIdle();
    auto& comps = t.h.visible<FakeCompList>();
    EXPECT_EQ(comps.currentComp, std::nullopt) << "no comp is shared by every line";
    comps.answer(std::string("C-MGR"), std::string("U-BOB"));
    t.h.runUntilIdle();
    EXPECT_EQ(burger->compName(), "Manager");
    EXPECT_EQ(burger->compBy(), "U-BOB");
    EXPECT_EQ(burger->compPercent(), 10000);
    EXPECT_EQ(wine->compName(), std::nullopt) << "the house does not comp wine";
    auto& comment = t.h.visible<TextViewController>();
    EXPECT_EQ(comment.title(), "Enter Comment for Comp");
    t.h.type(*comment.textView(), "birthday");
    t.h.tap("Save");
    t.h.runUntilIdle();
    EXPECT_EQ(burger->compDescription(), "birthday");
    EXPECT_EQ(wine->compDescription(), "earlier note") << "a line the comp did not reach keeps its own";
    EXPECT_EQ(t.navigation->topViewController(), t.detailsScreen.get()) << "the comp list is gone";
    ASSERT_EQ(t.replaced.size(), 1u);
    EXPECT_EQ(t.replaced.front(), nullptr) << "the order screen is told to redraw";
}

TEST(OrderDetails, TheCompListOpensOnTheCompEveryLineShares) {
    DetailsTerminal t;
    addCompsAndWine(t);
    SelectionPtr burger = t.line("Burger", 900), fries = t.line("Fries", 300);
    for (const auto& line : {burger, fries}) line->setCompName(std::string("Manager"));
    auto order = t.order({burger, fries});
    t.details(order);
    t.h.tap("Comp All Items");
    t.h.runUntilIdle();
    auto& comps = t.h.visible<FakeCompList>();
    EXPECT_EQ(comps.currentComp, "Manager");
    comps.answer(std::nullopt, std::nullopt);
    t.h.runUntilIdle();
    EXPECT_EQ(burger->compName(), std::nullopt);
    EXPECT_EQ(fries->compPercent(), 0);
}

TEST(OrderDetails, LooksRight) {
    DetailsTerminal t;
    t.setParam("MODULE_CUSTOMER_ACCOUNTS", "YES");
    t.setParam("MODULE_GRATUITY", "YES");
    t.session->setTerminalName(std::string("Front"));
    t.details(t.order({t.line("Burger", 900), t.line("Fries", 300)}));
    t.h.advance(75);
    t.h.runUntilIdle();
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "order_details_phone"));
    t.table().scrollToRow({3, 0});
    t.h.runUntilIdle();
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "order_details_customer_seats_phone"));
}

} // namespace
} // namespace tavlo::screens::test
