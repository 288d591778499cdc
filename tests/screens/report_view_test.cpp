// The report viewer, driven through the harness: the report on screen, Back, and Print to the
// receipt printer in lite mode or through the store server in gateway mode.
#include "StoreServer.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/reports/ReportViewController.h"
#include "support/GoldenText.h"
#include "support/RecordingPrinterStream.h"
#include "support/StoreFixture.h"
#include "support/TimeZoneScope.h"
#include "support/ui/Golden.h"
#include "support/ui/Harness.h"
#include "sync/exchange/CommHelper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace tavlo::screens {
namespace {

using namespace ui;

const std::vector<std::string> kReport = {
    "--- SALES STATUS REPORT ---",
    "",
    "FROM: Today at 10:13 AM",
    "TO: Today at 3:40 PM",
    "",
    "GROSS SALES TOTAL                 $1204.50",
    "                        State       $91.80",
    "                            --------------",
    "NET SALES TOTAL                   $1112.70",
    "",
    "------ END OF REPORT ------",
};

// A screen of plain paper that presents the viewer as the administration screen does.
class AdminStandIn : public ViewController {
public:
    void loadView() override {
        auto root = std::make_shared<View>(Rect(0, 0, 1024, 768));
        root->setBackgroundColor(Color::white());
        root->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        setView(root);
    }
};

class ReportViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerReportView();
        store.buildSmallStore();
        store.save();
    }
    void TearDown() override {
        ActivityIndicator::hide();
        h.runUntilIdle();
    }

    void setConfig(const std::string& name, const std::string& value) {
        DBHelper::saveStoreParam(name, value, store.context().get());
        store.save();
    }
    std::shared_ptr<Session> session() {
        auto s = std::make_shared<Session>(store.context().get());
        s->setUserId("U-ANN");
        s->setUserName(std::string("Ann Marie Lee"));
        s->setStoreId("1");
        s->setPassword("secret");
        s->setTerminalId("T1");
        return s;
    }
    // The viewer made by its interface name, in a navigation controller presented as a form sheet.
    ReportViewController& present(std::shared_ptr<Session> s, bool printable,
                                  std::vector<std::string> lines = kReport) {
        auto viewer = std::dynamic_pointer_cast<ReportViewController>(
            InterfaceRegistry::shared().instantiate(ReportViewController::kInterfaceName));
        viewer->setSession(std::move(s));
        viewer->setTitle(std::string("Sales Status"));
        viewer->setPrintable(printable);
        viewer->setLines(std::move(lines));
        auto nav = std::make_shared<NavigationController>(viewer);
        nav->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
        h.show(admin);
        admin->present(nav, false);
        h.runUntilIdle();
        return h.visible<ReportViewController>();
    }
    BarButtonItem& printButton(ReportViewController& viewer) { return *viewer.navigationItem().rightBarButtonItem(); }

    tavlo::test::TimeZoneScope zone{"UTC"};
    tavlo::test::StoreFixture store;
    ui::test::Harness h{DeviceIdiom::Tablet};
    std::shared_ptr<AdminStandIn> admin = std::make_shared<AdminStandIn>();
};

TEST_F(ReportViewTest, ShowsTheReportAndGoesBack) {
    ReportViewController& viewer = present(session(), true);
    ASSERT_TRUE(viewer.body());
    EXPECT_EQ(viewer.body()->text(), tavlo::test::joinLines(kReport));
    EXPECT_FALSE(viewer.body()->isEditable());
    EXPECT_EQ(viewer.body()->font().pointSize(), 16);
    EXPECT_TRUE(printButton(viewer).isEnabled());
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(h.window(), h.window().bounds().size), "report_view_pad"));

    h.tap("Back");
    h.runUntilIdle();
    EXPECT_EQ(admin->presentedViewController(), nullptr);
}

// The close report of the report tests' day, as the printing tests keep it.
std::vector<std::string> closeReport() {
    std::ifstream in(std::string(TAVLO_FIXTURES_DIR) + "/reports/close_report.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST_F(ReportViewTest, TheCloseReportOnThePhone) {
    ui::test::Harness phone{DeviceIdiom::Phone};
    auto viewer = std::make_shared<ReportViewController>();
    viewer->setSession(session());
    viewer->setTitle(std::string("Total Sales"));
    viewer->setPrintable(true);
    viewer->setLines(closeReport());
    ASSERT_GT(viewer->lines().size(), 100u);
    phone.show(std::make_shared<NavigationController>(viewer));
    EXPECT_EQ(viewer->body()->font().pointSize(), 8);
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(phone.window(), phone.window().bounds().size),
                                        "report_view_close_phone"));
}

