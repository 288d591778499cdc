// The sign-in screen driven as a person drives it, on the small store against the store server on
// loopback: which screen a number or a card opens and with what, the alerts of what goes wrong,
// the disabled terminal, another terminal as the gateway, the receipt printer and the bar.
#include "LoginScreen.h"
#include "devices/MSRMediator.h"
#include "devices/OrvanPrinter.h"
#include "devices/PrinterCardReader.h"
#include "platform/ui/render/Snapshot.h"
#include "support/LogLines.h"
#include "support/NetworkNamespace.h"
#include "support/ui/Golden.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/handlers/StoreHandler.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::LoginScreen;

void swipe(const std::string& card) {
    NotificationCenter::defaultCenter().post(kMsrReceivedDataNotification, std::any(card));
}

// The number field waiting for a key: its caret stands before the placeholder, not through it.
TEST(LoginScreenTest, TheCaretOfTheEmptyNumberStandsBeforeThePlaceholder) {
    LoginScreen s({});
    s.show();
    TextField& number = *s.login->textNumber();
    ASSERT_TRUE(number.becomeFirstResponder());
    s.h.runUntilIdle();
    render::Bitmap picture = render::snapshot(s.h.window(), s.h.window().bounds().size);
    EXPECT_TRUE(ui::test::matchesGolden(picture, "login_caret_phone"));
    // Nothing drawn over the placeholder's middle but its own grey ink.
    const Rect field = number.convertRect(number.bounds(), nullptr);
    const Color caret(0xE5 / 255.0, 0x7E / 255.0, 0x31 / 255.0);
    for (int y = static_cast<int>(field.minY()) + 4; y < static_cast<int>(field.maxY()) - 4; ++y) {
        const Color at = picture.colorAt(static_cast<int>(field.midX()), y);
        EXPECT_FALSE(std::abs(at.r() - caret.r()) < 0.05 && std::abs(at.g() - caret.g()) < 0.05 &&
                     std::abs(at.b() - caret.b()) < 0.05)
            << "the caret at " << y;
    }
}

TEST(LoginScreenTest, AValidNumberOpensTheOrdersMainScreenWhenTheGatewaySaysTheStoreIsOpen) {
    LoginScreen s({DeviceIdiom::Phone, false, {{"MODULE_TABLE_LAYOUT", "YES"}}});
    s.show();
    EXPECT_EQ(s.login->title(), "Corner Bistro");
    s.signIn("1002");

    ASSERT_FALSE(s.h.hasAlert()) << s.alertText();
    test::SignedInStandIn* next = s.openedScreen();
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->interfaceName(), "OrdersView");
    EXPECT_EQ(&s.h.visibleController(), next);
    EXPECT_TRUE(next->root);
    EXPECT_FALSE(next->layout); // Bob lacks LOGIN_INIT_TABLE_LAYOUT
    ASSERT_NE(next->session, nullptr);
    EXPECT_TRUE(next->session->isValid());
    EXPECT_EQ(next->session->userId(), "U-BOB");
    EXPECT_EQ(next->session->printerStream(), s.printer);
    EXPECT_EQ(s.server.requestCount("getOrders"), 1u);
    EXPECT_FALSE(ActivityIndicator::overlay());
}

