// The selection editor opened from a line of the order screen, driven as a person would: its
// sections in order, the quantity's checks (the menu, a sold-out recipe unless refunded), the
// void of a sent unit under a manager's number, the price under its right, the comment (a cancel
// keeps it), the comp with the comp list, and the seat row of an order without seats.
#include "EditorTerminal.h"
#include "core/order/ActivityLog.h"
#include "core/order/ComboSelection.h"
#include "platform/ui/Slider.h"
#include "screens/common/QuantityCellView.h"
#include "screens/common/prompts/AmountViewController.h"
#include "screens/common/prompts/AuthenticateViewController.h"
#include "screens/common/prompts/TextViewController.h"
#include "screens/entry/editor/CompListViewController.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens::test {
namespace {

using namespace ui;
using Section = SelectionViewController::Section;

class SelectionEditorTest : public ::testing::Test {
protected:
    SelectionViewController& editor() { return t.h.visible<SelectionViewController>(); }
    TableView& table() { return editor().tableView(); }
    // A row's words, as the editor makes its cell (rows scrolled off the phone's screen too); the
    // slider rows are not asked, for their cells would replace the value labels shown.
    std::string rowText(IndexPath path) {
        const Section section = editor().sections()[static_cast<size_t>(path.section)];
        if (section == Section::Quantity || section == Section::Seat || section == Section::Course) return "";
        return editor().cellForRow(table(), path)->textLabel().text().value_or("");
    }
    QuantityCellView& quantityCell() { return dynamic_cast<QuantityCellView&>(*table().cellForRow({0, 0})); }
    std::string quantityShown() { return quantityCell().countLabel().text().value_or(""); }
    // Taps the row of a section that shows the text.
    void tapRow(const std::string& text) {
        TableView& rows = table();
        for (int section = 0; section < rows.numberOfSections(); ++section)
            for (int row = 0; row < rows.numberOfRows(section); ++row)
                if (rowText({section, row}) == text) return t.h.tapRow(rows, {section, row});
        FAIL() << "no row " << text;
    }
    // Types a staff number into the authorisation prompt and confirms it.
    void authorize(const std::string& number) {
        ASSERT_NO_THROW(t.h.visible<AuthenticateViewController>());
        t.h.type(t.h.outlet<TextField>("textNumber"), number);
        t.h.tap("Done");
        t.h.runUntilIdle();
    }
    Slider& slider(int section) {
        return dynamic_cast<Slider&>(
            *table().cellForRow({section, 0})->viewWithTag(SelectionViewController::kSliderTag));
    }

    EditorTerminal t;
};

TEST_F(SelectionEditorTest, ADineInLineWithTheSeatViewShowsTheSectionsInOrder) {
    t.setParam("SEAT_VIEW", "YES");
    SelectionPtr line = t.steak();
    line->setSeat(3);
    SelectionViewController& editor = t.edit(line);
    EXPECT_EQ(editor.title(), "Steak");
    EXPECT_EQ(editor.navigationItem().leftBarButtonItem()->title(), "Order");
    EXPECT_EQ(editor.sections(),
              (std::vector<Section>{Section::Quantity, Section::Price, Section::Comments, Section::Comp, Section::Sides,
                                    Section::Seat, Section::RecipePreparations, Section::StoreWidePreparations}));
    std::vector<std::string> rows, headers;
    for (int section = 0; section < table().numberOfSections(); ++section) {
        headers.push_back(editor.titleForHeader(table(), section).value_or("-"));
        for (int row = 0; row < table().numberOfRows(section); ++row)
            if (section != 0 && section != 5) rows.push_back(rowText({section, row}));
    }
    EXPECT_EQ(headers, (std::vector<std::string>{"-", "-", "-", "-", "-", "Seat", "Selection Preparations",
                                                 "Store Wide Preparations"}));
    EXPECT_EQ(rows, (std::vector<std::string>{"Price", "Comments", "Complimentary", "Sides", "Temperature", "Sauces",
                                              "Allergies"}));
    EXPECT_EQ(quantityShown(), "Quantity: 1");
    Slider& seat = slider(5);
    EXPECT_EQ(seat.minimumValue(), 1);
    EXPECT_EQ(seat.maximumValue(), 4);
    EXPECT_EQ(seat.value(), 3);
    EXPECT_TRUE(seat.isEnabled());
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "selection_editor_phone"));

    t.h.slide(seat, 1.7);
    EXPECT_EQ(t.edited().seat(), 2);
    EXPECT_EQ(editor.seatLabel()->text(), "2");

    // A tap on a preparation group opens it outside any flow.
    tapRow("Sauces");
    EXPECT_EQ(t.h.visibleController().title(), "Sauces - Steak");
    t.h.tap("Back");
    tapRow("Sides");
    EXPECT_EQ(t.h.visibleController().title(), "Sides - Steak");
}

