// The system status screen as a person uses it: what it lists in lite and gateway mode, Test
// trying every configured address on loopback at once (a listening port shown good, a closed one
// bad, the button back when the last test ended), the test prints and their refusals, the status
// report mailed and the store file sent to the support service, the pages a tap opens.
#include "RunUntil.h"
#include "SignedInTerminal.h"
#include "platform/accessory/AccessoryManager.h"
#include "platform/net/Sockets.h"
#include "platform/ui/ActivitySpinner.h"
#include "screens/status/ConnectionTests.h"
#include "screens/status/SystemStatusViewController.h"
#include "support/LoopbackListener.h"
#include "support/LoopbackPrinter.h"
#include "support/PseudoTerminalPeer.h"
#include "support/SupportServiceFake.h"
#include "support/TempHome.h"
#include "support/ui/Golden.h"
#include "sync/handlers/OrderQueue.h"
#include "sync/support/SupportService.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::SignedInTerminal;
using Screen = SystemStatusViewController;

class StatusScreenTest : public ::testing::Test {
protected:
    StatusScreenTest() { registerSystemStatusView(); }

    Screen& open(SignedInTerminal& t, std::shared_ptr<Session> session) {
        screen = std::make_shared<Screen>();
        screen->setSession(std::move(session));
        screen->setManagedObjectContext(t.store.context());
        CommHelper::setGateway(std::string("http://10.1.1.5:4444"));
        t.show(screen);
        return *screen;
    }
    // A kitchen printer, enabled, saved.
    static void addPrinter(SignedInTerminal& t, const std::string& id, const std::string& name,
                           const std::string& url) {
        ManagedObjectPtr printer = t.store->insert("Printer");
        printer->setValue("printerId", id);
        printer->setValue("name", name);
        printer->setValue("url", url);
        printer->setValue("disabled", false);
        t.store.save();
    }
    TableView& table() { return screen->tableView(); }
    int section(Screen::Section kind) {
        const auto& sections = screen->sections();
        auto found = std::find(sections.begin(), sections.end(), kind);
        if (found == sections.end()) throw ui::test::HarnessError("no such section");
        return static_cast<int>(found - sections.begin());
    }
    // The row's cell, scrolled into sight when it is out of it.
    TableViewCell& cell(Screen::Section kind, int row) {
        const IndexPath path{section(kind), row};
        table().layoutIfNeeded();
        TableViewCell* shown = table().cellForRow(path);
        if (!shown) {
            table().scrollToRow(path);
            table().layoutIfNeeded();
            shown = table().cellForRow(path);
        }
        if (!shown) throw ui::test::HarnessError("the row is not shown");
        return *shown;
    }
    std::string value(Screen::Section kind, int row) { return cell(kind, row).detailTextLabel()->text().value_or(""); }
    // A test row: "name | host | mark", the mark "…" while the spinner turns.
    std::string testRow(Screen::Section kind, int row) {
        TableViewCell& c = cell(kind, row);
        auto* host = dynamic_cast<Label*>(c.contentView().viewWithTag(Screen::kHostTag));
        auto* spinner = dynamic_cast<ActivitySpinner*>(c.contentView().viewWithTag(Screen::kSpinnerTag));
        auto* mark = dynamic_cast<Label*>(c.contentView().viewWithTag(Screen::kStatusTag));
        std::string shown = spinner->isAnimating() && mark->isHidden() ? "…" : mark->text().value_or("");
        return c.textLabel().text().value_or("") + " | " + host->text().value_or("") + " | " + shown;
    }
    // The free space differs between machines: the pictures show a fixed one.
    void fixFreeSpace() { cell(Screen::kDevice, 4).detailTextLabel()->setText(std::string("12.5 GB")); }
    void tapRow(SignedInTerminal& t, Screen::Section kind, int row) { t.h.tapRow(table(), {section(kind), row}); }

    std::shared_ptr<Screen> screen;
};