TEST(LoginScreenTest, AClosedStoreOpensTheAdministrationWhereTheTerminalMayOpenIt) {
    const char* closedReply =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><tavloReply isOpen=\"false\"><success>OK</success></tavloReply>";
    struct Case {
        const char* what;
        bool lite;
        bool allowAdmin;
        bool storeOpen;
        std::string opens; // or the alert
    };
    const Case cases[] = {
        {"lite, store closed", true, false, false, "LiteAdminView"},
        {"lite, store open", true, false, true, "OrdersView"},
        {"gateway, store closed, HH_ALLOW_ADMIN", false, true, false, "LiteAdminView"},
        {"gateway, store closed", false, false, false,
         "Alert / Store is currently closed. A manager must open the store before taking orders"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LoginScreen::Options options{DeviceIdiom::Phone, c.lite, {}};
        if (c.allowAdmin) options.values.push_back({"HH_ALLOW_ADMIN", "YES"});
        LoginScreen s(options);
        if (c.storeOpen) s.store.addStoreBatch("B-1", Date::now(), std::nullopt);
        else s.store.addStoreBatch("B-0", Date::now().addingSeconds(-86400), Date::now().addingSeconds(-3600));
        s.store.save();
        if (!c.lite) s.server.setCannedReply("getOrders", std::string(closedReply));
        s.show();
        s.signIn("1001");

        if (c.opens.find(" / ") != std::string::npos) {
            EXPECT_EQ(s.alertText(), c.opens);
            EXPECT_EQ(s.openedScreen(), nullptr);
            continue;
        }
        ASSERT_FALSE(s.h.hasAlert()) << s.alertText();
        ASSERT_NE(s.openedScreen(), nullptr);
        EXPECT_EQ(s.openedScreen()->interfaceName(), c.opens);
        EXPECT_EQ(s.server.requestCount("getOrders"), c.lite ? 0u : 1u);
    }
}

TEST(LoginScreenTest, WhatCannotSignInIsToldAndOpensNothing) {
    struct Case {
        const char* what;
        std::string typed;
        std::string alert;
    };
    const Case cases[] = {
        {"nothing typed", "", "Error / Enter your employee number or swipe your card in order to login"},
        {"an unknown number", "4242", "Error / Unable to authenticate, verify your credentials and try again"},
        {"a user without the right to sign in", "DAN",
         "Error / Unable to authenticate, verify your credentials and try again"},
    };
    LoginScreen s({});
    s.row("User", "userId", "U-DAN")->setValue("number", "DAN");
    s.store.save();
    s.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.typed.empty()) s.h.type(*s.login->textNumber(), c.typed);
        s.h.tap("Login");
        EXPECT_EQ(s.alertText(), c.alert);
        if (s.h.hasAlert()) s.h.clickAlert("Ok");
        s.h.backspace(*s.login->textNumber(), static_cast<int>(s.login->textNumber()->text().size()));
    }
    EXPECT_EQ(s.openedScreen(), nullptr);
    EXPECT_EQ(s.server.requestCount("getOrders"), 0u);
}

TEST(LoginScreenTest, ACardSignsItsUserInAndAReadErrorOrAStrangeCardIsTold) {
    LoginScreen s({});
    s.show();
    // A card text beginning with "E" is the reader's error, even when a user's card has it.
    s.row("User", "userId", "U-BOB")->setValue("trackData", "EBOB");
    s.store.save();
    swipe("EBOB");
    EXPECT_EQ(s.alertText(), "Error / Unable to read card, please try again");
    s.h.clickAlert("Ok");
    swipe("NOBODY");
    EXPECT_EQ(s.alertText(),
              "Alert / The swiped card does not match any user. Swipe another card or enter a login number");
    s.h.clickAlert("Ok");
    swipe("");
    EXPECT_FALSE(s.h.hasAlert());
    EXPECT_EQ(s.openedScreen(), nullptr);

    swipe("\rANNCARD\r");
    s.h.runUntilIdle();
    ASSERT_FALSE(s.h.hasAlert()) << s.alertText();
    ASSERT_NE(s.openedScreen(), nullptr);
    EXPECT_EQ(s.openedScreen()->session->userId(), "U-ANN");
    // The screen left: swipes no longer reach it.
    s.opened.clear();
    swipe("ANNCARD");
    EXPECT_EQ(s.openedScreen(), nullptr);
}

TEST(LoginScreenTest, ADisabledTerminalIsToldAndPausesTheHandlers) {
    LoginScreen s({});
    s.row("Terminal", "terminalId", "T1")->setValue("disabled", true);
    s.store.save();
    s.shell.login(); // the handlers run, as after the start-up
    ASSERT_TRUE(StoreHandler::getInstance()->isRunning());
    s.show();

    EXPECT_EQ(s.alertText(), "Alert / Terminal has been disabled, contact support personnel to re-enable it");
    EXPECT_EQ(s.h.frontAlert().tag(), LoginViewController::kDisabledAlertTag);
    EXPECT_FALSE(StoreHandler::getInstance()->isRunning());
    EXPECT_FALSE(OrderHandler::getInstance()->isRunning());
    EXPECT_TRUE(
        ui::test::matchesGolden(render::snapshot(s.h.window(), s.h.window().bounds().size), "login_disabled_phone"));
    s.h.clickAlert("Ok");

    // Told once in full; after that briefly, also for a sign-in.
    s.signIn("1001");
    EXPECT_EQ(s.alertText(), "Alert / Terminal disabled");
    EXPECT_EQ(s.openedScreen(), nullptr);
}