TEST_F(SelectionEditorTest, AnOrderWithoutSeatsDisablesTheSeatRow) {
    t.setParam("SEAT_VIEW", "YES");
    t.edit(t.steak(), 0);
    Slider& seat = slider(5);
    EXPECT_FALSE(seat.isEnabled());
    EXPECT_EQ(seat.minimumValue(), 1);
    EXPECT_EQ(seat.maximumValue(), 1);
}

TEST(SelectionEditorSeatCourse, TheRowsFollowTheOrderAndTheStoreValues) {
    struct Case {
        std::string name;
        bool quickSale;
        OrderType orderType;
        std::vector<Section> rows; // after the sides
        bool enabled;
    };
    for (const Case& c : {Case{"dine in", false, OrderType::DineIn, {Section::Seat, Section::Course}, true},
                          Case{"take-out quick sale", true, OrderType::TakeOut, {Section::Seat}, false},
                          Case{"delivery at a table", false, OrderType::Delivery, {}, true}}) {
        SCOPED_TRACE(c.name);
        EditorTerminal t;
        t.setParam("SEAT_VIEW", "YES");
        t.setParam("COURSE_VIEW", "YES");
        t.setParam("HH_QS_USE_SEATS", "YES");
        SelectionViewController& editor = t.edit(t.steak(), 4, [&](Order& order) {
            if (c.quickSale) order.setAreaLocationId(std::nullopt);
            order.setOrderType(c.orderType);
        });
        const auto& sections = editor.sections();
        EXPECT_EQ(std::vector<Section>(sections.begin() + 5, sections.end() - 2), c.rows);
        for (size_t i = 0; i < c.rows.size(); ++i) {
            auto& slider = dynamic_cast<Slider&>(*editor.tableView()
                                                      .cellForRow({5 + static_cast<int>(i), 0})
                                                      ->viewWithTag(SelectionViewController::kSliderTag));
            EXPECT_EQ(slider.isEnabled(), c.enabled);
            EXPECT_EQ(slider.maximumValue(), c.rows[i] == Section::Seat ? 4 : 10);
        }
    }
}

TEST(SelectionEditorQuantity, PlusChecksTheStockUnlessTheOrderIsARefund) {
    struct Case {
        OrderType orderType;
        int32_t available;
        bool refused;
    };
    for (const Case& c :
         {Case{OrderType::DineIn, 0, true}, Case{OrderType::Refund, 0, false}, Case{OrderType::DineIn, 100, false}}) {
        SCOPED_TRACE(std::to_string(storedNumber(c.orderType)) + " " + std::to_string(c.available));
        EditorTerminal t;
        t.store.row("Recipe", "recipeId", "R-STEAK")->setValue("available", c.available);
        SelectionViewController& editor = t.edit(t.steak());
        editor.order()->setOrderType(c.orderType);
        auto& cell = dynamic_cast<QuantityCellView&>(*editor.tableView().cellForRow({0, 0}));
        t.h.tap(cell.plusButton());
        EXPECT_EQ(t.h.hasAlert(), c.refused);
        if (c.refused) {
            EXPECT_EQ(t.h.frontAlert().message(), "Unable to order, we are currently out of this item");
            t.h.clickAlert("Ok");
        }
        EXPECT_EQ(t.edited().quantity(), c.refused ? 1 : 2);
        EXPECT_EQ(cell.countLabel().text(), c.refused ? "Quantity: 1" : "Quantity: 2");
    }
}

TEST_F(SelectionEditorTest, PlusOnALineOfAMenuNoLongerOfferedIsRefused) {
    t.store.row("Menu", "menuId", "M1")->setValue("disabled", true);
    t.edit(t.steak());
    t.h.tap(quantityCell().plusButton());
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(), "Menu is no longer available");
    t.h.clickAlert("Ok");
    EXPECT_EQ(t.edited().quantity(), 1);
}

TEST_F(SelectionEditorTest, MinusOnASentUnitWithoutTheVoidRightTakesAManagersNumber) {
    t.edit(t.steak(2));
    t.h.tap(quantityCell().minusButton());
    EXPECT_EQ(t.h.visibleController().title(), "Void Item");
    t.h.tap("Cancel"); // changes nothing
    EXPECT_EQ(t.edited().quantity(), 2);

    t.h.tap(quantityCell().minusButton());
    authorize("1002");
    ASSERT_NO_THROW(t.h.visible<SelectionViewController>());
    EXPECT_EQ(t.edited().quantity(), 1);
    EXPECT_EQ(quantityShown(), "Quantity: 1");
    ASSERT_FALSE(t.screen->order()->logs().empty());
    const ActivityLog& entry = t.screen->order()->logs().back();
    EXPECT_EQ(entry.action(), "removeMainSelection");
    EXPECT_EQ(entry.forcedBy(), "U-BOB");
    EXPECT_EQ(entry.userId(), "U-ANN");
}