TEST_F(StatusScreenTest, LiteShowsThePendingCountAndNoTerminals) {
    SignedInTerminal t({DeviceIdiom::Tablet, true, {{"TS_PRINTER_CONNECTION_TYPE", "TCP/IP"}}});
    UserDefaults::standardUserDefaults().setObject(std::string("dockmag"), "msr");
    for (const char* id : {"Q1", "Q2"})
        OrderQueue::insert(*t.store.context(), OrderQueue::kOrder, std::string(id), std::string("U-ANN"),
                           std::string("<customerOrder/>"), Date::now());
    t.store.save();
    open(t, t.session);
    EXPECT_EQ(screen->title(), "System Status");
    EXPECT_TRUE(screen->lite());
    EXPECT_EQ(screen->sections(),
              (std::vector<Screen::Section>{Screen::kDevice, Screen::kNetwork, Screen::kHandlers, Screen::kPrinters}));
    EXPECT_EQ(table().headerTitle(2), "Handlers");
    EXPECT_EQ(value(Screen::kHandlers, 0), "pending (2)");
    EXPECT_EQ(value(Screen::kHandlers, 1), "");
    EXPECT_EQ(value(Screen::kDevice, 0), "Front");
    EXPECT_EQ(value(Screen::kDevice, 2), "dockmag");
    EXPECT_EQ(value(Screen::kDevice, 3), "Enabled");
    EXPECT_EQ(value(Screen::kNetwork, 0), "Bistro-Staff");
    EXPECT_EQ(value(Screen::kNetwork, 1), "10.1.1.20");
    EXPECT_EQ(testRow(Screen::kNetwork, 3), "Internet | not configured | ?");
    EXPECT_EQ(testRow(Screen::kPrinters, 0), "Receipt | receipt.local:9100 | ?");
    fixFreeSpace();
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "status_lite_pad"));
}

TEST_F(StatusScreenTest, EachConfiguredCardReaderShowsWhetherItIsConnectedOrWhyNot) {
    SignedInTerminal t({DeviceIdiom::Tablet, true, {}});
    tavlo::test::TempHome home;
    tavlo::test::PseudoTerminalPeer counter;
    const std::filesystem::path file = home.path() / AccessoryManager::configurationFile;
    std::ofstream(file) << "# the card readers\n"
                        << counter.devicePath().string() << " 9600 Counter com.example.reader\n"
                        << "/dev/tavlo-no-such-reader 9600 Bar com.example.reader\n"
                        << "/dev/ttyS9 fast Patio\n";
    Error unread;
    EXPECT_FALSE(AccessoryManager::shared().watchSerialAccessories(file, &unread));
    open(t, t.session);

    EXPECT_EQ(screen->sections(), (std::vector<Screen::Section>{Screen::kDevice, Screen::kAccessories, Screen::kNetwork,
                                                                Screen::kHandlers, Screen::kPrinters}));
    EXPECT_EQ(table().headerTitle(1), "Card readers");
    ASSERT_EQ(table().numberOfRows(1), 3);
    EXPECT_EQ(cell(Screen::kAccessories, 0).textLabel().text(), "accessories.conf line 4");
    EXPECT_EQ(value(Screen::kAccessories, 0), "not understood (device, speed, name, protocols)");
    EXPECT_EQ(cell(Screen::kAccessories, 1).textLabel().text(), "Counter");
    EXPECT_EQ(value(Screen::kAccessories, 1), "connected");
    EXPECT_EQ(value(Screen::kAccessories, 2), "/dev/tavlo-no-such-reader: No such file or directory");
    EXPECT_NE(screen->statusBody().find("Reader Bar (/dev/tavlo-no-such-reader): /dev/tavlo-no-such-reader: No such "
                                        "file or directory\n"),
              std::string::npos);
    ui::test::writeTestPicture(t.picture(), "status_card_readers_pad");
    AccessoryManager::shared().reset();
}