TEST(LoginScreenTest, AGatewayThatCannotBeReachedOffersTheOtherTerminalsAndRetriesWithTheChosenOne) {
    LoginScreen s({});
    // "Bar" relays for the store through a server of its own.
    storesim::StoreServer bar(storesim::StoreServer::Options{"1", "secret", 5});
    bar.start();
    s.row("Terminal", "terminalId", "T2")->setValue("networkName", "127.0.0.1:" + std::to_string(bar.port()));
    s.store.save();
    s.server.setFault("getOrders", storesim::Fault::RefuseConnection);
    s.show();
    s.signIn("1002");

    ASSERT_TRUE(s.h.hasAlert());
    EXPECT_EQ(s.alertText(), "Error / Unable to connect to the current gateway (" + s.server.url() +
                                 ") Would you like to select a different terminal as gateway?");
    EXPECT_EQ(s.h.frontAlert().buttonTitles(), (std::vector<std::string>{"Cancel", "Front", "Bar"}));
    EXPECT_EQ(s.openedScreen(), nullptr);
    ui::test::writeTestPicture(render::snapshot(s.h.window(), s.h.window().bounds().size),
                               "login_gateway_choice_phone");
    s.h.clickAlert("Bar");

    ASSERT_FALSE(s.h.hasAlert()) << s.alertText();
    const std::string barURL = "http://127.0.0.1:" + std::to_string(bar.port());
    EXPECT_EQ(UserDefaults::standardUserDefaults().stringForKey("gateway"), "127.0.0.1:" + std::to_string(bar.port()));
    EXPECT_EQ(CommHelper::gateway(), barURL);
    EXPECT_EQ(bar.requestCount("getOrders"), 1u);
    ASSERT_NE(s.openedScreen(), nullptr);
    EXPECT_EQ(s.openedScreen()->session->userId(), "U-BOB");
    bar.stop();
}

TEST(LoginScreenTest, AGatewayFailureWithoutWiFiOrOtherTerminalsIsToldPlainly) {
    struct Case {
        const char* what;
        bool wifi;
        std::string alert;
    };
    for (const Case& c :
         {Case{"no Wi-Fi", false, "Error / WiFi Disconnected! Make sure you are within the WiFi area of the store"},
          Case{"no other terminal", true, "Error / Unable to refresh orders list (%@)"}}) {
        SCOPED_TRACE(c.what);
        LoginScreen s({});
        for (const char* id : {"T1", "T2"}) s.row("Terminal", "terminalId", id)->setValue("networkName", Value());
        s.store.save();
        NetworkProbe::install(std::make_shared<FixedNetworkProbe>(c.wifi, "10.1.1.20"));
        s.server.setFault("getOrders", storesim::Fault::RefuseConnection);
        s.show();
        s.signIn("1002");
        EXPECT_EQ(s.alertText(), replaceAll(c.alert, "%@", s.server.url()));
        EXPECT_EQ(s.openedScreen(), nullptr);
    }
}

TEST(LoginScreenTest, AServerWarningWithTheOrdersDoesNotStopTheSignIn) {
    LoginScreen s({});
    s.server.setFault("getOrders", storesim::Fault::Warning, 1, std::string("Orders are being archived"));
    s.show();
    s.signIn("1002");
    ASSERT_FALSE(s.h.hasAlert()) << s.alertText();
    ASSERT_NE(s.openedScreen(), nullptr);
    EXPECT_EQ(s.openedScreen()->interfaceName(), "OrdersView");
}

