#include "OrderScreenTerminal.h"

#include "core/order/ComboSelection.h"
#include "core/order/OrderDiscount.h"
#include "core/order/Payment.h"
#include "core/order/Preparation.h"
#include "core/util/Utils.h"
#include "screens/common/prompts/AmountViewController.h"
#include "support/RecordingAnnouncer.h"
#include "support/ui/Golden.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/net/NetworkProbe.h"
#include "sync/exchange/CommHelper.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tavlo::screens::test {
namespace {

using ui::Button;

bool printed(const std::vector<std::string>& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

bool hasCall(const std::vector<std::string>& calls, const std::string& text) {
    return std::any_of(calls.begin(), calls.end(),
                       [&](const std::string& call) { return call.find(text) != std::string::npos; });
}

// A new quick sale back from its menu screen, with one line of the price.
OrderViewController& quickSaleWith(OrderScreenTerminal& t, int32_t price) {
    OrderViewController& screen = t.open();
    screen.order()->addSelection(t.line("Burger", price), t.session.get());
    t.h.tapBack(); // from the menu screen the phone pushed for the new order
    t.h.runUntilIdle();
    return screen;
}

TEST(OrderScreen, NewQuickSaleAsksTheTypeThenTheNameThenShowsTheMenu) {
    OrderScreenTerminal t;
    t.setParam("HH_PROMPT_ORDER_TYPE", "YES");
    t.setParam("QS_PROMPT_NAME", "YES");
    OrderViewController& screen = t.open();
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().title(), "Order Type");
    t.h.clickAlert(Order::typeUILabel(OrderType::PickUp));
    t.h.runUntilIdle();
    EXPECT_EQ(screen.order()->orderType(), OrderType::PickUp);
    EXPECT_FALSE(t.h.hasAlert());
    EXPECT_EQ(t.h.visibleController().title(), "Order Name");
    t.h.tap("Save");
    t.h.runUntilIdle();
    EXPECT_NE(dynamic_cast<MenuViewController*>(&t.h.visibleController()), nullptr) << "the menu comes last";
    EXPECT_TRUE(screen.order()->isOpen());
}

TEST(OrderScreen, ANewTableOrderWithForcedSeatsAsksTheGuestCountBeforeTheMenu) {
    OrderScreenTerminal t;
    t.setParam("FORCE_SET_SEATS", "YES");
    OrderViewController& screen = t.open(std::nullopt, std::string("L1"));
    EXPECT_EQ(screen.order()->seats(), 0) << "the table's own seats are not taken";
    ASSERT_EQ(t.h.visibleController().title(), "Enter seats");
    t.h.type(*t.h.visible<AmountViewController>().amountView(), "3");
    t.h.tap("Save");
    t.h.runUntilIdle();
    EXPECT_EQ(screen.order()->seats(), 3);
    EXPECT_NE(dynamic_cast<MenuViewController*>(&t.h.visibleController()), nullptr) << "the menu comes next";
}

TEST(OrderScreen, CancelAsksBeforeLosingUnsentLinesAndLeavesASentOrderAtOnce) {
    OrderScreenTerminal t;
    quickSaleWith(t, 500);
    t.h.tap("Cancel");
    ASSERT_TRUE(t.h.hasAlert()) << "a line is not sent yet";
    EXPECT_EQ(t.h.frontAlert().message(), "The items not sent will be lost. Cancel the changes?");
    t.h.clickAlert("No");
    t.h.runUntilIdle();
    EXPECT_TRUE(t.onScreen());
    t.h.tap("Cancel");
    t.h.clickAlert("Yes");
    t.h.runUntilIdle();
    EXPECT_FALSE(t.onScreen());
    EXPECT_TRUE(t.sender->orders.empty());

    OrderScreenTerminal sent;
    sent.storedOrder({sent.line("Burger", 500)});
    sent.open(std::string("O-1"), std::string("L1"));
    sent.h.tap("Cancel");
    EXPECT_FALSE(sent.h.hasAlert()) << "every line was sent";
    sent.h.runUntilIdle();
    EXPECT_FALSE(sent.onScreen());
}

struct DueCase {
    int32_t price;
    std::string exact, up;
    bool enabled;
};

TEST(OrderScreen, TheCashButtonsOfferTheDueAndTheNextWholeAmount) {
    for (const DueCase& c : {DueCase{1234, "$12.34", "$13.00", true}, DueCase{1200, "$12.00", "$12.00", true},
                             DueCase{0, "$0.00", "$0.00", false}}) {
        SCOPED_TRACE(c.price);
        OrderScreenTerminal t;
        OrderViewController& screen = quickSaleWith(t, c.price);
        Button& exact = *screen.button("payExact");
        Button& up = *screen.button("payUp");
        EXPECT_EQ(exact.title().value_or(""), c.exact);
        EXPECT_EQ(up.title().value_or(""), c.up);
        EXPECT_EQ(exact.isEnabled(), c.enabled);
        EXPECT_EQ(up.isEnabled(), c.enabled);
        EXPECT_EQ(t.text("due"), c.exact);
        EXPECT_TRUE(screen.button("close")->isEnabled() != c.enabled);
    }
}

TEST(OrderScreen, ALiteQuickSaleShowsItsCashButtons) {
    OrderScreenTerminal t;
    quickSaleWith(t, 1234);
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "order_screen_quick_sale"));
}