TEST_F(StatusScreenTest, TestProbesEveryConfiguredAddressAndTheButtonComesBackWhenAllHaveEnded) {
    tavlo::test::LoopbackListener kitchen, receipt;
    const int closed = tavlo::test::LoopbackListener::closedPort();
    SignedInTerminal t({DeviceIdiom::Tablet, false, {{"TS_PRINTER_CONNECTION_TYPE", "TCP/IP"}}});
    tavlo::test::SupportServiceFake support(t.store.home().path());
    t.store->fetchFirst("TerminalParam", "name == %@", std::string("TS_PRINTER_URL"))
        ->setValue("value", "127.0.0.1:" + std::to_string(receipt.port()));
    t.store.row("Terminal", "terminalId", "T1")->setValue("networkName", std::nullopt);
    t.store.row("Terminal", "terminalId", "T2")->setValue("networkName", std::string("127.0.0.1"));
    t.store.save();
    addPrinter(t, "P1", "Kitchen", "127.0.0.1:" + std::to_string(kitchen.port()));
    addPrinter(t, "P2", "Bar", "127.0.0.1:" + std::to_string(closed));
    addPrinter(t, "P3", "Pastry", ""); // the store gives it no address
    open(t, t.session);
    EXPECT_EQ(screen->sections(),
              (std::vector<Screen::Section>{Screen::kDevice, Screen::kNetwork, Screen::kPrinters, Screen::kTerminals}));
    EXPECT_EQ(table().numberOfRows(section(Screen::kPrinters)), 4); // the receipt printer and three more
    EXPECT_EQ(testRow(Screen::kTerminals, 0), "Bar | 127.0.0.1 | ?");

    t.h.tap("Test");
    // Every probe here answers at once on loopback, so they may all have ended while the tap was
    // handled; the button stays off while any runs (a probe that waits is tested below).
    EXPECT_TRUE(ConnectionTests::inFlight() == 0 || !screen->testButton()->isEnabled());
    ASSERT_TRUE(test::runUntil(t.h, [&] { return screen->testButton()->isEnabled(); }));
    EXPECT_EQ(ConnectionTests::inFlight(), 0);
    const std::string kitchenURL = "127.0.0.1:" + std::to_string(kitchen.port());
    const std::string barURL = "127.0.0.1:" + std::to_string(closed);
    EXPECT_EQ(testRow(Screen::kNetwork, 3), "Internet | " + support.host() + " | \u2713");
    EXPECT_EQ(testRow(Screen::kPrinters, 0), "Receipt | 127.0.0.1:" + std::to_string(receipt.port()) + " | \u2713");
    EXPECT_EQ(testRow(Screen::kPrinters, 1), "Bar | " + barURL + " | \u2717");
    EXPECT_EQ(testRow(Screen::kPrinters, 2), "Kitchen | " + kitchenURL + " | \u2713");
    EXPECT_EQ(testRow(Screen::kPrinters, 3), "Pastry | not configured | ?"); // never tried
    // Nothing of ours listens on the terminals' port: the test ends either way.
    const std::string terminal = testRow(Screen::kTerminals, 0);
    EXPECT_TRUE(terminal == "Bar | 127.0.0.1 | \u2713" || terminal == "Bar | 127.0.0.1 | \u2717") << terminal;
}

TEST_F(StatusScreenTest, RowsUnderTestShowTheSpinnerAndAReceiptPrinterThatIsNotTcpIsNotTested) {
    // A printer that never answers: a backlog of 0 holds one connection, the next one waits until
    // the test gives up.
    tavlo::test::LoopbackListener full(0);
    const int filler = Sockets::openTcp("127.0.0.1", full.port(), 2);
    ASSERT_GE(filler, 0);
    const std::string kitchen = "127.0.0.1:" + std::to_string(full.port());
    SignedInTerminal t({DeviceIdiom::Tablet, true, {{"TS_PRINTER_CONNECTION_TYPE", "BT"}}});
    addPrinter(t, "P1", "Kitchen", kitchen);
    open(t, t.session);
    t.h.tap("Test");
    EXPECT_FALSE(screen->testButton()->isEnabled());
    fixFreeSpace();
    table().scrollToRow({section(Screen::kPrinters), 1});
    EXPECT_EQ(testRow(Screen::kPrinters, 1), "Kitchen | " + kitchen + " | …");
    // The port differs between runs: the picture shows a fixed one.
    dynamic_cast<Label*>(cell(Screen::kPrinters, 1).contentView().viewWithTag(Screen::kHostTag))
        ->setText(std::string("127.0.0.1:9100"));
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "status_testing_pad"));
    ASSERT_TRUE(test::runUntil(t.h, [&] { return screen->testButton()->isEnabled(); }));
    EXPECT_EQ(testRow(Screen::kPrinters, 0), "Receipt | receipt.local:9100 | ?");
    EXPECT_EQ(testRow(Screen::kPrinters, 1), "Kitchen | " + kitchen + " | \u2717");
    close(filler);
}

TEST_F(StatusScreenTest, AScreenOpenedWhileAnotherOnesTestsRunCanTestOnlyOnceTheyHaveEnded) {
    tavlo::test::LoopbackListener full(0);
    const int filler = Sockets::openTcp("127.0.0.1", full.port(), 2);
    ASSERT_GE(filler, 0);
    SignedInTerminal t({DeviceIdiom::Phone, true, {}});
    addPrinter(t, "P1", "Kitchen", "127.0.0.1:" + std::to_string(full.port()));
    open(t, t.session);
    t.h.tap("Test");
    std::weak_ptr<Screen> first = screen;
    open(t, t.session); // the first one is gone, its test still waits
    EXPECT_TRUE(first.expired());
    EXPECT_EQ(ConnectionTests::inFlight(), 1);
    EXPECT_FALSE(screen->testButton()->isEnabled());
    ASSERT_TRUE(test::runUntil(t.h, [&] { return screen->testButton()->isEnabled(); }));
    EXPECT_EQ(ConnectionTests::inFlight(), 0);
    close(filler);
}

