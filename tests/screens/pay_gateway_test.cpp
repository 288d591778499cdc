// The pay screen on a terminal that is not its own till: the order goes with the payment to the
// store gateway (the loopback store server), its silence, a lost Wi-Fi, and card fields that
// cannot be encrypted.
#include "PayTerminal.h"

#include "StoreServer.h"
#include "payments/Encryption.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/NetworkProbe.h"
#include "platform/security/Keychain.h"
#include "screens/pay/SignatureCapture.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/AppShell.h"
#include "sync/handlers/OrderHandler.h"

#include <fstream>

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using storesim::Fault;

class WiFi : public NetworkProbe {
public:
    explicit WiFi(bool on) : on_(on) {}
    bool isWiFiConnected() const override { return on_; }
    std::string localIPAddress() const override { return "127.0.0.1"; }
    std::string ssid() const override { return "test"; }

private:
    bool on_;
};

class PayGatewayTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& defaults = UserDefaults::standardUserDefaults();
        defaults.setObject(std::string("1"), "store_id");
        defaults.setObject(std::string("secret"), "password");
        t.setParam("TS_SOCKET_CONNECT_TIMEOUT", "1000");
        t.setParam("TS_SOCKET_READ_TIMEOUT", "1000");
        server.start();
        CommHelper::setGateway(server.url());
        NetworkProbe::install(std::make_shared<WiFi>(true));
        OrderHandler::getInstance(DBHelper::sharedStore(), server.url(), 60, false);
    }
    void TearDown() override {
        OrderHandler::releaseInstance();
        NetworkProbe::install(nullptr);
        CommHelper::setGateway(std::nullopt);
        server.stop();
    }
    void payCash() {
        t.open();
        t.h.tap("$20");
        t.h.tap("Process");
    }

    test::PayTerminal t{false};
    storesim::StoreServer server{storesim::StoreServer::Options{"1", "secret", 2}};
};

TEST_F(PayGatewayTest, TheOrderGoesWithThePaymentAndThePayingTerminalPrints) {
    payCash();
    t.acknowledgeAlerts();
    EXPECT_EQ(t.alertTexts, (std::vector<std::string>{"Change Due / Tendered: $20.00\nAmount: $12.34\nChange: $7.66"}));
    ASSERT_EQ(t.order->payments().size(), 1u);
    EXPECT_FALSE(t.order->payments().front()->isNew()) << "the server has it";
    EXPECT_EQ(server.requestCount("customerOrder"), 1u);
    EXPECT_TRUE(t.printer->calls.empty()) << "the paying terminal prints";
    EXPECT_EQ(t.finished, 1);
}

TEST_F(PayGatewayTest, TheSignatureScreenStaysUsableWhenThePaymentStallsAndAddsThePaymentOnce) {
    t.setParam("SIGNATURE_CAPTURE_OTHER", "YES");
    // No gateway known: the terminal to pay at is asked for.
    CommHelper::setGateway(std::nullopt);
    t.open();
    t.pickTender("Other");
    t.field("number").setText("R-12");
    t.h.tap("Process");
    t.h.visible<SignatureCapture>();
    for (int round = 0; round < 2; ++round) {
        t.h.tap("Done");
        ASSERT_TRUE(t.h.hasAlert());
        EXPECT_EQ(t.h.frontAlert().tag(), PayViewController::kTerminalTag);
        t.h.clickAlert("Cancel");
        t.h.runUntilIdle();
        ASSERT_NO_THROW(t.h.visible<SignatureCapture>()) << "still the signature screen";
        EXPECT_EQ(t.order->payments().size(), 1u) << "round " << round;
    }
    EXPECT_EQ(server.requestCount("customerOrder"), 0u);
}

TEST_F(PayGatewayTest, NoAnswerOffersTheOtherTerminals) {
    server.setFault("customerOrder", Fault::RefuseConnection);
    payCash();
    ASSERT_TRUE(t.h.hasAlert());
    AlertView& offer = t.h.frontAlert();
    EXPECT_EQ(offer.tag(), PayViewController::kTerminalTag);
    EXPECT_NE(offer.message().value_or("").find("Would you like to pay via a different terminal?"), std::string::npos);
    EXPECT_EQ(offer.buttonTitles(), (std::vector<std::string>{"Cancel", "Front", "Bar"}));
    EXPECT_TRUE(t.order->payments().front()->isNew()) << "kept for another try";
    EXPECT_FALSE(t.order->closed());
    t.h.clickAlert("Cancel");
    t.h.tap("Cancel");
    EXPECT_FALSE(t.order->hasPayments()) << "Cancel drops the unsent payment";
}

TEST_F(PayGatewayTest, AWarningOnTheResendIsShownAndThePaymentStands) {
    // A warning reaches the pay screen when the first send was answered with a new key and the
    // resend with a warning.
    server.setFault("customerOrder", Fault::KeyMismatchWarning, 1);
    server.thenFault("customerOrder", Fault::Warning, 1, "Printer offline");
    payCash();
    t.acknowledgeAlerts();
    // The warning shows over the change, so it is read first.
    EXPECT_EQ(t.alertTexts, (std::vector<std::string>{"Warning / Printer offline",
                                                      "Change Due / Tendered: $20.00\nAmount: $12.34\nChange: $7.66"}));
    EXPECT_EQ(server.requestCount("customerOrder"), 2u);
    ASSERT_EQ(t.order->payments().size(), 1u);
    EXPECT_FALSE(t.order->payments().front()->isNew()) << "the server has it";
    EXPECT_EQ(t.finished, 1);
}

TEST_F(PayGatewayTest, WithoutWiFiItSaysSo) {
    server.setFault("customerOrder", Fault::RefuseConnection);
    NetworkProbe::install(std::make_shared<WiFi>(false));
    payCash();
    EXPECT_EQ(t.frontAlert(), "Error / WiFi Disconnected! Make sure you are within the WiFi area of the store");
}

TEST_F(PayGatewayTest, ATerminalThatCannotEncryptCardFieldsSaysSoAndTakesNoCard) {
    // The keychain is damaged and no server key could be installed since.
    std::ofstream(Keychain::path(), std::ios::binary) << std::string("\x89PNG\r\n\x1a\n\0\xff", 10);
    t.open();
    t.pickTender("Credit");
    t.field("number").setText("4111111111111111");
    t.field("expDate").setText("1228");
    t.h.tap("Process");
    EXPECT_EQ(t.frontAlert(), "Error / Card data cannot be encrypted on this terminal, so it takes no card payment. "
                              "Please contact support");
    t.acknowledgeAlerts();
    EXPECT_FALSE(t.order->hasPayments());
    EXPECT_EQ(server.requestCount("customerOrder"), 0u);

    // Cash still goes; and once the server's key is in a fresh keychain, so do cards.
    Encryption::getInstance().setPublicKey(AppShell::builtInServerKey(2048));
    ASSERT_TRUE(Encryption::getInstance().canEncrypt());
    t.h.tap("Process");
    t.acknowledgeAlerts();
    EXPECT_EQ(server.requestCount("customerOrder"), 1u);
    ASSERT_EQ(t.order->payments().size(), 1u);
    EXPECT_EQ(t.finished, 1);
}

} // namespace
} // namespace tavlo::screens
