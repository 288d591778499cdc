// Card sales from the pay screen on a terminal that is its own till, at the loopback card
// gateway: approval, partial approval, decline, the signature and the slips; and what is kept of
// a swiped card.
#include "PayTerminal.h"
#include "RunUntil.h"

#include "devices/MSRMediator.h"
#include "payments/CardRequest.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/PixelImage.h"
#include "platform/store/ObjectStore.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/pay/SignatureCapture.h"
#include "screens/shell/TavloMobileAppDelegate.h"
#include "support/LogLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <thread>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::PayTerminal;
using Answer = gatewaysim::Answer;

constexpr const char* kTrack2 = "4111111111111111=28121010000000000000";
constexpr const char* kSwipe =
    "%B4111111111111111^LEE/ANN^28121010000000000000?;4111111111111111=28121010000000000000?";

long count(const std::vector<std::string>& calls, const std::string& call) {
    return std::count(calls.begin(), calls.end(), call);
}

class PayCardTest : public ::testing::Test {
protected:
    // Credit for the whole due with a typed card.
    void typedCard(PayTerminal& terminal, const std::string& amount = "$12.34") {
        terminal.open();
        terminal.pickTender("Credit");
        terminal.field("amount").setText(amount);
        terminal.field("tendered").setText(amount);
        terminal.field("number").setText("4111111111111111");
        terminal.field("expDate").setText("1228");
    }

    PayTerminal t;
};

TEST_F(PayCardTest, AnApprovedSaleIsAddedQueuedAndPrintsBothCopies) {
    typedCard(t);
    t.process();
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.frontAlert(), "Alert / Approved");
    t.acknowledgeAlerts();
    ASSERT_EQ(t.order->payments().size(), 1u);
    const Payment& taken = *t.order->payments().front();
    EXPECT_EQ(taken.subTotal(), 1234);
    EXPECT_EQ(taken.refNum(), t.gateway.kept().at(0).invoice);
    EXPECT_TRUE(taken.approval());
    EXPECT_EQ(t.gateway.requests().at(0).fields.at("Amount"), "12.34");
    EXPECT_EQ(t.sender->orders.size(), 1u);
    // No drawer for a card; the merchant copy, then the customer copy.
    EXPECT_EQ(count(t.printer->calls, "open"), 2);
    EXPECT_EQ(count(t.printer->calls, "drawer 2") + count(t.printer->calls, "drawer 1"), 0);
    EXPECT_EQ(t.finished, 1);
}

TEST_F(PayCardTest, TheApprovalAlertCanBeSwitchedOffButNotForAPartialApproval) {
    t.setParam("DO_NOT_SHOW_APPROVAL", "YES");
    typedCard(t);
    t.process();
    EXPECT_FALSE(t.h.hasAlert());
    EXPECT_EQ(t.order->payments().size(), 1u);

    PayTerminal partial;
    // Another order: the card handler of this process still keeps the first terminal's charge.
    partial.order->setRemoteId(std::string("1-1700000000-2"));
    partial.setParam("DO_NOT_SHOW_APPROVAL", "YES");
    partial.gateway.script("Sale", Answer::ApprovePartial, "10.00");
    typedCard(partial);
    partial.process();
    EXPECT_EQ(partial.frontAlert(), "Alert / Partial approval $10.00");
}