TEST_F(ReportViewTest, WithoutThePrintRightPrintIsOffAndAnEmptyReportIsEmpty) {
    ReportViewController& viewer = present(session(), false, {});
    EXPECT_FALSE(printButton(viewer).isEnabled());
    EXPECT_EQ(viewer.body()->text(), "");
}

TEST_F(ReportViewTest, LitePrintGoesToTheReceiptPrinter) {
    setConfig("TAVLO_LITE", "YES");
    auto s = session();
    auto printer = std::make_shared<tavlo::test::RecordingPrinterStream>();
    s->setPrinterStream(printer);
    present(s, true);
    h.tap("Print");
    h.runUntilIdle();
    EXPECT_FALSE(h.hasAlert());
    EXPECT_EQ(ActivityIndicator::overlay(), nullptr);
    const std::vector<std::string>& calls = printer->calls;
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls.front(), "open");
    EXPECT_NE(std::find(calls.begin(), calls.end(), "line Sales Status"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "line By: Ann Marie Lee"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "line " + kReport[5]), calls.end());
    // No trailing blank lines configured: the feed is the usual three.
    EXPECT_EQ(calls[calls.size() - 2], "feed 3 cut");
    EXPECT_EQ(calls.back(), "close");
}

TEST_F(ReportViewTest, LitePrintFailuresAreShown) {
    setConfig("TAVLO_LITE", "YES");
    present(session(), true);
    h.tap("Print");
    ASSERT_TRUE(h.hasAlert());
    EXPECT_EQ(h.frontAlert().title(), "Alert");
    EXPECT_EQ(h.frontAlert().message(), "No printer configured");
    h.clickAlert("OK");

    auto s = session();
    auto printer = std::make_shared<tavlo::test::RecordingPrinterStream>();
    printer->openFailure = Error("test", -1, "Printer is offline");
    s->setPrinterStream(printer);
    h.visible<ReportViewController>().setSession(s);
    h.tap("Print");
    ASSERT_TRUE(h.hasAlert());
    EXPECT_EQ(h.frontAlert().title(), "Error");
    EXPECT_EQ(h.frontAlert().message(), "Printer is offline");
    EXPECT_EQ(printer->calls, std::vector<std::string>{"open"});
}

TEST_F(ReportViewTest, GatewayPrintIsAPrintRequestToTheServer) {
    storesim::StoreServer server{storesim::StoreServer::Options{"1", "secret", 5}};
    server.start();
    CommHelper::setGateway(server.url());
    // The request goes out on the terminal's own credentials.
    UserDefaults::standardUserDefaults().setObject(std::string("1"), "store_id");
    UserDefaults::standardUserDefaults().setObject(std::string("secret"), "password");
    present(session(), true);
    h.tap("Print");
    h.runUntilIdle();
    ASSERT_FALSE(h.hasAlert()) << h.frontAlert().message().value_or("");
    ASSERT_EQ(server.requestCount("print"), 1u);
    const std::string body = server.requests().back().body;
    EXPECT_NE(body.find("receipt.local:9100"), std::string::npos);
    EXPECT_NE(body.find("<line>GROSS SALES TOTAL                 $1204.50</line>"), std::string::npos);

    server.setFault("print", storesim::Fault::ErrorElement, 0, std::string("Printer not found"));
    h.tap("Print");
    ASSERT_TRUE(h.hasAlert());
    EXPECT_EQ(h.frontAlert().title(), "Error");
    EXPECT_NE(h.frontAlert().message().value_or("").find("Printer not found"), std::string::npos);
    h.clickAlert("OK");

    // A terminal without a printer address has nothing to print on.
    for (const ManagedObjectPtr& param : store->fetch("TerminalParam", "name == %@", std::string("TS_PRINTER_URL")))
        store->deleteObject(param);
    store.save();
    h.tap("Print");
    ASSERT_TRUE(h.hasAlert());
    EXPECT_EQ(h.frontAlert().title(), "Error");
    EXPECT_EQ(h.frontAlert().message(), "No printer configured");
    EXPECT_EQ(server.requestCount("print"), 2u);
    h.clickAlert("OK");
    server.stop();
    CommHelper::setGateway(std::nullopt);
}

} // namespace
} // namespace tavlo::screens
