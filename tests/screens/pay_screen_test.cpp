// The pay screen: the tender table, money entry and the quick keys, the adjustment rules, swipes,
// cash with its change, drawer and slips, and card sales at the loopback card gateway.
#include "PayTerminal.h"

#include "devices/MSRMediator.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/PixelImage.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/pay/SignatureCapture.h"
#include "support/LogLines.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::PayTerminal;

constexpr const char* kSwipe =
    "%B4111111111111111^LEE/ANN^28121010000000000000?;4111111111111111=28121010000000000000?";

bool has(const std::vector<std::string>& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

class PayScreenTest : public ::testing::Test {
protected:
    PayTerminal t;
};

TEST_F(PayScreenTest, TheTenderTableSetsWhatEachTenderTakes) {
    struct Row {
        std::string tender;
        bool tendered, quickCash, number, expDate, secCode, tip, percent;
        std::string numberLabel;
    };
    const Row rows[] = {
        {"Cash", true, true, false, false, false, true, false, "Number:"},
        {"Credit", false, false, true, true, true, true, true, "Number:"},
        {"Tab", false, false, true, true, true, false, false, "Number:"},
        {"Debit", false, false, false, false, false, false, false, "Number:"},
        {"Check", true, true, true, false, false, true, false, "Number:"},
        {"Room Charge", false, false, true, false, false, true, false, "Room"},
        {"Other", false, false, true, false, false, true, false, "Number:"},
    };
    t.open();
    for (const Row& row : rows) {
        t.pickTender(row.tender);
        PayViewController& s = *t.screen;
        EXPECT_EQ(s.tendered()->isEnabled(), row.tendered) << row.tender;
        EXPECT_EQ(s.button("amount20")->isEnabled(), row.quickCash) << row.tender;
        EXPECT_EQ(s.number()->isEnabled(), row.number) << row.tender;
        EXPECT_EQ(s.expDate()->isEnabled(), row.expDate) << row.tender;
        EXPECT_EQ(s.secCode()->isEnabled(), row.secCode) << row.tender;
        EXPECT_EQ(s.tip()->isEnabled(), row.tip) << row.tender;
        EXPECT_EQ(s.button("percentCustom")->isEnabled(), row.percent) << row.tender;
        EXPECT_EQ(s.label("lblNumber")->text(), row.numberLabel) << row.tender;
        EXPECT_TRUE(s.zip()->isHidden()) << row.tender;
        EXPECT_TRUE(s.button("forceButton")->isHidden()) << row.tender;
    }
}

TEST_F(PayScreenTest, ForceAndZipShowWhereTheStoreAllowsThem) {
    t.setParam("HH_ALLOW_FORCE_CC", "YES");
    t.setParam("AVS_ZIP_ONLY_SUPPORT", "YES");
    t.open();
    t.pickTender("Credit");
    EXPECT_FALSE(t.screen->button("forceButton")->isHidden());
    EXPECT_FALSE(t.screen->zip()->isHidden());
    t.pickTender("Cash");
    EXPECT_TRUE(t.screen->button("forceButton")->isHidden());
    EXPECT_TRUE(t.screen->zip()->isHidden());
}

TEST_F(PayScreenTest, AStoreWithoutTendersSaysSo) {
    for (const ManagedObjectPtr& type : t.store.context()->fetchAll("PaymentType"))
        t.store.context()->deleteObject(type);
    t.store.save();
    t.open();
    EXPECT_EQ(t.frontAlert(), "Alert / No payment types are defined, please contact support");
    EXPECT_EQ(t.screen->payTypes()->numberOfSegments(), 0);
}

TEST_F(PayScreenTest, QuickCashReplacesTheDueThenAddsAndNextRoundsUp) {
    t.open();
    EXPECT_EQ(t.field("tendered").text(), "$12.34");
    EXPECT_EQ(t.screen->label("lblDue")->text(), "$12.34");
    t.h.tap("$20");
    t.h.tap("$20");
    EXPECT_EQ(t.field("tendered").text(), "$40.00");
    EXPECT_EQ(t.field("amount").text(), "$12.34");

    PayTerminal other;
    other.open();
    other.h.tap("Next");
    EXPECT_EQ(other.field("tendered").text(), "$13.00");
    other.h.tap("Next");
    EXPECT_EQ(other.field("tendered").text(), "$13.00") << "a whole amount stays";
}

TEST_F(PayScreenTest, DigitsMoveInFromTheRight) {
    t.open();
    TextField& amount = t.field("amount");
    amount.clearText(); // the field's clear button
    std::vector<std::string> shown;
    for (char key : std::string("125")) {
        t.h.type(amount, std::string(1, key));
        shown.push_back(amount.text());
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"$0.01", "$0.12", "$1.25"}));
}

