// The guest count wheel: each turn sets the order's seats, Done refuses 0 and otherwise closes the
// screen before telling the opener.
#include "PromptHost.h"
#include "core/order/Order.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/common/prompts/SeatsViewController.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::PromptHost;

class SeatsPromptTest : public ::testing::Test {
protected:
    explicit SeatsPromptTest(DeviceIdiom idiom = DeviceIdiom::Phone) : host(idiom) {
        order->setName(std::string("Table 12"));
        prompt->setOrder(order);
        prompt->setObserver([this] {
            ++told;
            openWhenTold = host.isOpen();
        });
        host.open(prompt);
    }
    PickerView& wheel() { return host.h.outlet<PickerView>("pickerView"); }

    PromptHost host;
    std::shared_ptr<Order> order = std::make_shared<Order>();
    std::shared_ptr<SeatsViewController> prompt = std::make_shared<SeatsViewController>();
    int told = 0;
    bool openWhenTold = true;
};

TEST_F(SeatsPromptTest, TheWheelOffersNoneToThirtyGuestsUnderTheOrdersName) {
    EXPECT_EQ(host.h.visibleController().title(), "Table 12");
    EXPECT_EQ(wheel().numberOfRows(0), 31);
    EXPECT_EQ(wheel().titleForRow(0, 0), "0");
    EXPECT_EQ(wheel().titleForRow(30, 0), "30");
    EXPECT_EQ(wheel().selectedRow(0), 0);
}

TEST_F(SeatsPromptTest, NoGuestsIsRefusedWhetherTheWheelWasTurnedOrNot) {
    for (bool turned : {false, true}) {
        if (turned) {
            host.h.pick(wheel(), 3);
            host.h.pick(wheel(), 0);
        }
        host.h.tap("Done");
        ASSERT_TRUE(host.h.hasAlert()) << (turned ? "turned to 0" : "untouched");
        EXPECT_EQ(host.h.frontAlert().title(), "Alert");
        EXPECT_EQ(host.h.frontAlert().message(), "Please specify amount of guests");
        host.h.clickAlert("Ok");
        EXPECT_TRUE(host.isOpen());
        EXPECT_EQ(told, 0);
        EXPECT_EQ(order->seats(), 0);
    }
}

TEST_F(SeatsPromptTest, EachTurnSetsTheSeatsAndDoneClosesBeforeTellingTheOpener) {
    host.h.pick(wheel(), "6");
    EXPECT_EQ(order->seats(), 6);
    host.h.pick(wheel(), "4");
    EXPECT_EQ(order->seats(), 4);
    host.h.tap("Done");
    EXPECT_FALSE(host.h.hasAlert());
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(openWhenTold);
}

TEST_F(SeatsPromptTest, CancelMarksTheSeatsUnknownAndTellsNoOne) {
    host.h.pick(wheel(), 2);
    prompt->cancel();
    host.h.runUntilIdle();
    EXPECT_EQ(order->seats(), -1);
    EXPECT_FALSE(host.isOpen());
    EXPECT_EQ(told, 0);
}

TEST_F(SeatsPromptTest, PictureOnThePhone) {
    host.h.pick(wheel(), 4);
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(host.h.window(), {320, 480}), "seats_prompt_phone"));
}

class SeatsPromptOnPad : public SeatsPromptTest {
protected:
    SeatsPromptOnPad() : SeatsPromptTest(DeviceIdiom::Tablet) {}
};

TEST_F(SeatsPromptOnPad, PictureOnThePad) {
    host.h.pick(wheel(), 4);
    ui::test::writeTestPicture(render::snapshot(host.h.window(), {1024, 768}), "seats_prompt_pad");
}

} // namespace
} // namespace tavlo::screens