TEST_F(PayCardTest, APartialApprovalIsSpreadOverSubtotalTaxTipAndGratuity) {
    // 10.00 with a tip of 1.50 and a gratuity of 2.00 is 13.50; the card approves 11.50. The
    // payment keeps 11.50: the shortfall comes off the tip, then the gratuity.
    struct Case {
        std::string approved;
        int32_t subTotal, tip, gratuity;
    };
    const Case cases[] = {{"11.50", 1000, 0, 150}, {"12.00", 1000, 0, 200}, {"8.00", 800, 0, 0}};
    for (const Case& c : cases) {
        Payment payment;
        payment.setSubTotal(1000);
        payment.setTip(150);
        payment.setGratuity(200);
        payment.applyApprovedAmount(Utils::parseCurrency(c.approved));
        EXPECT_EQ(payment.subTotal(), c.subTotal) << c.approved;
        EXPECT_EQ(payment.tip(), c.tip) << c.approved;
        EXPECT_EQ(payment.gratuity(), c.gratuity) << c.approved;
        EXPECT_EQ(payment.getTotal(), Utils::parseCurrency(c.approved));
    }

    // Through the screen: 12.34 with a 2.00 tip, approved for 13.00.
    t.gateway.script("Sale", Answer::ApprovePartial, "13.00");
    typedCard(t);
    t.field("tip").setText("$2.00");
    t.field("tendered").setText("$14.34");
    t.process();
    EXPECT_EQ(t.frontAlert(), "Alert / Partial approval $13.00");
    t.acknowledgeAlerts();
    ASSERT_EQ(t.order->payments().size(), 1u);
    EXPECT_EQ(t.order->payments().front()->subTotal(), 1234);
    EXPECT_EQ(t.order->payments().front()->tip(), 66);
    EXPECT_EQ(t.gateway.requests().at(0).fields.at("Amount"), "14.34");
}

TEST_F(PayCardTest, CashTenderedBeforeChoosingACardLeavesNoChangeOnTheCard) {
    t.open();
    t.h.tap("$20");
    t.pickTender("Credit");
    EXPECT_EQ(t.field("tendered").text(), "$12.34");
    t.field("number").setText("4111111111111111");
    t.field("expDate").setText("1228");
    t.process();
    t.acknowledgeAlerts();
    ASSERT_EQ(t.order->payments().size(), 1u);
    EXPECT_EQ(t.order->payments().front()->change(), 0);
    EXPECT_EQ(t.order->payments().front()->subTotal(), 1234);
}

TEST_F(PayCardTest, ADeclineShowsItsTextAndTakesNothing) {
    t.gateway.script("Sale", Answer::DeclineMessage, "Insufficient funds");
    typedCard(t);
    t.process();
    EXPECT_EQ(t.frontAlert(), "Error / Insufficient funds");
    // The charge is over: nothing is left to cancel.
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (std::vector<std::string>{"OK"}));
    t.acknowledgeAlerts();
    EXPECT_FALSE(t.order->hasPayments());
    EXPECT_TRUE(t.sender->orders.empty());
    EXPECT_TRUE(t.printer->calls.empty());
    EXPECT_EQ(t.finished, 0);
    ASSERT_TRUE(t.screen->payment()) << "kept for another try";
}

TEST_F(PayCardTest, ATabCannotBeAuthorisedOnTheTerminal) {
    t.setParam("CREDIT_AUTH_ONLY_AMOUNT", "5000");
    t.open();
    t.pickTender("Tab");
    t.field("number").setText("4111111111111111");
    t.field("expDate").setText("1228");
    t.process();
    EXPECT_EQ(t.frontAlert(), "Error / Unable to process payment");
    EXPECT_FALSE(t.order->hasPayments());
}

TEST_F(PayCardTest, AutoCloseClosesAPaidOrder) {
    t.setParam("ORDER_AUTO_CLOSE", "YES");
    typedCard(t);
    t.process();
    t.acknowledgeAlerts();
    EXPECT_TRUE(t.order->closed());

    PayTerminal part;
    part.setParam("ORDER_AUTO_CLOSE", "YES");
    typedCard(part, "$10.00");
    part.process();
    part.acknowledgeAlerts();
    EXPECT_FALSE(part.order->closed()) << "2.34 still due";
}