// A quick sale (10.00 unless said) with an automatic gratuity of 10% on its one seat.
OrderViewController& quickSaleWithGratuity(OrderScreenTerminal& t, int32_t price = 1000) {
    OrderViewController& screen = quickSaleWith(t, price);
    screen.order()->setGratuityMinSeats(1);
    screen.order()->setSeats(1);
    screen.order()->setGratuityPercentage(1000);
    screen.refresh();
    return screen;
}

TEST(OrderScreen, TheCashButtonsPayTheGratuityTheDueShowsAndRecordIt) {
    struct Case {
        const char* button;
        std::string title;
        int32_t change;
        std::string alert;
    };
    // 9.50 and its gratuity of 0.95.
    for (const Case& c :
         {Case{"payExact", "$10.45", 0, ""},
          Case{"payUp", "$11.00", 55, "Tendered: $11.00\nAmount: $9.50\nGratuity and/or Tip: $0.95\nChange: $0.55"}}) {
        OrderScreenTerminal t;
        OrderViewController& screen = quickSaleWithGratuity(t, 950);
        EXPECT_EQ(t.text("due"), "$10.45") << "the due shows the unpaid gratuity";
        EXPECT_EQ(screen.button(c.button)->title(), c.title);
        std::shared_ptr<Order> paid = screen.order();
        t.h.tap(*screen.button(c.button));
        EXPECT_EQ(t.h.hasAlert() ? t.h.frontAlert().message().value_or("") : "", c.alert) << c.button;
        ASSERT_EQ(paid->payments().size(), 1u);
        EXPECT_EQ(paid->payments()[0]->subTotal(), 950);
        EXPECT_EQ(paid->payments()[0]->gratuity(), 95) << c.button;
        EXPECT_EQ(paid->payments()[0]->change(), c.change) << c.button;
    }
}

TEST(OrderScreen, TenderedAboveDueAndGratuityGivesTheRestAsChange) {
    OrderScreenTerminal t;
    OrderViewController& screen = quickSaleWithGratuity(t);
    screen.payAmount(2000);
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(),
              "Tendered: $20.00\nAmount: $10.00\nGratuity and/or Tip: $1.00\nChange: $9.00");
    EXPECT_EQ(screen.order()->payments().at(0)->gratuity(), 100);
    EXPECT_EQ(screen.order()->payments().at(0)->change(), 900);
}

TEST(OrderScreen, CloseRefusesAnOrderWhoseGratuityIsUnpaid) {
    OrderScreenTerminal t;
    OrderViewController& screen = quickSaleWithGratuity(t);
    // The due paid, the gratuity not.
    auto payment = Payment::initWithSession(*t.session, std::nullopt, screen.order()->name(), Payment::kCash, 1000, 0,
                                            0, 0, 0, std::nullopt, std::nullopt, std::nullopt, std::nullopt, nullptr);
    screen.order()->addPayment(payment);
    screen.refresh();
    EXPECT_EQ(t.text("due"), "$1.00");
    EXPECT_FALSE(screen.button("close")->isEnabled());
    screen.close();
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(), "Unable to close. Order has to be paid");
    EXPECT_TRUE(screen.order()->isOpen());
    EXPECT_TRUE(t.sender->orders.size() <= 1u) << "nothing closed was handed over";
}