TEST_F(StatusScreenTest, WithoutASessionEveryTestPrintSaysToLogIn) {
    tavlo::test::LoopbackPrinter kitchen;
    SignedInTerminal t({DeviceIdiom::Phone, false, {{"TS_PRINTER_CONNECTION_TYPE", "TCP/IP"}}});
    addPrinter(t, "P1", "Kitchen", kitchen.url());
    open(t, nullptr);
    fixFreeSpace();
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "status_phone"));
    for (int row : {0, 1}) {
        tapRow(t, Screen::kPrinters, row);
        EXPECT_EQ(t.alertText(), "Alert / You must be logged in in order to test a printer") << row;
        t.h.clickAlert("Ok");
    }
}

TEST_F(StatusScreenTest, TestPrintsGoToTheirPrinterOrSayWhyNot) {
    tavlo::test::LoopbackPrinter kitchen;
    SignedInTerminal t({DeviceIdiom::Phone, false, {}});
    addPrinter(t, "P1", "Kitchen", kitchen.url());
    open(t, t.session);
    tapRow(t, Screen::kPrinters, 1);
    EXPECT_FALSE(t.h.hasAlert());
    std::vector<std::string> jobs = kitchen.jobs(1);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_NE(jobs[0].find("Kitchen"), std::string::npos);
    EXPECT_NE(jobs[0].find("********** TEST **********"), std::string::npos);

    // The receipt printer without a connection type.
    tapRow(t, Screen::kPrinters, 0);
    EXPECT_EQ(t.alertText(), "Alert / Unable to test printer. Connection type not supported ()");
    t.h.clickAlert("Ok");
}

TEST_F(StatusScreenTest, LiteReceiptTestPrintUsesTheSessionsPrinter) {
    SignedInTerminal t({DeviceIdiom::Phone, true, {{"TS_PRINTER_CONNECTION_TYPE", "TCP/IP"}}});
    t.session->setPrinterStream(t.printer);
    open(t, t.session);
    tapRow(t, Screen::kPrinters, 0);
    EXPECT_FALSE(t.h.hasAlert());
    ASSERT_FALSE(t.printer->calls.empty());
    EXPECT_EQ(t.printer->calls.front(), "open");
    EXPECT_NE(std::find(t.printer->calls.begin(), t.printer->calls.end(), "line (receipt.local:9100)"),
              t.printer->calls.end());
    EXPECT_EQ(t.printer->calls.back(), "close");

    t.printer->calls.clear();
    t.printer->openFailure = Error("Printer", -1, "Printer offline");
    tapRow(t, Screen::kPrinters, 0);
    EXPECT_EQ(t.alertText(), "Error / Printer offline");
    t.h.clickAlert("OK");
}

TEST_F(StatusScreenTest, TapsMailTheReportSendTheStoreFileAndOpenPages) {
    SignedInTerminal t({DeviceIdiom::Tablet, false, {}});
    tavlo::test::SupportServiceFake support(t.store.home().path());
    open(t, t.session);
    tapRow(t, Screen::kDevice, 3); // Status
    std::vector<tavlo::test::SupportServiceFake::Mail> mails = support.mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].subject, "System Status: Corner Bistro (version 1.0)");
    EXPECT_EQ(mails[0].to, SupportService::kSupportMailbox);
    EXPECT_NE(mails[0].body.find("Terminal: Front\nUID: "), std::string::npos);
    EXPECT_NE(mails[0].body.find("Status: Enabled\nReceipt: receipt.local:9100\nMSR: not configured\n"
                                 "Orders: 0 pending\nPayments: TBD\n\nSSID: Bistro-Staff\nIP: 10.1.1.20\n"
                                 "Gateway: http://10.1.1.5:4444\n"),
              std::string::npos)
        << mails[0].body;

    tapRow(t, Screen::kDevice, 0); // Terminal: the store file goes to support
    std::vector<tavlo::test::SupportServiceFake::Upload> uploads = support.uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].field("terminalId"), "T1");
    EXPECT_EQ(uploads[0].fileName(), "1_T1.sqlite");

    tapRow(t, Screen::kNetwork, 2);   // Gateway
    tapRow(t, Screen::kNetwork, 3);   // Internet
    tapRow(t, Screen::kTerminals, 1); // Bar, after this terminal
    EXPECT_EQ(
        t.h.app().openedURLs(),
        (std::vector<std::string>{"http://10.1.1.5:4444", "http://" + support.host() + "/", "http://bar.local:4444"}));
    EXPECT_EQ(value(Screen::kNetwork, 2), "10.1.1.5");
    EXPECT_FALSE(table().indexPathForSelectedRow().has_value());
}

} // namespace
} // namespace tavlo::screens