TEST_F(SelectionEditorTest, MinusOnTheLastSentUnitAsksBeforeVoidingIt) {
    t.edit(t.steak());
    t.h.tap(quantityCell().minusButton());
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().title(), "Void Item");
    EXPECT_EQ(t.h.frontAlert().message(), "Steak was sent. Void it?");
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (std::vector<std::string>{"Cancel", "Void"}));
    t.h.clickAlert("Cancel"); // changes nothing
    EXPECT_EQ(t.edited().quantity(), 1);
    EXPECT_FALSE(t.edited().deleted());

    t.h.tap(quantityCell().minusButton());
    t.h.clickAlert("Void");
    t.h.runUntilIdle();
    authorize("1002"); // the right to void is still a manager's
    EXPECT_TRUE(t.edited().deleted());
    EXPECT_EQ(t.edited().voidedQuantity(), 1) << "the kitchen hears of it with the next send";
    EXPECT_TRUE(t.onScreen());
}

TEST_F(SelectionEditorTest, MinusOnTheLastUnsentUnitRemovesTheLineAndReturnsToTheOrder) {
    t.edit(t.steak());
    Selection& edited = t.edited();
    edited.setNewQuantity(1); // the unit was never sent
    t.h.tap(quantityCell().minusButton());
    t.h.runUntilIdle();
    EXPECT_EQ(edited.quantity(), 0);
    EXPECT_TRUE(edited.deleted());
    EXPECT_TRUE(t.onScreen());
}

TEST_F(SelectionEditorTest, ThePriceNeedsItsRight) {
    t.edit(t.steak());
    tapRow("Price");
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(), "You do not have the required access");
    EXPECT_EQ(t.h.frontAlert().buttonTitle(0), "OK");
    t.h.clickAlert("OK");
    EXPECT_NO_THROW(t.h.visible<SelectionViewController>());
}

TEST(SelectionEditorPrice, AManagerSetsThePriceOnAPromptWithoutCancel) {
    EditorTerminal t;
    t.signIn("U-BOB"); // not on the clock: every role of his counts
    t.edit(t.steak());
    TableView& table = t.h.visible<SelectionViewController>().tableView();
    t.h.tapRow(table, {1, 0});
    auto& prompt = t.h.visible<AmountViewController>();
    EXPECT_EQ(prompt.title(), "Price Modification");
    EXPECT_EQ(prompt.amountView()->text(), "$24.50");
    EXPECT_FALSE(prompt.navigationItem().leftBarButtonItem());
    t.h.backspace(*prompt.amountView(), 6);
    t.h.type(*prompt.amountView(), "1999");
    t.h.tap("Save");
    t.h.runUntilIdle();
    EXPECT_EQ(t.edited().price(), 1999);
    EXPECT_NO_THROW(t.h.visible<SelectionViewController>());
}

TEST_F(SelectionEditorTest, ACancelledCommentPromptKeepsTheCommentAndASavedEmptyOneClearsIt) {
    SelectionPtr line = t.steak();
    line->setComment(std::string("No salt"));
    t.edit(line);
    tapRow("Comments");
    auto& prompt = t.h.visible<TextViewController>();
    EXPECT_EQ(prompt.title(), "Comments");
    EXPECT_EQ(prompt.textView()->text(), "No salt");
    t.h.tap("Cancel");
    t.h.runUntilIdle();
    EXPECT_EQ(t.edited().comment(), "No salt");

    tapRow("Comments");
    t.h.backspace(*t.h.visible<TextViewController>().textView(), 7);
    t.h.tap("Save");
    t.h.runUntilIdle();
    EXPECT_FALSE(t.edited().comment());
    EXPECT_NO_THROW(t.h.visible<SelectionViewController>());
}