TEST(OrderScreen, ARefundShowsItsTotalsNegatedAndItsDueAsIs) {
    OrderScreenTerminal t;
    auto order = t.storedOrder({t.line("Burger", 1234)});
    order->setOrderType(OrderType::Refund);
    order->write(*t.store.context());
    t.store.save();
    t.open(std::string("O-1"), std::string("L1"));
    EXPECT_EQ(t.text("subTotal"), "-$12.34");
    EXPECT_EQ(t.text("total"), "-$12.34");
    EXPECT_EQ(t.text("due"), "$12.34");
}

TEST(OrderScreen, AnotherServersOrderIsRefusedAndTheScreenLeaves) {
    OrderScreenTerminal t;
    t.storedOrder({t.line("Burger", 500)}, "U-BOB");
    t.signIn("U-EVE");
    t.open(std::string("O-1"), std::string("L1"));
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(), "Unable to work on an order opened by somebody else. If you need to work on "
                                          "it, have the manager transfer it to you");
    t.h.clickAlert("Ok");
    t.h.runUntilIdle();
    EXPECT_FALSE(t.onScreen());
    EXPECT_EQ(t.navigation->topViewController(), t.host.get());
}

TEST(OrderScreen, PayExactOnALiteQuickSaleClosesItKicksTheDrawerPrintsAndStartsTheNext) {
    OrderScreenTerminal t;
    t.setParam("QS_CASH_AUTO_CLOSE", "YES");
    OrderViewController& screen = quickSaleWith(t, 1234);
    std::shared_ptr<Order> paid = screen.order();
    t.h.tap(*screen.button("payExact"));
    t.h.runUntilIdle();
    EXPECT_FALSE(t.h.hasAlert()) << "no change is due";
    ASSERT_EQ(paid->payments().size(), 1u);
    EXPECT_EQ(paid->payments()[0]->type(), Payment::kCash);
    EXPECT_EQ(paid->payments()[0]->drawerId(), "D1");
    EXPECT_FALSE(paid->isOpen());
    ASSERT_EQ(t.sender->orders.size(), 1u);
    EXPECT_EQ(t.sender->orders[0].remoteId, paid->remoteId());
    EXPECT_TRUE(printed(t.printer->calls, "drawer 2"));
    EXPECT_TRUE(std::any_of(t.printer->calls.begin(), t.printer->calls.end(), [](const std::string& call) {
        return call.find("12.34") != std::string::npos;
    })) << "the slip names the amount";
    EXPECT_NE(screen.order(), paid) << "a fresh quick sale takes the screen";
    EXPECT_TRUE(screen.order()->isOpen());
}

TEST(OrderScreen, TwentyTenderedOnTwelveThirtyFourShowsTheChange) {
    OrderScreenTerminal t;
    OrderViewController& screen = quickSaleWith(t, 1234);
    screen.payAmount(2000);
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().title(), "Change Due");
    EXPECT_EQ(t.h.frontAlert().message(), "Tendered: $20.00\nAmount: $12.34\nChange: $7.66");
    EXPECT_EQ(screen.order()->payments().at(0)->change(), 766);
}

TEST(OrderScreen, TwoCashedInDrawersAskWhichOne) {
    OrderScreenTerminal t;
    t.store.addCashIn(t.store.row("CashDrawer", "cashDrawerId", "D2"), t.store.row("User", "userId", "U-ANN"));
    t.store.save();
    OrderViewController& screen = quickSaleWith(t, 1234);
    t.h.tap(*screen.button("payExact"));
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().title(), "Select a drawer");
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (std::vector<std::string>{"Cancel", "Till A", "Till B"}));
    std::shared_ptr<Order> paid = screen.order();
    t.h.clickAlert("Till A");
    t.h.runUntilIdle();
    ASSERT_EQ(paid->payments().size(), 1u);
    EXPECT_EQ(paid->payments()[0]->drawerId(), "D2");
}

