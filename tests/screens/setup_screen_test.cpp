// The store set-up screen driven as a person would, against the store server on loopback: the
// checks before a load, the association prompt, the load under the wait overlay, what is kept
// afterwards, and what a failure leaves.
#include "SetupScreen.h"
#include "payments/PaymentHandlerFactory.h"
#include "platform/foundation/Text.h"
#include "platform/ui/render/Snapshot.h"
#include "support/FakePaymentHandler.h"
#include "support/LogLines.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

namespace tavlo::screens {
namespace {

using namespace ui;
using tavlo::test::readFixture;
using test::SetupScreen;

// The demo store's data with text replaced (the relay terminal's name, extra store values).
std::string storeDataWith(const std::vector<std::pair<std::string, std::string>>& replacements) {
    std::string data = readFixture("storeload/store_full.xml");
    for (const auto& [from, to] : replacements) data = replaceAll(data, from, to);
    return data;
}

const std::string kFirstParam = "<param><key>HH_LOG_XML</key><value>false</value></param>";
std::string param(const std::string& key, const std::string& value) {
    return "<param><key>" + key + "</key><value>" + value + "</value></param>";
}

class SetupScreenTest : public ::testing::Test {
protected:
    SetupScreen s{DeviceIdiom::Tablet};
};

TEST_F(SetupScreenTest, SaveWithoutStoreOrPasswordAsksForBoth) {
    s.show();
    using Pair = std::pair<std::string, std::string>;
    for (auto [storeId, password] : std::vector<Pair>{{"", "secret"}, {"1", ""}, {"", ""}}) {
        SCOPED_TRACE(storeId + "/" + password);
        s.fill(storeId, password, "");
        s.h.tap("Save");
        ASSERT_TRUE(s.h.hasAlert());
        EXPECT_EQ(s.h.frontAlert().title(), "Validation");
        EXPECT_EQ(s.h.frontAlert().message(), "Please specify store, and password");
        EXPECT_EQ(s.h.frontAlert().buttonTitles(), std::vector<std::string>{"Ok"});
        s.h.clickAlert("Ok");
    }
    EXPECT_EQ(s.server.requests().size(), 0u);
    EXPECT_FALSE(ActivityIndicator::overlay());
    std::vector<std::string> lines = tavlo::test::loggedMessages();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "*** User did not specify all config settings"), 3);
}

TEST_F(SetupScreenTest, GoodCredentialsLoadTheStoreUnderTheOverlayAndKeepTheSettings) {
    std::vector<storesim::StoreDataRequest> asked;
    s.server.setStoreData([&](const storesim::StoreDataRequest& request) {
        asked.push_back(request);
        return readFixture("storeload/store_full.xml");
    });
    s.show();
    s.fill("1", "secret", s.server.url());
    s.h.tap("Save");
    ASSERT_TRUE(s.h.hasAlert());
    AlertView& prompt = s.h.frontAlert();
    EXPECT_EQ(prompt.title(), "Association Code");
    EXPECT_EQ(prompt.message(), "If you have an association code, enter it here and press Ok. If not, just press Ok");
    EXPECT_EQ(prompt.style(), AlertViewStyle::PlainTextInput);
    EXPECT_EQ(prompt.buttonTitles(), std::vector<std::string>{"Ok"});
    EXPECT_EQ(prompt.tag(), 97);
    EXPECT_FALSE(s.field("textStoreId").isFirstResponder());
    s.h.type(*prompt.textField(0), "A-77");
    s.h.clickAlert("Ok");

    std::shared_ptr<View> overlay = ActivityIndicator::overlay();
    ASSERT_TRUE(overlay) << "the load runs under the wait overlay";
    EXPECT_EQ(overlay->superview(), s.settings->view().get());
    ASSERT_TRUE(s.waitForLoad());

    EXPECT_EQ(s.saved, 1);
    EXPECT_FALSE(s.h.hasAlert());
    EXPECT_EQ(overlay->superview(), nullptr);
    EXPECT_EQ(SetupScreen::defaultsText("store_id"), "1");
    EXPECT_EQ(SetupScreen::defaultsText("password"), "secret");
    EXPECT_EQ(SetupScreen::defaultsText("gateway"), s.server.url());
    EXPECT_EQ(CommHelper::gateway(), s.server.url());
    EXPECT_EQ(SetupScreen::stored("Item"), 9u);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].associationCode, "A-77");
    EXPECT_EQ(asked[0].storeDateUpdated, "0") << "a full reload";
    EXPECT_EQ(s.server.requestCount("getOrderData"), 1u);
    EXPECT_EQ(s.server.requestCount("getCustomers"), 0u) << "customers are loaded in lite mode only";
}