TEST_F(SelectionEditorTest, ACompThatNeedsPermissionAsksForItRemoveCompClearsItAndTheTotalsFollow) {
    t.edit(t.steak());
    tapRow("Complimentary");
    auto& list = t.h.visible<CompListViewController>();
    EXPECT_EQ(list.title(), "Comp Item");
    std::vector<std::string> rows;
    for (int row = 0; row < list.tableView().numberOfRows(0); ++row)
        rows.push_back(list.tableView().cellForRow({0, row})->textLabel().text().value_or(""));
    EXPECT_EQ(rows, (std::vector<std::string>{"Birthday", "Manager Meal", "REMOVE COMP"}));

    t.h.tapRow(list.tableView(), {0, 1}); // Manager Meal: Ann lacks COMPLIMENTARY
    EXPECT_EQ(t.h.visibleController().title(), "Comp Item");
    authorize("1002");
    ASSERT_NO_THROW(t.h.visible<SelectionViewController>());
    EXPECT_EQ(t.edited().compName(), "Manager Meal");
    EXPECT_EQ(t.edited().compBy(), "U-BOB");
    EXPECT_EQ(t.edited().compPercent(), 10000);
    EXPECT_EQ(t.screen->order()->getCompTotal(), 2450);
    EXPECT_EQ(t.screen->order()->getTotal(), t.screen->order()->getTaxTotal());

    // The list marks the comp the line has; the remove row clears it.
    tapRow("Complimentary");
    TableView& again = t.h.visible<CompListViewController>().tableView();
    EXPECT_EQ(again.cellForRow({0, 1})->accessoryType(), AccessoryType::Checkmark);
    EXPECT_EQ(again.cellForRow({0, 0})->accessoryType(), AccessoryType::None);
    t.h.tapRow(again, {0, 2});
    ASSERT_NO_THROW(t.h.visible<SelectionViewController>());
    EXPECT_FALSE(t.edited().compName());
    EXPECT_FALSE(t.edited().compBy());
    EXPECT_EQ(t.edited().compPercent(), 0);
    EXPECT_EQ(t.screen->order()->getCompTotal(), 0);
    EXPECT_EQ(t.screen->order()->getSubTotal(), 2450);
}

TEST_F(SelectionEditorTest, ACompWithoutPermissionIsTheUsersOwnAndItsCommentMayBeCancelled) {
    t.setParam("COMP_COMMENTS", "YES");
    t.setParam("HH_TEMP_COMP_COMMENTS", "YES");
    t.edit(t.steak());
    tapRow("Complimentary");
    t.h.tapRow(t.h.visible<CompListViewController>().tableView(), {0, 0}); // Birthday
    EXPECT_EQ(t.h.visibleController().title(), "Enter Comment for Comp");
    t.h.tap("Cancel");
    t.h.runUntilIdle();
    ASSERT_NO_THROW(t.h.visible<SelectionViewController>());
    EXPECT_EQ(t.edited().compName(), "Birthday");
    EXPECT_EQ(t.edited().compBy(), "U-ANN");
    EXPECT_FALSE(t.edited().compDescription());
    EXPECT_EQ(t.screen->order()->getCompTotal(), 1225);

    // Done leaves the list and the comp as they were.
    tapRow("Complimentary");
    t.h.tap("Done");
    ASSERT_NO_THROW(t.h.visible<SelectionViewController>());
    EXPECT_EQ(t.edited().compName(), "Birthday");
}

TEST_F(SelectionEditorTest, CompsDisabledOnHandheldsAreRefused) {
    t.setParam("HH_COMPS_DISABLED", "YES");
    t.edit(t.steak());
    tapRow("Complimentary");
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(), "Comps disabled on handhelds");
}

TEST_F(SelectionEditorTest, TheSidesOfAComboAreGreyAndDoNothing) {
    auto combo = std::make_shared<ComboSelection>();
    combo->setName(std::string("Burger Deal"));
    combo->setItemId(std::string("I-DEAL"));
    combo->setMenuId(std::string("M1"));
    combo->setPrice(1500);
    combo->setRemoteId(std::string("SEL-2"));
    combo->addSelection(t.steak());
    t.edit(combo);
    tapRow("Sides");
    EXPECT_EQ(&t.h.visibleController(), &editor());
    const IndexPath sides{4, 0};
    EXPECT_EQ(editor().cellForRow(table(), sides)->textLabel().textColor(), Color::lightGray());
    EXPECT_EQ(editor().cellForRow(table(), {3, 0})->textLabel().textColor(), Color::black());
}

TEST(SelectionEditorComps, AUserHoldingTheRightCompsWithoutThePromptAndAnEmptyListOffersRemoveOnly) {
    EditorTerminal t;
    t.signIn("U-BOB");
    SelectionViewController& editor = t.edit(t.steak());
    t.h.tapRow(editor.tableView(), {3, 0});
    t.h.tapRow(t.h.visible<CompListViewController>().tableView(), {0, 1}); // Manager Meal
    ASSERT_EQ(&t.h.visibleController(), &editor);
    EXPECT_EQ(t.edited().compName(), "Manager Meal");
    EXPECT_EQ(t.edited().compBy(), "U-BOB");

    for (const auto& comp : t.store->fetch("Complimentary", "disabled == NO")) comp->setValue("disabled", true);
    t.h.tapRow(editor.tableView(), {3, 0});
    TableView& list = t.h.visible<CompListViewController>().tableView();
    ASSERT_EQ(list.numberOfRows(0), 1);
    EXPECT_EQ(list.cellForRow({0, 0})->textLabel().text(), "REMOVE COMP");
}

} // namespace
} // namespace tavlo::screens::test