TEST_F(PayScreenTest, ATipKeyTakesItsShareOfTheAmount) {
    t.setParam("PAYMENT_TIP_PERCENTAGE_1", "15");
    t.setParam("PAYMENT_TIP_PERCENTAGE_2", "0");
    t.open();
    t.pickTender("Credit");
    EXPECT_TRUE(t.screen->button("percent2")->isHidden());
    t.field("amount").setText("$10.01");
    t.h.tap("15%");
    EXPECT_EQ(t.field("tip").text(), "$1.50");
    EXPECT_EQ(t.field("tendered").text(), "$11.51");
}

TEST_F(PayScreenTest, TheFieldRulesAdjustAndSaySo) {
    struct Case {
        std::string field, typed, alert;
        std::string tendered, amount, tip;
    };
    const Case cases[] = {
        // Tendered below the amount moves the amount down and zeroes the tip.
        {"tendered", "1000", "", "$10.00", "$10.00", "$0.00"},
        // An amount above the due is cut back to what the tendered covers.
        {"amount", "2000",
         "Error / Amount to be paid cannot be higher than total due for the order, Amount was auto "
         "adjusted, verify it.",
         "$12.34", "$12.34", "$0.00"},
        // A tip beyond the tendered raises it.
        {"tip", "200",
         "Alert / Tendered was incremented in order to fulfill the specified tip. Verify that new "
         "Tendered is correct",
         "$14.34", "$12.34", "$2.00"},
    };
    for (const Case& c : cases) {
        PayTerminal terminal;
        terminal.open();
        TextField& edited = terminal.field(c.field);
        edited.clearText();
        terminal.h.type(edited, c.typed);
        edited.resignFirstResponder();
        terminal.h.runUntilIdle();
        EXPECT_EQ(terminal.frontAlert(), c.alert) << c.field;
        EXPECT_EQ(terminal.field("tendered").text(), c.tendered) << c.field;
        EXPECT_EQ(terminal.field("amount").text(), c.amount) << c.field;
        EXPECT_EQ(terminal.field("tip").text(), c.tip) << c.field;
    }
}

TEST_F(PayScreenTest, VerificationStopsAnEntryWithItsReason) {
    struct Case {
        std::string tender;
        std::string tendered, amount, number, expDate;
        std::string alert;
    };
    const Case cases[] = {
        {"Cash", "", "$12.34", "", "", "Error / Please specify amount tendered"},
        {"Cash", "$12.34", "", "", "", "Error / Please specify amount paying"},
        {"Credit", "$12.34", "$12.34", "", "", "Error / Please specify card number and expiration date"},
        {"Credit", "$12.34", "$12.34", "4111111111111112", "1228",
         "Error / The card number entered is not valid, please verify and reenter"},
    };
    for (const Case& c : cases) {
        PayTerminal terminal;
        terminal.open();
        terminal.pickTender(c.tender);
        terminal.field("tendered").setText(c.tendered);
        terminal.field("amount").setText(c.amount);
        terminal.field("number").setText(c.number);
        terminal.field("expDate").setText(c.expDate);
        terminal.h.tap("Process");
        EXPECT_EQ(terminal.frontAlert(), c.alert) << c.alert;
        EXPECT_EQ(terminal.h.frontAlert().buttonTitles(), (std::vector<std::string>{"OK"})) << c.alert;
        EXPECT_FALSE(terminal.screen->payment());
        EXPECT_FALSE(terminal.order->hasPayments());
    }
}

TEST_F(PayScreenTest, ATabAuthorisesTheStoreAmount) {
    t.setParam("CREDIT_AUTH_ONLY_AMOUNT", "5000");
    t.open();
    t.field("amount").clearText();
    t.h.type(t.field("amount"), "9");
    t.pickTender("Tab");
    EXPECT_EQ(t.field("amount").text(), "$50.00");
    EXPECT_EQ(t.field("tendered").text(), "$0.00");
}

TEST_F(PayScreenTest, AnAmountStillBeingTypedIsCheckedBeforeProcessNeverAfter) {
    t.store.addCashIn(t.store.row("CashDrawer", "cashDrawerId", "D1"), t.pat);
    t.store.save();
    t.open();
    t.h.tap("$10"); // a part payment: the amount follows the tendered down to 10.00
    t.h.type(t.field("amount"), "1000");
    ASSERT_TRUE(t.field("amount").isFirstResponder());
    t.h.tap("Process");
    t.acknowledgeAlerts();
    EXPECT_EQ(t.alertTexts, std::vector<std::string>{}) << "a correct part payment says nothing afterwards";
    ASSERT_EQ(t.order->payments().size(), 1u);
    EXPECT_EQ(t.order->payments().front()->subTotal(), 1000);
    EXPECT_EQ(t.order->getDue(), 234);
}