TEST_F(SetupScreenTest, AnEmptyAssociationCodeIsSentAsNone) {
    std::vector<std::optional<std::string>> codes;
    s.server.setStoreData([&](const storesim::StoreDataRequest& request) {
        codes.push_back(request.associationCode);
        return readFixture("storeload/store_full.xml");
    });
    s.show();
    s.fill("1", "secret", s.server.url());
    s.save("");
    ASSERT_TRUE(s.waitForLoad());
    EXPECT_EQ(codes, std::vector<std::optional<std::string>>{std::nullopt});
    EXPECT_EQ(s.saved, 1);
}

// A load the server refuses or that fails on the way shows why, and changes nothing: the old
// settings, the stored store and what the person typed all stay.
class SetupScreenRefusalTest
    : public ::testing::TestWithParam<std::tuple<const char*, storesim::Fault, std::string, std::string>> {};

TEST_P(SetupScreenRefusalTest, ShowsWhyAndKeepsTheOldSettings) {
    auto [name, fault, password, message] = GetParam();
    SetupScreen s{DeviceIdiom::Tablet};
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(std::string("1"), "store_id");
    defaults.setObject(std::string("secret"), "password");
    defaults.setObject(s.server.url(), "gateway");
    s.show();
    s.save();
    ASSERT_TRUE(s.waitForLoad());
    ASSERT_EQ(s.saved, 1);
    ASSERT_EQ(SetupScreen::stored("Item"), 9u);

    if (fault != storesim::Fault::None) s.server.setFault("getStoreData", fault, 1, message);
    if (name == std::string("EmptyReply")) s.server.setCannedReply("getStoreData", "<tavloReply/>");
    s.retype("textStorePassword", password);
    s.save();
    ASSERT_TRUE(s.waitForLoad());

    ASSERT_TRUE(s.h.hasAlert());
    EXPECT_EQ(s.h.frontAlert().title(), "Error");
    EXPECT_EQ(s.h.frontAlert().message(), message);
    EXPECT_EQ(s.h.frontAlert().buttonTitles(), std::vector<std::string>{"Ok"});
    s.h.clickAlert("Ok");
    EXPECT_EQ(s.saved, 1);
    EXPECT_EQ(SetupScreen::defaultsText("password"), "secret");
    EXPECT_EQ(SetupScreen::defaultsText("gateway"), s.server.url());
    EXPECT_EQ(SetupScreen::stored("Item"), 9u);
    EXPECT_EQ(s.field("textStorePassword").text(), password);
    EXPECT_EQ(s.h.visibleController().interfaceName(), "SettingsView");
}

INSTANTIATE_TEST_SUITE_P(Loads, SetupScreenRefusalTest,
                         ::testing::Values(std::make_tuple("WrongPassword", storesim::Fault::None, "guess",
                                                           "Unable to connect to Tavlo terminal (statusCode:403)"),
                                           std::make_tuple("RefusedByTheServer", storesim::Fault::ErrorElement,
                                                           "secret", "This terminal is not associated with the store"),
                                           std::make_tuple("EmptyReply", storesim::Fault::None, "secret",
                                                           "Unable to synchronize, verify your store credentials")),
                         [](const auto& instance) { return std::string(std::get<0>(instance.param)); });

TEST_F(SetupScreenTest, AFailedOrdersLoadStillCompletesTheSetUp) {
    s.server.setFault("getOrderData", storesim::Fault::ErrorElement, 1);
    s.show();
    s.fill("1", "secret", s.server.url());
    s.save();
    ASSERT_TRUE(s.waitForLoad());

    EXPECT_EQ(s.saved, 1);
    EXPECT_EQ(SetupScreen::defaultsText("store_id"), "1");
    ASSERT_TRUE(s.h.hasAlert());
    EXPECT_EQ(s.h.frontAlert().title(), "Error");
    EXPECT_EQ(s.h.frontAlert().message(), "Unable to get orders, verify your store credentials");
}

// With no gateway typed, a terminal in gateway mode relays through the store's first reachable
// terminal; the store itself comes from the hosted service.
TEST_F(SetupScreenTest, AnEmptyGatewayKeepsTheTerminalToRelayThrough) {
    std::string relay = "127.0.0.1:" + std::to_string(s.server.port());
    s.server.setStoreData([&](const storesim::StoreDataRequest&) {
        return storeDataWith({{"<networkName>till-1</networkName>", "<networkName>" + relay + "</networkName>"}});
    });
    s.show();
    s.fill("1", "secret", "");
    s.save();
    ASSERT_TRUE(s.waitForLoad());

    EXPECT_EQ(s.saved, 1);
    EXPECT_FALSE(s.h.hasAlert());
    EXPECT_EQ(SetupScreen::defaultsText("gateway"), relay);
    EXPECT_EQ(s.server.requestCount("getStoreData"), 1u);
    EXPECT_EQ(s.server.requestCount("getOrderData"), 1u) << "the orders come through the relay";
}