TEST(OrderScreen, TheServerListHoldsTheEnabledUsersOnTheClockAndDoneTransfersToThePickedOne) {
    OrderScreenTerminal t;
    t.store.row("User", "userId", "U-EVE")->addTo("permissions", t.store.addPermission("ALLOW_LOGIN_WITHOUT_CLOCKIN"));
    t.store.row("Role", "roleId", "R-SERVER")->addTo("permissions", t.store.addPermission("TRANSFER_ORDER"));
    t.store.save();
    t.storedOrder({t.line("Burger", 500)});
    OrderViewController& screen = t.open(std::string("O-1"), std::string("L1"));
    // Bob is off the clock, Cat disabled, Dan may not sign in.
    EXPECT_EQ(screen.serverIdsOrdered(), (std::vector<std::string>{"U-ANN", "U-EVE"}));
    t.h.tap("Ann Marie Lee");
    ASSERT_NE(screen.serverPicker(), nullptr);
    EXPECT_EQ(screen.serverPicker()->selectedRow(0), 0) << "the picker starts on the order's server";
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "order_screen_server_picker"));
    // Turning the wheel transfers nothing, and Cancel leaves the order with its server.
    t.h.pick(*screen.serverPicker(), "Eve");
    EXPECT_EQ(screen.order()->serverId(), "U-ANN");
    ASSERT_NE(screen.serverPicker(), nullptr) << "the picker stays until Done or Cancel";
    t.h.tap(ui::SystemItem::Cancel);
    EXPECT_EQ(screen.serverPicker(), nullptr);
    EXPECT_EQ(screen.order()->serverId(), "U-ANN");
    EXPECT_EQ(screen.btnServer()->title(), "Ann Marie Lee");
    EXPECT_TRUE(screen.order()->logs().empty());

    t.h.tap("Ann Marie Lee");
    t.h.pick(*screen.serverPicker(), "Eve");
    t.h.tap(ui::SystemItem::Done);
    EXPECT_EQ(screen.order()->serverId(), "U-EVE");
    EXPECT_EQ(screen.serverPicker(), nullptr) << "the picker closes";
    EXPECT_EQ(screen.btnServer()->title(), "Eve");
    ASSERT_FALSE(screen.order()->logs().empty());
    EXPECT_EQ(screen.order()->logs().back().action(), "transferOrder");
}

TEST(OrderScreen, CloseRefusesADueAndAnOverpaidOrder) {
    struct Case {
        int32_t paid;
        std::string message;
    };
    for (const Case& c : {Case{1233, "Unable to close. Order has to be paid"},
                          Case{1235, "Unable to close. Order has been overpaid"}}) {
        OrderScreenTerminal t;
        auto order = t.storedOrder({t.line("Burger", 1234)});
        OrderViewController& screen = t.open(std::string("O-1"), std::string("L1"));
        auto payment = Payment::initWithSession(*t.session, std::nullopt, order->name(), Payment::kCash, c.paid, 0, 0,
                                                0, 0, std::nullopt, std::nullopt, std::nullopt, std::nullopt, nullptr);
        screen.order()->addPayment(payment);
        screen.refresh();
        EXPECT_EQ(screen.button("close")->isEnabled(), c.paid > 1234) << "an overpaid order may be closed";
        screen.close();
        ASSERT_TRUE(t.h.hasAlert());
        EXPECT_EQ(t.h.frontAlert().message(), c.message);
        EXPECT_TRUE(screen.order()->isOpen());
    }
}

TEST(OrderScreen, ACloseTheServerRefusesLeavesTheOrderOpenOnScreenAndInTheStore) {
    OrderScreenTerminal t;
    auto order = t.storedOrder({t.line("Burger", 1234)});
    OrderViewController& screen = t.open(std::string("O-1"), std::string("L1"));
    screen.order()->addPayment(Payment::initWithSession(*t.session, std::nullopt, order->name(), Payment::kCash, 1234,
                                                        0, 0, 0, 0, std::nullopt, std::nullopt, std::nullopt,
                                                        std::nullopt, nullptr));
    screen.refresh();
    t.sender->failure = Error("StoreServerErrorDomain", -1, "Order refused");
    t.h.tap(*screen.button("close"));
    t.h.runUntilIdle();
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(), "Order refused");
    t.h.clickAlert("Ok");
    EXPECT_TRUE(screen.order()->isOpen()) << "the closing time is put back";
    screen.setupScreen();
    EXPECT_TRUE(t.onScreen()) << "an open order stays on screen";
    auto stored = t.store->fetchFirst("Order", "remoteId == %@", std::string("O-1"));
    EXPECT_TRUE(stored->isNil("closed"));
}