TEST_F(PayScreenTest, AnAmountBeyondTheDueIsCutBackBeforeAnythingIsTaken) {
    t.open();
    t.h.type(t.field("amount"), "2000");
    t.h.tap("Process");
    EXPECT_EQ(t.frontAlert(),
              "Error / Amount to be paid cannot be higher than total due for the order, Amount was auto "
              "adjusted, verify it.");
    t.acknowledgeAlerts();
    EXPECT_EQ(t.field("amount").text(), "$12.34");
    EXPECT_FALSE(t.order->hasPayments()) << "the person verifies the cut-back amount first";
}

TEST_F(PayScreenTest, TheDueHeadlineIsTheOrdersDueAndTypingStartsFromTheKeys) {
    t.open();
    Label& due = *t.screen->label("lblDue");
    EXPECT_EQ(due.text(), "$12.34");
    t.h.type(t.field("tip"), "150");
    EXPECT_EQ(t.field("tip").text(), "$1.50") << "the pre-filled tip gives way to the first key";
    t.field("tip").resignFirstResponder();
    t.acknowledgeAlerts();
    EXPECT_EQ(t.field("tendered").text(), "$13.84");
    EXPECT_EQ(due.text(), "$12.34") << "the tendered grew with the tip, the due did not";
    t.h.type(t.field("amount"), "1");
    EXPECT_EQ(t.field("amount").text(), "$0.01") << "the pre-filled amount gives way to the first key";
    t.h.type(t.field("amount"), "2");
    EXPECT_EQ(t.field("amount").text(), "$0.12");
    t.pickTender("Credit");
    EXPECT_EQ(t.field("tendered").text(), "$1.62");
    EXPECT_EQ(due.text(), "$12.34");
}

TEST_F(PayScreenTest, ATipAboveTheAmountIsAskedAboutAndOneTooLargeRefused) {
    t.open();
    t.h.type(t.field("tip"), "abc99999999");
    t.field("tip").resignFirstResponder();
    EXPECT_EQ(t.frontAlert(),
              "Confirmation / The tip of $999999.99 is larger than the amount of $12.34. Is it correct?");
    t.h.clickAlert("No");
    EXPECT_EQ(t.field("tip").text(), "$0.00");
    EXPECT_EQ(t.field("tendered").text(), "$12.34");

    t.h.type(t.field("tip"), "1500");
    t.field("tip").resignFirstResponder();
    t.h.clickAlert("Yes");
    EXPECT_EQ(t.field("tip").text(), "$15.00");
    EXPECT_EQ(t.field("tendered").text(), "$27.34");

    t.acknowledgeAlerts();
    t.h.type(t.field("tip"), "2147483647");
    t.field("tip").resignFirstResponder();
    EXPECT_EQ(t.frontAlert(), "Alert / The tip is too large to be taken");
    EXPECT_EQ(t.field("tip").text(), "$0.00");
}

// ---- swipes

TEST_F(PayScreenTest, ASwipeFillsTheCardFieldsOnlyForACardTender) {
    t.open();
    auto swipe = [](const std::string& bytes) {
        NotificationCenter::defaultCenter().post(kMsrReceivedDataNotification, std::any(bytes));
    };
    swipe(kSwipe); // cash is selected: ignored
    EXPECT_EQ(t.field("number").text(), "");
    t.pickTender("Credit");
    swipe("IDT,READER,STATUS");
    EXPECT_EQ(t.field("number").text(), "");
    EXPECT_TRUE(tavlo::test::logged("WARNING: Ignoring swipe: IDT..."));
    swipe(kSwipe);
    EXPECT_EQ(t.field("number").text(), "4111111111111111");
    EXPECT_EQ(t.field("expDate").text(), "1228");
    NotificationCenter::defaultCenter().post(kMsrErrorNotification, std::any(std::string("Swipe error")));
    EXPECT_EQ(t.frontAlert(), "Error / Unable to read card, please try again");
}

// ---- cash

