#include "DetailsTerminal.h"

#include "core/order/ActivityLog.h"
#include "core/order/Selection.h"
#include "core/session/DBHelper.h"
#include "platform/foundation/Text.h"
#include "platform/ui/NavigationController.h"
#include "screens/common/SlideView.h"
#include "support/ui/Golden.h"
#include "sync/handlers/AppShell.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/handlers/OrderQueue.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tavlo::screens::test {
namespace {

// Fails the hand-over of the n-th order it is given (counting from 1); takes the others.
class FailingSender : public tavlo::test::FakeOrderSender {
public:
    explicit FailingSender(int failing) : failing_(failing) {}
    bool sendOrder(tavlo::Order& order, const std::optional<std::string>& userId, ObjectContext* context,
                   Error* error) override {
        if (++calls_ == failing_) {
            Error::set(error, Error("StoreServerErrorDomain", -95, "No connection"));
            return false;
        }
        return FakeOrderSender::sendOrder(order, userId, context, error);
    }

private:
    int failing_, calls_ = 0;
};

// Order 12 at a table, stored as sent with Burger (its stock counted), Fries and Soda, open on the order screen; its
// details opened from the title and "Split" tapped.
class SplitOrder {
public:
    explicit SplitOrder(ui::DeviceIdiom idiom = ui::DeviceIdiom::Phone) : t(true, idiom) {
        // The burger's recipe is counted: 10 left.
        auto recipe = t.store->insert("Recipe");
        recipe->setValue("recipeId", "R-BURGER");
        recipe->setValue("name", "Burger");
        recipe->setValue("available", 1000);
        SelectionPtr burger = t.line("Burger", 900);
        burger->setRecipeId(std::string("R-BURGER"));
        auto order = t.order({burger, t.line("Fries", 300), t.line("Soda", 200)});
        order->write(*t.store.context());
        t.store.save();
        orderScreen = &t.open(std::string("O-12"), std::string("L1"));
        if (idiom == ui::DeviceIdiom::Tablet) t.h.tapBack(); // from the menu, pushed here without a detail pane
        t.h.tap(dynamic_cast<ui::Button&>(*orderScreen->navigationItem().titleView()));
        t.h.runUntilIdle();
        t.h.tap("Split");
        t.h.runUntilIdle();
    }

    SplitViewController& split() { return t.h.visible<SplitViewController>(); }
    std::vector<std::string> buttonTitles() {
        std::vector<std::string> titles;
        for (const auto& button : split().slideView()->buttons()) titles.push_back(button->title().value_or(""));
        return titles;
    }
    ui::Button& button(const std::string& title) { return *split().slideView()->getButton(title); }
    // Selects the rows shown and taps the order's button.
    void move(const std::vector<int>& rows, const std::string& to) {
        for (int row : rows) t.h.tapRow(split().tableView(), {0, row});
        t.h.tap(button(to));
        t.h.runUntilIdle();
    }
    std::vector<std::string> shownNames() {
        std::vector<std::string> names;
        for (const auto& line : split().order()->activeSelections()) names.push_back(line->name().value_or(""));
        return names;
    }
    std::vector<std::string> activeNames(const Order& order) {
        std::vector<std::string> names;
        for (const auto& line : order.activeSelections()) names.push_back(line->name().value_or(""));
        return names;
    }
    int64_t counter(const char* name) {
        return longLongValue(DBHelper::getValue(name, t.store.context().get()).value_or("0"));
    }