TEST(OrderScreen, RowsShowTheirLinesAndAreAsHighAsThem) {
    OrderScreenTerminal t;
    t.setParam("SEAT_VIEW", "YES");
    t.setParam("COURSE_VIEW", "YES");
    for (const auto& [id, name] : {std::pair{"P-RARE", "Rare"}, std::pair{"P-SALT", "Extra Salt"}}) {
        auto row = t.store->insert("Preparation");
        row->setValue("preparationId", std::string(id));
        row->setValue("name", std::string(name));
    }
    t.store.save();
    auto steak = t.line("Steak", 2500);
    steak->setSeat(2);
    steak->setCourse(1);
    steak->setCompName(std::string("Birthday"));
    steak->setCompPercent(1000);
    steak->setCompBy(std::string("U-ANN"));
    steak->setComment(std::string("No onions"));
    steak->addPreparation(Preparation(std::string("P-RARE"), 0));
    auto fries = t.line("Fries", 300);
    fries->setRecipeId(std::string("R-FRIES"));
    fries->addPreparation(Preparation(std::string("P-SALT"), 50));
    steak->addSide(fries);
    steak->addSide(fries);
    auto soup = t.line("Soup", 600);
    soup->setSeat(1);
    soup->setCourse(1);
    t.storedOrder({steak, soup});
    OrderViewController& screen = t.open(std::string("O-1"), std::string("L1"));
    ui::TableView& table = screen.selectionsTable();
    ASSERT_EQ(table.numberOfRows(0), 2);
    // By seat: the soup of seat 1 first, then the steak.
    std::vector<std::string> lines;
    for (const auto& line : screen.detailLines(*screen.sortedSelections()[1])) lines.push_back(line.text);
    EXPECT_EQ(lines, (std::vector<std::string>{"Birthday (-$3.20)", "No onions", "Rare", "2 Fries ($7.00)",
                                               "Extra Salt ($0.50)"}));
    EXPECT_EQ(screen.heightForRow(table, {0, 1}), 30 + 18 * 5);
    EXPECT_EQ(screen.heightForRow(table, {0, 0}), 66) << "seat and course captions take two lines";
    ui::TableViewCell* cell = table.cellForRow({0, 1});
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->contentView().viewWithTag(6)->displayedText(), "Seat: 2");
    EXPECT_EQ(cell->contentView().viewWithTag(100)->displayedText(), "Birthday (-$3.20)");
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "order_screen_table"));
}

TEST(OrderScreen, ALongCommentWrapsUnderItsLineAndTheRowGrowsWithIt) {
    OrderScreenTerminal t;
    auto steak = t.line("Steak", 2500);
    steak->setComment(std::string("No onions & <nuts> allergy - check with the kitchen before cooking"));
    auto rare = t.store->insert("Preparation");
    rare->setValue("preparationId", std::string("P-RARE"));
    rare->setValue("name", std::string("Rare"));
    steak->addPreparation(Preparation(std::string("P-RARE"), 0));
    t.storedOrder({steak});
    OrderViewController& screen = t.open(std::string("O-1"), std::string("L1"));
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "order_screen_long_comment"));
    ui::TableView& table = screen.selectionsTable();
    ui::TableViewCell* cell = table.cellForRow({0, 0});
    ASSERT_NE(cell, nullptr);
    auto* comment = dynamic_cast<ui::Label*>(cell->contentView().viewWithTag(OrderTableViewController::kMainBase + 1));
    ASSERT_NE(comment, nullptr);
    const int lines = static_cast<int>(comment->frame().height() / OrderTableViewController::kLineHeight);
    EXPECT_GE(lines, 2) << "the whole comment shows, over more than one line";
    EXPECT_EQ(comment->numberOfLines(), 0);
    EXPECT_EQ(screen.heightForRow(table, {0, 0}), 30 + 18 * (lines + 1)) << "the comment's lines and the preparation's";
}