TEST(LoginScreenTest, TheReceiptPrinterComesFromTheTerminalsValues) {
    LoginScreen s({});
    ManagedObjectPtr front = s.row("Terminal", "terminalId", "T1");
    s.store.addTerminalParam(front, "TS_PRINTER_TIMEOUT", std::string("7"));
    s.store.addTerminalParam(front, "TS_PRINTER_DEBUG", std::string("YES"));
    s.store.save();
    s.show();
    EXPECT_EQ(s.login->printerStream(), s.printer);
    ASSERT_TRUE(s.printerSettings);
    EXPECT_EQ(s.printerSettings->type, "escpos");
    EXPECT_EQ(s.printerSettings->url, "receipt.local:9100");
    EXPECT_EQ(s.printerSettings->timeout, 7);
    EXPECT_TRUE(s.printerSettings->debug);
    EXPECT_TRUE(tavlo::test::logged("*** Printer: EscPos"));

    struct Case {
        const char* what;
        std::optional<std::string> type, url;
        const char* logged;
    };
    const Case cases[] = {
        {"no type", std::nullopt, "receipt.local:9100", nullptr},
        {"an ESC/POS printer without an address", "escpos", "", "URL missing for ESC/POS printer"},
        {"a type without a driver", "iaps", "receipt.local:9100", "No printer driver for the type iaps"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const ManagedObjectPtr& param : front->toMany("terminalParams")) {
            if (param->text("name") == "TS_PRINTER_TYPE") param->setValue("value", c.type ? Value(*c.type) : Value());
            if (param->text("name") == "TS_PRINTER_URL") param->setValue("value", Value(*c.url));
        }
        s.store.save();
        EXPECT_EQ(ReceiptPrinters::printerFor("T1", s.store.context().get(), nullptr), nullptr);
        if (c.logged) { EXPECT_TRUE(tavlo::test::logged(c.logged)); }
    }
}

TEST(LoginScreenTest, TheCardReaderIsTheDevicesChoiceBeforeTheStores) {
    LoginScreen s({DeviceIdiom::Phone, false, {{"HH_MSR_TYPE", "accessory"}}});
    UserDefaults::standardUserDefaults().setObject(std::string("jackmag"), "msr");
    s.show();
    EXPECT_TRUE(tavlo::test::logged("*** MSR (local): jackmag"));
    UserDefaults::standardUserDefaults().removeObjectForKey("msr");
    s.login->initMSR();
    EXPECT_TRUE(tavlo::test::logged("*** MSR (configured): accessory"));
}

TEST(LoginScreenTest, AReloadIsRefusedWhileOrdersWaitAndOtherwiseReloadsTheStore) {
    LoginScreen s({DeviceIdiom::Phone, true, {}});
    s.server.setStoreDataFile(tavlo::test::fixturePath("storeload/store_full.xml"));
    // An order waits in the outgoing queue.
    ManagedObjectPtr queued = s.store->insert("OrderQueue");
    queued->setValue("type", std::string("order"));
    queued->setValue("remoteId", std::string("O-1"));
    s.store.save();
    s.show();
    s.h.tap(SystemItem::Refresh);
    EXPECT_EQ(s.alertText(), "Alert / Unable to reload, orders are pending (1)");
    s.h.clickAlert("Ok");

    s.store->deleteObject(queued);
    s.store.save();
    s.h.tap(SystemItem::Refresh);
    EXPECT_EQ(
        s.alertText(),
        "Confirmation / Reloading the whole store may take a couple of minutes. Are you sure you want to reload?");
    s.h.clickAlert("Reload");
    // The reload's thread ends with its last log line; the overlay is gone by then.
    ASSERT_TRUE(test::runUntil(s.h, [] { return tavlo::test::logged("manualReload END"); }));
    ASSERT_TRUE(
        test::runUntil(s.h, [] { return !ActivityIndicator::overlay() && !ActivityIndicator::isShowPending(); }));
    EXPECT_EQ(s.server.requestCount("getStoreData"), 1u);
    EXPECT_EQ(s.server.requestCount("getOrderData"), 1u);
}

} // namespace
} // namespace tavlo::screens