    DetailsTerminal t;
    OrderViewController* orderScreen = nullptr;
};

TEST(SplitOrder, OpensOnTheSourceAndOneNewOrderAndAddsMore) {
    SplitOrder s;
    EXPECT_EQ(s.split().title(), "Split Order");
    EXPECT_EQ(s.buttonTitles(), (std::vector<std::string>{"Split", "12", "12-1"}));
    EXPECT_FALSE(s.button("12").isEnabled()) << "the order shown";
    s.t.h.tap(s.button("Split"));
    s.t.h.tap(s.button("Split"));
    EXPECT_EQ(s.buttonTitles(), (std::vector<std::string>{"Split", "12", "12-1", "12-2", "12-3"}));
    EXPECT_TRUE(s.split().original()->split());
    EXPECT_NE(s.split().original(), s.orderScreen->order()) << "the screen works on a copy";
}

TEST(SplitOrder, SelectedLinesMoveWithLineIdsAndSendReportsTheSourceToTheOrderScreen) {
    SplitOrder s;
    const int64_t orders = s.counter("IPHONE_SEQUENCE_NUMBER_ORDER");
    const int64_t lines = s.counter("IPHONE_SEQUENCE_NUMBER_SELECTION");
    s.move({0, 1}, "12-1");
    EXPECT_EQ(s.shownNames(), std::vector<std::string>{"Soda"});
    EXPECT_EQ(s.counter("IPHONE_SEQUENCE_NUMBER_SELECTION"), lines + 2) << "a moved line's id is a line id";
    EXPECT_EQ(s.counter("IPHONE_SEQUENCE_NUMBER_ORDER"), orders);
    s.t.h.tap(s.button("12-1"));
    EXPECT_EQ(s.shownNames(), (std::vector<std::string>{"Burger", "Fries"}));
    EXPECT_FALSE(s.button("12-1").isEnabled());
    EXPECT_TRUE(s.button("12").isEnabled());
    const std::shared_ptr<Order> moved = s.split().splits().front();
    for (const auto& line : moved->activeSelections())
        for (const auto& source : s.orderScreen->order()->selections()) EXPECT_NE(line->remoteId(), source->remoteId());

    s.t.h.tap("Send");
    s.t.h.runUntilIdle();
    EXPECT_NE(dynamic_cast<OrderDetailsViewController*>(&s.t.h.visibleController()), nullptr) << "the sheet is gone";
    ASSERT_EQ(s.t.sender->orders.size(), 2u) << "12 and 12-1; the empty new orders stay unsent";
    EXPECT_EQ(s.t.sender->orders[0].remoteId, "O-12");
    EXPECT_EQ(s.t.sender->orders[1].remoteId, moved->remoteId());
    EXPECT_EQ(s.activeNames(*s.orderScreen->order()), std::vector<std::string>{"Soda"})
        << "the order screen voids the lines that moved";
    EXPECT_EQ(s.orderScreen->order()->deletedSelections().size(), 2u);
}

// Counts the voids of lines in the orders handed over.
class VoidCountingSender : public tavlo::test::FakeOrderSender {
public:
    bool sendOrder(tavlo::Order& order, const std::optional<std::string>& userId, ObjectContext* context,
                   Error* error) override {
        for (const ActivityLog& entry : order.logs())
            if (entry.action() == "removeMainSelection")
                voided.push_back(order.remoteId().value_or("") + " " + entry.name().value_or(""));
        return FakeOrderSender::sendOrder(order, userId, context, error);
    }
    std::vector<std::string> voided;
};

TEST(SplitOrder, AMovedLineIsVoidedOnceAndKeepsItsStock) {
    SplitOrder s;
    auto sender = std::make_shared<VoidCountingSender>();
    OrderSender::install(sender);
    auto available = [&s] { return s.t.store.row("Recipe", "recipeId", "R-BURGER")->int32("available"); };
    s.move({0}, "12-1");
    EXPECT_EQ(available(), 1000);
    s.t.h.tap("Send");
    s.t.h.runUntilIdle();
    EXPECT_EQ(available(), 1000) << "the burger is still sold, in 12-1";
    EXPECT_EQ(sender->voided, std::vector<std::string>{"O-12 Burger"});
    EXPECT_EQ(s.activeNames(*s.orderScreen->order()), (std::vector<std::string>{"Fries", "Soda"}));
    // The order screen sends the order again as it leaves: no second void.
    s.orderScreen->send();
    s.t.h.runUntilIdle();
    EXPECT_EQ(sender->voided, std::vector<std::string>{"O-12 Burger"});
    EXPECT_EQ(available(), 1000);
}

TEST(SplitOrder, ALiteTerminalQueuesTheSourceAndTheNewOrderWithItsLines) {
    SplitOrder s;
    // The order handler of a lite terminal (not running: rows stay queued) behind the sender.
    struct LiteHandler {
        LiteHandler() {
            OrderHandler::getInstance(DBHelper::sharedStore(), "http://127.0.0.1:9/xml", 60, true);
            OrderSender::install(AppShell::orderSender());
        }
        ~LiteHandler() {
            OrderSender::install(nullptr);
            OrderHandler::releaseInstance();
        }
    } handler;
    s.move({0, 2}, "12-1");
    const std::string moved = s.split().splits().front()->remoteId().value_or("");
    s.t.h.tap("Send");
    s.t.h.runUntilIdle();
    std::vector<std::string> queued;
    for (const auto& row : s.t.store->fetch(OrderQueue::kEntityName, "type == %@", std::string(OrderQueue::kOrder)))
        queued.push_back(row->text("remoteId").value_or(""));
    std::vector<std::string> sent{"O-12", moved};
    std::sort(queued.begin(), queued.end());
    std::sort(sent.begin(), sent.end());
    EXPECT_EQ(queued, sent);
    auto stored = s.t.store->fetchFirst("Order", "remoteId == %@", moved);
    ASSERT_NE(stored, nullptr);
    Order newOrder(s.t.store.context().get());
    newOrder.read(*stored);
    EXPECT_EQ(s.activeNames(newOrder), (std::vector<std::string>{"Burger", "Soda"}));
    EXPECT_EQ(newOrder.name(), "12-1");
    EXPECT_EQ(s.activeNames(*s.orderScreen->order()), std::vector<std::string>{"Fries"});
}

TEST(SplitOrder, ALineCanMoveBackToTheSource) {
    SplitOrder s;
    s.move({2}, "12-1");
    s.t.h.tap(s.button("12-1"));
    s.move({0}, "12");
    EXPECT_TRUE(s.split().order()->isEmpty());
    s.t.h.tap(s.button("12"));
    EXPECT_EQ(s.shownNames(), (std::vector<std::string>{"Burger", "Fries", "Soda"}));
}

TEST(SplitOrder, CancelBeforeAnySendLeavesTheOrderAsItWas) {
    SplitOrder s;
    s.move({0, 1}, "12-1");
    s.t.h.tap("Cancel");
    s.t.h.runUntilIdle();
    EXPECT_NE(dynamic_cast<OrderDetailsViewController*>(&s.t.h.visibleController()), nullptr) << "back on the details";
    EXPECT_TRUE(s.t.sender->orders.empty());
    EXPECT_EQ(s.activeNames(*s.orderScreen->order()), (std::vector<std::string>{"Burger", "Fries", "Soda"}));
    EXPECT_EQ(s.t.store->fetch("Order", "remoteId != %@", std::string("O-12")).size(), 0u);
}

TEST(SplitOrder, CancelAfterAFailedSecondSendLosesNoLine) {
    SplitOrder s;
    auto failing = std::make_shared<FailingSender>(2);
    OrderSender::install(failing);
    s.move({0}, "12-1");
    s.t.h.tap(s.button("Split"));
    s.move({0}, "12-2");
    s.t.h.tap("Send");
    s.t.h.runUntilIdle();
    ASSERT_TRUE(s.t.h.hasAlert());
    EXPECT_EQ(s.t.h.frontAlert().message(), "No connection");
    s.t.h.clickAlert("Ok");
    ASSERT_EQ(failing->orders.size(), 1u) << "the source went; 12-1 failed, so 12-2 was not tried";
    s.t.h.tap("Cancel");
    s.t.h.runUntilIdle();

    EXPECT_EQ(s.activeNames(*s.orderScreen->order()), std::vector<std::string>{"Soda"})
        << "the source as sent reaches the order screen";
    std::vector<std::string> kept;
    for (const auto& row : s.t.store->fetch("Order", "remoteId != %@", std::string("O-12"))) {
        Order stored(s.t.store.context().get());
        stored.read(*row);
        for (const auto& name : s.activeNames(stored)) kept.push_back(name);
    }
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::string>{"Burger", "Fries"})) << "each moved line is on a stored order";
}