TEST(OrderScreen, AComboRowDrawsAndCountsEveryLineOfItsItems) {
    OrderScreenTerminal t;
    auto combo = std::make_shared<ComboSelection>();
    combo->setItemId(std::string("I-MEAL"));
    combo->setName(std::string("Burger Meal"));
    combo->setPrice(1500);
    auto burger = t.line("Burger", 400);
    burger->setCompName(std::string("Staff"));
    burger->setCompBy(std::string("U-ANN"));
    burger->setCompPercent(10000);
    burger->addTaxExemption("City Tax");
    auto drink = t.line("Cola", 0, 2);
    drink->setAdditionPrice(50);
    combo->addSelection(burger, "G-MAIN");
    combo->addSelection(drink, "G-DRINK");
    OrderViewController& screen = t.open();
    screen.order()->addSelection(combo, t.session.get());
    t.h.tapBack();
    t.h.runUntilIdle();
    std::vector<std::string> lines;
    for (const auto& line : screen.detailLines(*screen.sortedSelections()[0])) lines.push_back(line.text);
    // The items by their groups, each followed by its own lines.
    EXPECT_EQ(lines,
              (std::vector<std::string>{"2 Cola ($0.50)", "Burger", "Staff (-$4.00)", "Tax Exemption (City Tax)"}));
    ui::TableView& table = screen.selectionsTable();
    EXPECT_EQ(screen.heightForRow(table, {0, 0}), 30 + 18 * 4) << "the row is as high as what it draws";
    ui::TableViewCell* cell = table.cellForRow({0, 0});
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->contentView().viewWithTag(10)->displayedText(), "2 Cola ($0.50)");
    EXPECT_EQ(cell->contentView().viewWithTag(11)->displayedText(), "Burger");
    EXPECT_EQ(cell->contentView().viewWithTag(300)->displayedText(), "Staff (-$4.00)");
    EXPECT_EQ(cell->contentView().viewWithTag(302)->displayedText(), "Tax Exemption (City Tax)");
    EXPECT_EQ(cell->contentView().backgroundColor(), ui::Color(1.0, 0.97, 0.7)) << "an unsent line is marked";
}

// Wi-Fi up, whatever the machine has.
class WiFiUp : public NetworkProbe {
public:
    bool isWiFiConnected() const override { return true; }
    std::string localIPAddress() const override { return "127.0.0.1"; }
    std::string ssid() const override { return "store"; }
};

TEST(OrderScreen, AFailedGatewaySendOffersTheOtherTerminalsAndSendsThroughTheOneChosen) {
    OrderScreenTerminal t(false);
    auto kitchen = t.store.addTerminal("T4", std::string("4"));
    kitchen->setValue("name", std::string("Kitchen"));
    kitchen->setValue("networkName", std::string("kitchen"));
    kitchen->setValue("disabled", false);
    t.store.save();
    NetworkProbe::install(std::make_shared<WiFiUp>());
    CommHelper::setGateway(CommHelper::formatTavloURL(std::string("front")));
    OrderViewController& screen = t.open(std::nullopt, std::string("L1"));
    ASSERT_NE(screen.order(), nullptr);
    screen.order()->addSelection(t.line("Fries", 300), t.session.get());
    t.h.tapBack(); // from the menu screen
    t.h.runUntilIdle();
    t.sender->failure = Error("StoreServerErrorDomain", -95, "No reply");
    t.h.tap("Send");
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().title(), "Unable to send");
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (std::vector<std::string>{"Cancel", "Bar", "Kitchen"}));
    t.sender->failure.reset();
    t.h.clickAlert("Kitchen");
    t.h.runUntilIdle();
    EXPECT_EQ(UserDefaults::standardUserDefaults().stringForKey("gateway"), "kitchen");
    EXPECT_EQ(t.sender->orders.size(), 2u) << "the failed hand-over, then the one through the chosen gateway";
    EXPECT_FALSE(screen.order()->modified());
    EXPECT_FALSE(t.onScreen()) << "the screen leaves once sent";
    NetworkProbe::install(nullptr);
}

TEST(OrderScreen, ADiscountRowShowsItsAmountNegatedAndATapOffersToRemoveIt) {
    OrderScreenTerminal t;
    OrderViewController& screen = quickSaleWith(t, 1234);
    auto discount = std::make_shared<OrderDiscount>();
    discount->setRemoteId(std::string("DSC-1"));
    discount->setName(std::string("Happy Hour"));
    discount->setAmount(200);
    screen.order()->addDiscount(discount);
    screen.refresh();
    ui::TableView& table = screen.selectionsTable();
    ASSERT_EQ(table.numberOfRows(0), 2);
    ui::TableViewCell* cell = table.cellForRow({0, 1});
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->contentView().viewWithTag(2)->displayedText(), "Happy Hour");
    EXPECT_EQ(cell->contentView().viewWithTag(4)->displayedText(), "-$2.00");
    EXPECT_TRUE(cell->contentView().viewWithTag(1)->isHidden());
    EXPECT_EQ(screen.heightForRow(table, {0, 1}), 45);
    t.h.tapRow(table, {0, 1});
    ASSERT_TRUE(t.h.hasAlert());
    t.h.clickAlert("Yes");
    EXPECT_TRUE(screen.order()->activeDiscounts().empty());
    EXPECT_EQ(table.numberOfRows(0), 1);
}