TEST_F(PayCardTest, TheSignatureIsStoredAsAJpegOfTheConfiguredWidthWithTheTip) {
    t.setParam("SIGNATURE_CAPTURE_CREDIT", "YES");
    t.setParam("SIGNATURE_CAPTURE_QUALITY", "0.8");
    t.setParam("PAYMENT_TIP_PERCENTAGE_1", "20");
    t.setParam("SUPPRESS_RECEIPT_IF_CAPTURED", "YES");
    typedCard(t);
    t.process();
    t.acknowledgeAlerts();
    auto& capture = t.h.visible<SignatureCapture>();
    EXPECT_EQ(capture.title(), "Paid $12.34");
    EXPECT_TRUE(t.sender->orders.empty()) << "queued once signed";
    View& pad = *capture.touchView();
    t.h.drag(pad, {{100, 200}, {200, 150}, {300, 220}, {400, 160}});
    ASSERT_TRUE(capture.cacheImage());
    t.h.tap("20%");
    EXPECT_EQ(capture.tipAmount()->text(), "$2.46");
    const double aspect = pad.bounds().width() / pad.bounds().height();
    t.h.tap("Done");
    t.acknowledgeAlerts();

    const Payment& taken = *t.order->payments().front();
    ASSERT_TRUE(taken.captured());
    EXPECT_EQ(taken.mimeType(), "image/jpeg");
    EXPECT_EQ(taken.tip(), 246);
    Error error;
    std::optional<PixelImage> stored = PixelImage::fromData(*taken.captured(), &error);
    ASSERT_TRUE(stored) << error.localizedDescription();
    EXPECT_EQ(stored->width(), 250);
    EXPECT_NEAR(stored->height(), 250 / aspect, 1);
    // Some ink: a dark pixel somewhere.
    bool ink = false;
    for (int y = 0; y < stored->height() && !ink; ++y)
        for (int x = 0; x < stored->width() && !ink; ++x) ink = stored->pixel(x, y)[0] < 100;
    EXPECT_TRUE(ink);
    // Signed: only the customer copy.
    EXPECT_EQ(count(t.printer->calls, "open"), 1);
    EXPECT_EQ(t.sender->orders.size(), 1u);
    EXPECT_EQ(t.finished, 1);
}

TEST_F(PayCardTest, ATipOnTheSignatureScreenLargerThanThePaymentIsAskedAboutAndOneTooLargeRefused) {
    t.setParam("SIGNATURE_CAPTURE_CREDIT", "YES");
    typedCard(t);
    t.process();
    t.acknowledgeAlerts();
    auto& capture = t.h.visible<SignatureCapture>();
    const Payment& taken = *t.order->payments().front();

    capture.tipAmount()->setText("$21474836.00"); // beyond what a payment's total can hold
    t.h.tap("Done");
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(), "The tip is too large to be taken");
    t.h.clickAlert("Ok");
    EXPECT_EQ(capture.tipAmount()->text(), "$0.00") << "the payment's own tip shown again";

    capture.tipAmount()->setText("$20.00");
    t.h.tap("Done");
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(), "The tip of $20.00 is larger than the amount of $12.34. Is it correct?");
    t.h.clickAlert("No");
    EXPECT_NO_THROW(t.h.visible<SignatureCapture>());
    EXPECT_EQ(capture.tipAmount()->text(), "$0.00");
    EXPECT_EQ(taken.tip(), 0);
    EXPECT_EQ(t.finished, 0);

    capture.tipAmount()->setText("$20.00");
    t.h.tap("Done");
    t.h.clickAlert("Yes");
    t.acknowledgeAlerts();
    EXPECT_EQ(taken.tip(), 2000);
    EXPECT_EQ(t.finished, 1);
}

TEST_F(PayCardTest, DoneWithoutAStrokeStoresNoSignature) {
    t.setParam("SIGNATURE_CAPTURE_CREDIT", "YES");
    typedCard(t);
    t.process();
    t.acknowledgeAlerts();
    t.h.tap("Done");
    t.acknowledgeAlerts();
    ASSERT_EQ(t.order->payments().size(), 1u);
    EXPECT_FALSE(t.order->payments().front()->captured());
}