// A lite store talks to the hosted service only: it is kept as the gateway, the customers are
// loaded and the card host restores the open day's batch.
TEST_F(SetupScreenTest, ALiteStoreKeepsTheHostedServiceAndRestoresTheCardBatch) {
    // The factory keeps a handler once made: a host of its own for each run of the test.
    static int runs = 0;
    const std::string host = "SETUPHOST" + std::to_string(++runs);
    auto fake = std::make_shared<tavlo::test::FakePaymentHandler>(s.store.context().get(), host);
    PaymentHandlerFactory::initWithMOC(s.store.context().get()).registerHandler(host, [fake](ObjectContext*) {
        return fake;
    });
    s.server.setStoreData([&](const storesim::StoreDataRequest&) {
        return storeDataWith(
            {{kFirstParam, kFirstParam + param("TAVLO_LITE", "true") + param("PAYMENT_CREDIT_HOST", host)}});
    });
    s.show();
    EXPECT_TRUE(s.field("textStoreGateway").isEnabled());
    s.fill("1", "secret", "");
    s.save();
    ASSERT_TRUE(s.waitForLoad());

    EXPECT_EQ(s.saved, 1);
    EXPECT_FALSE(s.h.hasAlert());
    EXPECT_EQ(SetupScreen::defaultsText("gateway"), SettingsViewController::hostedServiceURL());
    EXPECT_EQ(s.server.requestCount("getOrderData"), 1u);
    EXPECT_EQ(s.server.requestCount("getCustomers"), 1u);
    EXPECT_EQ(fake->callCount(tavlo::test::FakePaymentHandler::Operation::RestoreBatch), 1u);

    s.show(); // shown again on a lite store: nothing to relay through
    EXPECT_FALSE(s.field("textStoreGateway").isEnabled());
    ui::test::writeTestPicture(render::snapshot(s.h.window(), {1024, 768}), "setup_lite_pad");
}

TEST_F(SetupScreenTest, TheFieldsShowTheStoredSettingsAndTheNetwork) {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(std::string("1"), "store_id");
    defaults.setObject(std::string("secret"), "password");
    defaults.setObject(std::string("till-1"), "gateway");
    s.show();
    EXPECT_EQ(s.field("textStoreId").text(), "1");
    EXPECT_EQ(s.field("textStorePassword").text(), "secret");
    EXPECT_TRUE(s.field("textStorePassword").isSecureTextEntry());
    EXPECT_EQ(s.field("textStoreGateway").text(), "till-1");
    EXPECT_EQ(s.h.outlet<Label>("lblNetInfo").text(), "(WiFi: Bistro-Staff, IP: 10.1.1.20)");
    EXPECT_TRUE(s.field("textStoreId").isFirstResponder()) << "the pad starts typing in the store id";

    NetworkProbe::install(std::make_shared<FixedNetworkProbe>(false, "unresolved"));
    s.show();
    EXPECT_EQ(s.h.outlet<Label>("lblNetInfo").text(), "(WiFi: <disconnected>, IP: )");
}

TEST_F(SetupScreenTest, TheGatewayButtonOpensTheGatewaysAddress) {
    s.show();
    s.h.tap("Test");
    ASSERT_TRUE(s.h.hasAlert());
    EXPECT_EQ(s.h.frontAlert().title(), "Error");
    EXPECT_EQ(s.h.frontAlert().message(), "Please specify a gateway so we can verify connectivity");
    s.h.clickAlert("Ok");
    EXPECT_TRUE(s.h.app().openedURLs().empty());

    s.retype("textStoreGateway", "back office");
    s.h.tap("Test");
    EXPECT_EQ(s.h.app().openedURLs(), std::vector<std::string>{"http://back%20office.local:4444"});
}

TEST_F(SetupScreenTest, TheProductNameOpensTheContactPage) {
    s.show();
    s.h.tap("tavlo");
    EXPECT_EQ(s.h.app().openedURLs(), std::vector<std::string>{SettingsViewController::contactPageURL()});
}

// The pad keeps its keyboard on return (it has a key of its own to hide it); the phone's return
// key puts it away. The pad turns between its landscapes only, the phone stays upright.
TEST(SetupScreenDevices, ReturnKeyAndOrientationsFollowTheDevice) {
    for (DeviceIdiom idiom : {DeviceIdiom::Tablet, DeviceIdiom::Phone}) {
        SetupScreen s{idiom};
        s.show();
        s.h.type(s.field("textStoreId"), "1");
        s.field("textStoreId").pressReturn();
        bool pad = idiom == DeviceIdiom::Tablet;
        EXPECT_EQ(s.field("textStoreId").isFirstResponder(), pad);
        EXPECT_EQ(s.settings->supportedInterfaceOrientations(),
                  pad ? OrientationMask::Landscape : OrientationMask::Portrait);
    }
}

} // namespace
} // namespace tavlo::screens