TEST(OrderScreen, SendingAnEmptyNewOrderSendsATableOrderButLeavesAQuickSaleUnsent) {
    struct Case {
        std::optional<std::string> table;
        size_t handedOver;
    };
    for (const Case& c : {Case{std::string("L1"), 1u}, Case{std::nullopt, 0u}}) {
        SCOPED_TRACE(c.table.value_or("quick sale"));
        OrderScreenTerminal t;
        t.open(std::nullopt, c.table);
        t.h.tapBack(); // from the menu screen
        t.h.runUntilIdle();
        t.h.tap("Send");
        t.h.runUntilIdle();
        EXPECT_EQ(t.sender->orders.size(), c.handedOver);
        EXPECT_FALSE(t.onScreen());
    }
}

TEST(OrderScreen, PrintWithEmailedReceiptsAsksPrintOrEmail) {
    OrderScreenTerminal t;
    t.setParam("EMAIL_RECEIPTS", "YES");
    quickSaleWith(t, 500);
    t.h.tap("Print");
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(), "Customer wants the receipt printed or emailed?");
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (std::vector<std::string>{"Cancel", "Print", "Email"}));
    t.h.clickAlert("Email");
    t.h.runUntilIdle();
    EXPECT_EQ(t.h.visibleController().title(), "Enter email address to send receipt to:");
}

TEST(OrderScreen, PrintOnASentLiteOrderOffersTheKitchenTicketAgain) {
    OrderScreenTerminal t;
    tavlo::test::RecordingAnnouncer kitchen;
    auto burgers = t.line("Burger", 500, 2);
    t.storedOrder({burgers, t.line("Soup", 300)});
    OrderViewController& screen = t.open(std::string("O-1"), std::string("L1"));
    screen.order()->addSelection(t.line("Lager", 450), t.session.get()); // not sent yet

    t.h.tap("Print");
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(), "What would you like to print?");
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (std::vector<std::string>{"Cancel", "Receipt", "Kitchen ticket"}));
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "order_screen_print_choice"));
    t.h.clickAlert("Kitchen ticket");
    t.h.runUntilIdle();
    // The whole order, every unit as new: the kitchen gets the ticket it may have lost.
    ASSERT_EQ(kitchen.tickets().size(), 1u);
    EXPECT_EQ(kitchen.tickets()[0].remoteId, "O-1");
    EXPECT_EQ(kitchen.tickets()[0].newUnits, (std::vector<int32_t>{2, 1, 1}));
    EXPECT_FALSE(t.h.hasAlert());
    EXPECT_TRUE(screen.order()->modified()) << "the unsent lager is still to send";

    // A ticket that does not print says so and offers to print it again.
    kitchen.failWith(Error("Printer", 1, "Grill printer did not answer"));
    t.h.tap("Print");
    t.h.clickAlert("Kitchen ticket");
    t.h.runUntilIdle();
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_NE(t.h.frontAlert().message()->find("Grill printer did not answer"), std::string::npos);
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (std::vector<std::string>{"OK", "Print ticket again"}));
    t.h.clickAlert("OK");

    // Receipt goes the receipt's way.
    const size_t before = t.printer->calls.size();
    t.h.tap("Print");
    t.h.clickAlert("Receipt");
    t.h.runUntilIdle();
    EXPECT_GT(t.printer->calls.size(), before);
    EXPECT_TRUE(
        hasCall({t.printer->calls.begin() + static_cast<std::ptrdiff_t>(before), t.printer->calls.end()}, "Lager"))
        << "the receipt names every line";
}

TEST(OrderScreen, PrintOffersNoKitchenTicketBeforeTheOrderWent) {
    OrderScreenTerminal t;
    quickSaleWith(t, 500);
    t.h.tap("Print");
    t.h.runUntilIdle();
    const bool asked = t.h.hasAlert() && t.h.frontAlert().message() == "What would you like to print?";
    EXPECT_FALSE(asked);
    EXPECT_TRUE(hasCall(t.printer->calls, "Burger")) << "the receipt printed at once";
}

} // namespace
} // namespace tavlo::screens::test