// Under each order's button its total, following the lines that move; on the pad's sheet the strip
// is as wide as the sheet.
TEST(SplitOrder, EachPartShowsItsTotalUnderItsButton) {
    SplitOrder s(ui::DeviceIdiom::Tablet);
    auto total = [&](const std::string& order) {
        ui::View* shown = s.button(order).viewWithTag(SplitViewController::kTotalTag);
        return shown ? shown->displayedText().value_or("") : std::string("(none)");
    };
    EXPECT_EQ(total("12"), "$14.00");
    EXPECT_EQ(total("12-1"), "$0.00");
    s.move({0, 2}, "12-1");
    EXPECT_EQ(total("12"), "$3.00");
    EXPECT_EQ(total("12-1"), "$11.00");
    EXPECT_EQ(s.split().slideView()->scroll().frame().width(), s.split().slideView()->frame().width());
    EXPECT_TRUE(ui::test::matchesGolden(s.t.picture(), "split_order_pad"));
}

TEST(SplitOrder, LooksRight) {
    SplitOrder s;
    s.move({1}, "12-1");
    s.t.h.tapRow(s.split().tableView(), {0, 0});
    s.t.h.runUntilIdle();
    EXPECT_TRUE(ui::test::matchesGolden(s.t.picture(), "split_order_phone"));
}

} // namespace
} // namespace tavlo::screens::test