TEST_F(PayCardTest, TheRawSwipeIsNeitherStoredNorLogged) {
    TavloLog::setLogOn(true);
    t.setParam("PAYMENT_CREDIT_DEBUG", "YES");
    t.open();
    t.pickTender("Credit");
    NotificationCenter::defaultCenter().post(kMsrReceivedDataNotification, std::any(std::string(kSwipe)));
    t.process();
    t.acknowledgeAlerts();
    ASSERT_EQ(t.order->payments().size(), 1u);
    EXPECT_EQ(t.gateway.requests().at(0).fields.at("MagData"), kTrack2) << "the gateway got the track";
    // The order as the queue keeps it, saved.
    t.order->write(*t.store.context());
    t.store.save();

    std::string stored;
    const std::string path = t.store.context()->store()->path().string();
    for (const std::string& name : {path, path + "-wal", path + "-journal"}) {
        std::ifstream file(name, std::ios::binary);
        stored.append(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    ASSERT_FALSE(stored.empty());
    const std::string log = tavlo::test::logText();
    // The cardholder's name is kept for the slip; the track, the whole number and the expiry are not.
    for (const char* secret : {kTrack2, "4111111111111111", "=2812", "B4111"}) {
        EXPECT_EQ(stored.find(secret), std::string::npos) << "stored: " << secret;
        EXPECT_EQ(log.find(secret), std::string::npos) << "logged: " << secret;
    }
}

// ---- a card host that takes its time

std::string overlayText() {
    std::shared_ptr<View> overlay = ActivityIndicator::overlay();
    auto* label = overlay ? dynamic_cast<Label*>(overlay->viewWithTag(ActivityIndicator::kLabelTag)) : nullptr;
    return label ? label->text().value_or("") : "(no overlay)";
}

TEST_F(PayCardTest, TheWindowStaysLiveWhileTheCardHostTakesItsTimeAndTheChargeCannotBeCancelled) {
    t.gateway.script("Sale", Answer::ApproveWhenReleased);
    typedCard(t);
    t.h.tap("Process"); // back at once: the charge runs beside the main loop
    ASSERT_TRUE(test::runUntil(t.h, [&] { return t.gateway.heldCount() == 1; }));
    EXPECT_TRUE(t.screen->isCharging());
    // What it waits for, and for how long by the clock.
    auto waited = [] {
        int seconds = -1;
        const std::string text = overlayText();
        return std::sscanf(text.c_str(), "Waiting for LARCH to answer (%d s) ...", &seconds) == 1 ? seconds : -1;
    };
    const int before = waited();
    ASSERT_GE(before, 0) << overlayText();
    t.h.advance(7);
    EXPECT_EQ(waited(), before + 7) << overlayText();

    // Cancel says why it cannot; a swipe or a second Process changes nothing.
    t.h.tap("Cancel");
    EXPECT_EQ(t.frontAlert(), "Alert / The card is being charged and this cannot be cancelled, please wait for the "
                              "answer");
    t.acknowledgeAlerts();
    NotificationCenter::defaultCenter().post(kMsrReceivedDataNotification, std::any(std::string(kSwipe)));
    t.screen->process();
    t.h.runUntilIdle();
    EXPECT_EQ(t.field("number").text(), "4111111111111111");
    EXPECT_FALSE(t.screen->swipe());
    EXPECT_EQ(t.finished, 0);
    EXPECT_FALSE(t.order->hasPayments());
    EXPECT_EQ(t.gateway.requestCount("Sale"), 0u) << "the one sale is still held";

    t.gateway.release();
    ASSERT_TRUE(test::runUntil(t.h, [&] { return t.h.hasAlert(); }));
    EXPECT_EQ(t.frontAlert(), "Alert / Approved");
    t.acknowledgeAlerts();
    EXPECT_FALSE(t.screen->isCharging());
    EXPECT_FALSE(ActivityIndicator::overlay());
    ASSERT_EQ(t.order->payments().size(), 1u);
    EXPECT_EQ(t.order->payments().front()->refNum(), t.gateway.kept().at(0).invoice);
    EXPECT_EQ(t.gateway.requestCount("Sale"), 1u);
    EXPECT_EQ(t.sender->orders.size(), 1u);
    EXPECT_EQ(t.finished, 1);
}

TEST_F(PayCardTest, ADeclineAfterAWaitIsShownAndTakesNothing) {
    t.gateway.script("Sale", Answer::Hang);
    typedCard(t);
    t.h.tap("Process");
    ASSERT_TRUE(test::runUntil(t.h, [&] { return t.h.hasAlert(); }));
    EXPECT_EQ(t.frontAlert(), "Error / Unable to communicate with Larch, verify Internet connection");
    t.acknowledgeAlerts();
    EXPECT_FALSE(t.screen->isCharging());
    EXPECT_FALSE(t.order->hasPayments());
    EXPECT_EQ(t.finished, 0);
    t.h.tap("Cancel");
    EXPECT_EQ(t.finished, 1);
}

TEST_F(PayCardTest, ClosingTheWindowWaitsForTheCardHostsAnswerAndStoresIt) {
    // Nobody is left to sign at the end: the charge is stored without the signature.
    t.setParam("SIGNATURE_CAPTURE_CREDIT", "YES");
    t.gateway.script("Sale", Answer::ApproveWhenReleased);
    typedCard(t);
    t.h.tap("Process");
    ASSERT_TRUE(test::runUntil(t.h, [&] { return t.gateway.heldCount() == 1; }));

    // The window is closed while the host still thinks it over.
    std::thread host([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        t.gateway.release();
    });
    auto delegate = std::make_shared<TavloMobileAppDelegate>();
    delegate->applicationWillTerminate(t.h.app());
    host.join();
    EXPECT_EQ(CardRequest::inFlight(), 0);
    ASSERT_EQ(t.order->payments().size(), 1u);
    EXPECT_EQ(t.order->payments().front()->refNum(), t.gateway.kept().at(0).invoice);
    EXPECT_EQ(t.sender->orders.size(), 1u) << "the order went with its payment";
    EXPECT_EQ(t.store->count(FetchRequest("Transaction")), 1u) << "the batch holds the charge";
}

// ---- keyed and swiped cards

TEST_F(PayCardTest, ACardKeyedAfterASwipeGoesWithoutTheSwipedCardsTrack) {
    auto swipe = [] {
        NotificationCenter::defaultCenter().post(kMsrReceivedDataNotification, std::any(std::string(kSwipe)));
    };
    struct Case {
        const char* how;
        std::function<void(PayTerminal&)> key;
    };
    const Case cases[] = {
        {"Manual, then typed",
         [](PayTerminal& terminal) {
             terminal.h.tap("Manual");
             EXPECT_EQ(terminal.field("number").text(), "");
             EXPECT_EQ(terminal.field("expDate").text(), "");
             EXPECT_FALSE(terminal.screen->swipe());
             terminal.h.type(terminal.field("number"), "5454545454545454");
             terminal.h.type(terminal.field("expDate"), "0130");
         }},
        {"typed over the swiped number",
         [](PayTerminal& terminal) {
             terminal.field("number").setText("");
             terminal.field("expDate").setText("");
             terminal.h.type(terminal.field("number"), "5454545454545454");
             terminal.h.type(terminal.field("expDate"), "0130");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        PayTerminal terminal;
        typedCard(terminal);
        terminal.field("number").setText("");
        terminal.field("expDate").setText("");
        swipe();
        ASSERT_EQ(terminal.field("number").text(), "4111111111111111");
        ASSERT_TRUE(terminal.screen->swipe());
        c.key(terminal);
        terminal.h.tap("Process");
        ASSERT_TRUE(test::runUntil(terminal.h, [&] { return terminal.h.hasAlert(); }));
        terminal.acknowledgeAlerts();
        ASSERT_EQ(terminal.gateway.requests().size(), 1u);
        const std::map<std::string, std::string> fields = terminal.gateway.requests().at(0).fields;
        EXPECT_EQ(fields.at("CardNum"), "5454545454545454");
        EXPECT_EQ(fields.at("ExpDate"), "0130");
        EXPECT_EQ(fields.at("MagData"), "") << "no track of the swiped card";
        ASSERT_EQ(terminal.order->payments().size(), 1u);
        EXPECT_TRUE(terminal.order->payments().front()->manual());
    }
}

TEST(PayCardProcessTest, TwoPayScreensOfTwoStoresInOneProcess) {
    // Each terminal opens its own store and gives the factory its context: the second must not
    // charge through a handler of the first's freed context.
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        PayTerminal terminal;
        terminal.open();
        terminal.pickTender("Credit");
        terminal.field("amount").setText("$12.34");
        terminal.field("tendered").setText("$12.34");
        terminal.field("number").setText("4111111111111111");
        terminal.field("expDate").setText("1228");
        terminal.h.tap("Process");
        ASSERT_TRUE(test::runUntil(terminal.h, [&] { return terminal.h.hasAlert(); }));
        terminal.acknowledgeAlerts();
        EXPECT_EQ(terminal.order->payments().size(), 1u);
        EXPECT_EQ(terminal.store->count(FetchRequest("Transaction")), 1u);
    }
}

} // namespace
} // namespace tavlo::screens