TEST_F(PayScreenTest, CashShowsTheChangeOpensTheDrawerAndPrintsTheCustomerCopy) {
    struct Case {
        int32_t tip;
        std::string change;
    };
    const Case cases[] = {
        {0, "Change Due / Tendered: $20.00\nAmount: $12.34\nChange: $7.66"},
        {100, "Change Due / Tendered: $20.00\nAmount: $12.34\nGratuity and/or Tip: $1.00\nChange: $6.66"},
    };
    for (const Case& c : cases) {
        PayTerminal terminal;
        terminal.store.addCashIn(terminal.store.row("CashDrawer", "cashDrawerId", "D1"), terminal.pat);
        terminal.store.save();
        terminal.open();
        terminal.h.tap("$20");
        if (c.tip) terminal.field("tip").setText("$1.00");
        terminal.h.tap("Process");
        terminal.acknowledgeAlerts();
        EXPECT_EQ(terminal.alertTexts, std::vector<std::string>{c.change}) << c.tip;
        ASSERT_EQ(terminal.order->payments().size(), 1u);
        const Payment& taken = *terminal.order->payments().front();
        EXPECT_EQ(taken.type(), Payment::kCash);
        EXPECT_EQ(taken.subTotal(), 1234);
        EXPECT_EQ(taken.tip(), c.tip);
        EXPECT_EQ(taken.change(), 2000 - 1234 - c.tip);
        EXPECT_EQ(taken.drawerId(), "D1");
        EXPECT_EQ(terminal.sender->orders.size(), 1u) << "the order is queued";
        const auto& calls = terminal.printer->calls;
        ASSERT_GE(calls.size(), 3u);
        EXPECT_EQ((std::vector<std::string>{calls[0], calls[1], calls[2]}),
                  (std::vector<std::string>{"open", "drawer 2", "close"}));
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "open"), 2) << "drawer, then the customer copy only";
        EXPECT_EQ(terminal.finished, 1);
    }
}

TEST_F(PayScreenTest, TwoCashedInDrawersAskWhichSortedByName) {
    t.store.addCashIn(t.store.row("CashDrawer", "cashDrawerId", "D1"), t.pat); // "Till B"
    t.store.addCashIn(t.store.row("CashDrawer", "cashDrawerId", "D2"), t.pat); // "Till A"
    t.store.save();
    t.open();
    t.process();
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().title(), "Select a drawer");
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (std::vector<std::string>{"Cancel", "Till A", "Till B"}));
    t.h.clickAlert("Till A");
    t.acknowledgeAlerts();
    ASSERT_EQ(t.order->payments().size(), 1u);
    EXPECT_EQ(t.order->payments().front()->drawerId(), "D2");
    EXPECT_TRUE(has(t.printer->calls, "drawer 1"));
}

TEST_F(PayScreenTest, TendersWithoutARoadHereSaySoAndTakeNothing) {
    t.open();
    t.pickTender("Debit");
    t.process();
    EXPECT_EQ(t.frontAlert(), "Alert / Debit payments are not available on this terminal");
    EXPECT_FALSE(t.order->hasPayments());
    EXPECT_TRUE(t.sender->orders.empty());
}

// ---- starting a payment

TEST_F(PayScreenTest, AForcedSaleNeedsItsRight) {
    t.setParam("HH_ALLOW_FORCE_CC", "YES");
    t.open();
    t.pickTender("Credit");
    t.h.tap("Force");
    EXPECT_EQ(t.frontAlert(), "Alert / You do not have access to force transactions");
    EXPECT_FALSE(t.screen->payment());
}

TEST_F(PayScreenTest, ARefundAsksForTheOriginalReference) {
    t.order->setOrderType(OrderType::Refund);
    t.open();
    EXPECT_EQ(t.frontAlert(),
              "Alert / This order is a Refund. When you process the payment, funds will go to the customer");
    t.h.clickAlert(0);
    t.pickTender("Credit");
    t.process();
    EXPECT_EQ(t.frontAlert(), "Larch / Enter original Larch reference:");
    EXPECT_EQ(t.h.frontAlert().tag(), PayViewController::kRefundReferenceTag);
    t.h.clickAlert("Cancel");
    t.pickTender("Cash");
    t.process();
    EXPECT_EQ(t.frontAlert(), "Confirmation / If you process this as a refund, funds will go to the customer. Are you "
                              "sure you want to process this as a refund?");
}

} // namespace
} // namespace tavlo::screens