namespace tavlo::screens {
namespace {

TEST(LoginScreenStatusTest, TheSearchItemOpensTheSystemStatusAsAFormSheetOnAnEnabledTerminal) {
    LoginScreen s({});
    InterfaceRegistry::shared().addController(
        kSystemStatusInterface, [] { return std::make_shared<test::SignedInStandIn>(kSystemStatusInterface); });
    s.show();
    s.h.tap(SystemItem::Search);
    ViewController* presented = s.login->navigationController()->presentedViewController();
    ASSERT_NE(presented, nullptr);
    EXPECT_EQ(presented->modalPresentationStyle(), ModalPresentationStyle::FormSheet);
    EXPECT_EQ(s.h.visibleController().interfaceName(), kSystemStatusInterface);
    s.login->navigationController()->dismiss(false);
    s.h.runUntilIdle();

    // A terminal disabled meanwhile: told, logged, and no status screen.
    s.row("Terminal", "terminalId", "T1")->setValue("disabled", true);
    s.store.save();
    s.h.tap(SystemItem::Search);
    EXPECT_EQ(s.alertText(), "Alert / Terminal has been disabled, contact support personnel to re-enable it");
    EXPECT_TRUE(tavlo::test::logged("System status attempted on disabled terminal (UID:" +
                                    std::string(tavlo::test::LocalStoreScope::kDeviceId) + ")"));
    EXPECT_EQ(s.login->navigationController()->presentedViewController(), nullptr);
    InterfaceRegistry::shared().remove(kSystemStatusInterface);
}

} // namespace
} // namespace tavlo::screens

namespace tavlo::screens {
namespace {

TEST(ReceiptPrintersTest, TheProgramsDriverMakesANetworkPrinterAndKeepsTheCurrentOne) {
    LoginScreen s({});
    ReceiptPrinters::registerDrivers(); // in place of the fixture's recording printer
    std::shared_ptr<PrinterStream> printer = ReceiptPrinters::printerFor("T1", s.store.context().get(), nullptr);
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ(printer->type(), PrinterStream::kEscPosType);
    EXPECT_EQ(ReceiptPrinters::printerFor("T1", s.store.context().get(), printer), printer);
    // A current printer of another kind is not kept.
    s.printer->printerType = PrinterStream::kEmailType;
    EXPECT_NE(ReceiptPrinters::printerFor("T1", s.store.context().get(), s.printer), s.printer);
}

} // namespace
} // namespace tavlo::screens

namespace tavlo::screens {
namespace {

// In a network namespace of the test's own: the library's printer searches and connects at once.
void orvanPrinterOfTheTerminal() {
    ScopedScaledClock clock(10.0);
    LoginScreen s({});
    ManagedObjectPtr front = s.row("Terminal", "terminalId", "T1");
    for (const ManagedObjectPtr& param : front->toMany("terminalParams")) {
        if (param->text("name") == "TS_PRINTER_TYPE") param->setValue("value", Value(std::string("orvan")));
        if (param->text("name") == "TS_PRINTER_URL") param->setValue("value", Value(std::string("127.0.0.1")));
    }
    s.store.addTerminalParam(front, "TS_PRINTER_CONNECTION_TYPE", std::string("TCP"));
    s.store.addTerminalParam(front, "TS_PRINTER_DEBUG", std::string("YES"));
    s.store.save();
    ReceiptPrinters::registerDrivers();
    std::shared_ptr<PrinterStream> printer = ReceiptPrinters::printerFor("T1", s.store.context().get(), nullptr);
    std::shared_ptr<OrvanPrinter> orvan = OrvanPrinter::getInstance();
    ASSERT_EQ(printer, std::static_pointer_cast<PrinterStream>(orvan));
    EXPECT_EQ(printer->type(), PrinterStream::kLibraryType);
    EXPECT_EQ(orvan->url(), std::optional<std::string>("127.0.0.1"));
    EXPECT_EQ(orvan->connectionType(), std::optional<std::string>("TCP"));
    EXPECT_TRUE(orvan->debug());
    EXPECT_EQ(PrinterCardReader::make(), std::static_pointer_cast<PrinterCardReader>(orvan));
    PrinterCardReader::setMaker(nullptr);
}

TEST(ReceiptPrintersTest, TheLibrarysPrinterIsTheTerminalsAndItsCardReader) {
    tavlo::test::NamespaceRun run =
        tavlo::test::runInNetworkNamespace([] { return tavlo::test::bringLoopbackUp(); }, orvanPrinterOfTheTerminal);
    if (!run.unavailable.empty()) GTEST_SKIP() << "no network namespace of the test's own: " << run.unavailable;
    EXPECT_EQ(run.exitCode, 0) << "the printer in its namespace failed (see its output above)";
}

} // namespace
} // namespace tavlo::screens