namespace tavlo::screens {
namespace {

using namespace ui;

// ---- pictures

TEST(PayScreenPictureTest, CashAndCreditOnAPad) {
    test::PayTerminal t;
    t.setParam("PAYMENT_TIP_PERCENTAGE_1", "15");
    t.setParam("PAYMENT_TIP_PERCENTAGE_2", "18");
    t.setParam("PAYMENT_TIP_PERCENTAGE_3", "20");
    t.open();
    t.h.tap("$20");
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(t.h.window(), {1024, 768}), "pay_screen_cash_pad"));
    t.pickTender("Credit");
    t.field("number").setText("4111111111111111");
    t.field("expDate").setText("1228");
    ui::test::writeTestPicture(render::snapshot(t.h.window(), {1024, 768}), "pay_screen_credit_pad");
    t.process();
    ui::test::writeTestPicture(render::snapshot(t.h.window(), {1024, 768}), "pay_screen_approved_pad");
}

TEST(PayScreenPictureTest, TheWaitForTheCardHost) {
    test::PayTerminal t;
    t.gateway.script("Sale", gatewaysim::Answer::ApproveWhenReleased);
    t.open();
    t.pickTender("Credit");
    t.field("number").setText("4111111111111111");
    t.field("expDate").setText("1228");
    t.h.tap("Process");
    t.h.advance(12);
    ui::test::writeTestPicture(render::snapshot(t.h.window(), {1024, 768}), "pay_screen_waiting_pad");
    t.gateway.release();
    t.waitForCharge();
}

TEST(PayScreenPictureTest, CashOnAPhone) {
    test::PayTerminal t(true, DeviceIdiom::Phone);
    t.open();
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(t.h.window(), {320, 480}), "pay_screen_cash_phone"));
}

// A touch terminal has no Return key: the bar over a field being edited ends the editing (which
// runs the field's rules) and moves through the fields the tender takes.
TEST(PayScreenDoneBarTest, TheBarEndsTheEditingAndMovesBetweenTheFields) {
    test::PayTerminal t;
    t.open();
    PayViewController& s = *t.screen;
    t.h.type(t.field("tendered"), "");
    ASSERT_EQ(s.currentField(), &t.field("tendered"));
    ASSERT_EQ(t.field("tendered").inputAccessoryView().get(), s.doneBar());
    EXPECT_TRUE(s.doneButton()->isEnabled());
    t.h.tap("\u25B6");
    EXPECT_TRUE(t.field("amount").isFirstResponder());
    t.h.tap("\u25B6");
    EXPECT_TRUE(t.field("tip").isFirstResponder()) << "the gratuity is off without gratuities";
    t.h.tap("\u25C0");
    ASSERT_TRUE(t.field("amount").isFirstResponder());
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(t.h.window(), {1024, 768}), "pay_screen_done_bar_pad"));
    t.h.type(t.field("amount"), "2000");
    t.h.tap("Done");
    EXPECT_EQ(View::currentFirstResponder(), nullptr);
    EXPECT_FALSE(s.doneButton()->isEnabled()) << "no keyboard, no Done";
    EXPECT_EQ(t.frontAlert(),
              "Error / Amount to be paid cannot be higher than total due for the order, Amount was auto "
              "adjusted, verify it.");
    t.acknowledgeAlerts();
    EXPECT_EQ(t.field("amount").text(), "$12.34");
}

TEST(PayScreenPictureTest, TheDoneBarOnAPhone) {
    test::PayTerminal t(true, DeviceIdiom::Phone);
    t.open();
    t.h.type(t.field("amount"), "5");
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(t.h.window(), {320, 480}), "pay_screen_done_bar_phone"));
}

TEST(PayScreenPictureTest, TheChangeDue) {
    test::PayTerminal t;
    t.open();
    t.h.tap("$20");
    t.process();
    ui::test::writeTestPicture(render::snapshot(t.h.window(), {1024, 768}), "pay_screen_change_pad");
}

TEST(PayScreenPictureTest, TheSignatureScreen) {
    test::PayTerminal t;
    t.setParam("SIGNATURE_CAPTURE_CREDIT", "YES");
    t.setParam("PAYMENT_TIP_PERCENTAGE_1", "18");
    t.setParam("PAYMENT_TIP_PERCENTAGE_2", "20");
    t.open();
    t.pickTender("Credit");
    t.field("number").setText("4111111111111111");
    t.field("expDate").setText("1228");
    t.process();
    t.acknowledgeAlerts();
    ui::test::writeTestPicture(render::snapshot(t.h.window(), {1024, 768}), "signature_capture_empty_pad");
    auto& capture = t.h.visible<SignatureCapture>();
    t.h.drag(*capture.touchView(), {{120, 260}, {160, 200}, {200, 280}, {240, 190}, {300, 270}, {380, 210}});
    t.h.drag(*capture.touchView(), {{100, 300}, {420, 300}});
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(t.h.window(), {1024, 768}), "signature_capture_pad"));
}

} // namespace
} // namespace tavlo::screens
