// The administration screen as a manager uses it: its rows in both modes and for any number of
// drawers, opening and closing the store under CLOSE_STORE, the reports in the report viewer, No
// Sale, and the screens it opens by their names.
#include "AdminTerminal.h"
#include "printing/ReportGenerator.h"
#include "screens/admin/PadAdminViewController.h"

#include <algorithm>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::AdminTerminal;

using Rows = std::vector<std::string>;

TEST(AdminScreenTest, LiteModeShowsTheStoreDayTheDrawersTheServicesAndTheReports) {
    AdminTerminal t(true);
    t.openDay(true);
    t.open();

    EXPECT_EQ(t.admin->title(), "Admin");
    ASSERT_EQ(t.table().numberOfSections(), 4);
    EXPECT_EQ(t.table().headerTitle(0), "Store");
    EXPECT_EQ(t.table().headerTitle(1), "Cash Management");
    EXPECT_EQ(t.table().headerTitle(2), "Value Added Services");
    EXPECT_EQ(t.table().headerTitle(3), "Reports");
    EXPECT_EQ(t.sectionRows(0), (Rows{"Open Store", "Close Store / Closed Yesterday at 9:13 PM (Bob)"}));
    EXPECT_EQ(t.sectionRows(1),
              (Rows{"Cash In Till A / Cash drawer has not been cashed in",
                    "Cash Out Till B / Cashed in Today at 10:13 PM (Ann Marie Lee)", "Payments", "Petty Cash"}));
    EXPECT_EQ(t.sectionRows(2), (Rows{"Customers", "Clock In/Out"}));
    EXPECT_EQ(t.sectionRows(3), (Rows{"Sales Status", "Total Sales", "Cash Drawer"}));
    // The closed store greys what cannot be done now: opening is the one store action.
    t.table().scrollToRow({0, 0});
    t.h.runUntilIdle();
    auto title = [&](int row) {
        TableViewCell* cell = t.table().cellForRow({0, row});
        return cell ? dynamic_cast<Label*>(cell->viewWithTag(LiteAdminViewController::kTitleTag)) : nullptr;
    };
    ASSERT_TRUE(title(0) && title(1));
    EXPECT_EQ(title(0)->textColor(), Color::white());
    EXPECT_EQ(title(1)->textColor(), Color::lightGray());
    EXPECT_FALSE(t.h.hasAlert()) << t.alertText();
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "admin_lite_phone"));
}

TEST(AdminScreenTest, GatewayModeHasNoServicesAndAUsersRow) {
    AdminTerminal t(false);
    t.openDay();
    t.open();

    ASSERT_EQ(t.table().numberOfSections(), 3);
    EXPECT_EQ(t.table().headerTitle(2), "Reports");
    EXPECT_EQ(t.sectionRows(0), (Rows{"Open Store / Opened Today at 9:13 PM (Bob)", "Close Store"}));
    EXPECT_EQ(t.sectionRows(1), (Rows{"Cash In Till A / Cash drawer has not been cashed in",
                                      "Cash Out Till B / Cashed in Today at 10:13 PM (Ann Marie Lee)", "Users"}));
    EXPECT_EQ(t.sectionRows(2), (Rows{"Sales Status", "Total Sales", "Cash Drawer"}));
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "admin_gateway_phone"));
}

// The drawer rows: one even without a drawer, at most two; then Payments and Petty Cash in lite
// mode, the Users row in gateway mode unless user cash-outs are off.
struct RowCountCase {
    bool lite;
    int drawers;
    bool noUserCashOuts;
    Rows expected;
};

std::string caseName(const ::testing::TestParamInfo<RowCountCase>& info) {
    const RowCountCase& c = info.param;
    return std::string(c.lite ? "Lite" : "Gateway") + std::to_string(c.drawers) + "Drawers" +
           (c.noUserCashOuts ? "NoUserCashOuts" : "");
}

class AdminRowCountTest : public ::testing::TestWithParam<RowCountCase> {};

TEST_P(AdminRowCountTest, CashManagementRowsFollowTheDrawerCount) {
    const RowCountCase& c = GetParam();
    AdminTerminal t(c.lite);
    t.openDay();
    // Replace the terminal's drawers with `drawers` new ones, named in order.
    for (const ManagedObjectPtr& link : t.store->fetchAll("TerminalCashDrawer")) t.store->deleteObject(link);
    ManagedObjectPtr front = t.store.row("Terminal", "terminalId", "T1");
    for (int i = 0; i < c.drawers; ++i)
        t.store.addCashDrawer("N" + std::to_string(i), "Drawer " + std::to_string(i + 1), front, std::to_string(i + 1));
    if (c.noUserCashOuts) t.setParam("NO_USER_CASH_OUTS", "YES");
    t.open();

    Rows rows = t.sectionRows(1);
    for (std::string& row : rows) row = row.substr(0, row.find(" / "));
    EXPECT_EQ(rows, c.expected);
    // The last row of the section is the last one that answers a tap.
    EXPECT_NE(t.admin->rowAt({1, static_cast<int>(c.expected.size()) - 1}), LiteAdminViewController::Row::None);
    EXPECT_EQ(t.admin->rowAt({1, static_cast<int>(c.expected.size())}), LiteAdminViewController::Row::None);
}

INSTANTIATE_TEST_SUITE_P(
    Drawers, AdminRowCountTest,
    ::testing::Values(RowCountCase{true, 0, false, {"Cash Drawer", "Payments", "Petty Cash"}},
                      RowCountCase{true, 1, false, {"Cash In Drawer 1", "Payments", "Petty Cash"}},
                      RowCountCase{true, 2, false, {"Cash In Drawer 1", "Cash In Drawer 2", "Payments", "Petty Cash"}},
                      RowCountCase{true, 3, false, {"Cash In Drawer 1", "Cash In Drawer 2", "Payments", "Petty Cash"}},
                      RowCountCase{true, 4, false, {"Cash In Drawer 1", "Cash In Drawer 2", "Payments", "Petty Cash"}},
                      RowCountCase{false, 1, false, {"Cash In Drawer 1", "Users"}},
                      RowCountCase{false, 2, false, {"Cash In Drawer 1", "Cash In Drawer 2", "Users"}},
                      RowCountCase{false, 3, false, {"Cash In Drawer 1", "Cash In Drawer 2", "Users"}},
                      RowCountCase{false, 4, false, {"Cash In Drawer 1", "Cash In Drawer 2", "Users"}},
                      RowCountCase{false, 1, true, {"Cash In Drawer 1"}},
                      RowCountCase{false, 4, true, {"Cash In Drawer 1", "Cash In Drawer 2"}}),
    caseName);

TEST(AdminScreenTest, OpenStoreAsksFirstAndNeedsCloseStore) {
    AdminTerminal t(true);
    t.openDay(true);
    t.open();

    t.tapRow(0, 0);
    ASSERT_EQ(t.alertText(), "Confirmation / Are you sure you want to open the store?");
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (Rows{"No", "Yes"}));
    t.h.clickAlert("Yes");
    EXPECT_EQ(t.alertText(), "Alert / You do not have the required access");
    t.h.clickAlert("Ok");
    EXPECT_TRUE(t.day->calls.empty());

    t.grant("U-ANN", {"CLOSE_STORE"});
    t.tapRow(0, 0);
    t.h.clickAlert("No");
    EXPECT_TRUE(t.day->calls.empty());
    t.tapRow(0, 0);
    t.h.clickAlert("Yes");
    EXPECT_EQ(t.alertText(), "Confirmation / Store was opened");
    t.h.clickAlert("Ok");
    EXPECT_EQ(t.day->calls, (Rows{"openStore"}));
    EXPECT_EQ(t.day->userId, "U-ANN");
    // The rows read the new day.
    EXPECT_EQ(t.sectionRows(0), (Rows{"Open Store / Opened Today at 10:13 PM (Ann Marie Lee)", "Close Store"}));
}

TEST(AdminScreenTest, ClosingTheStoreInLiteModePrintsTheCloseReport) {
    AdminTerminal t(true);
    t.openDay();
    t.setParam("TS_RECEIPT_PRINTER_TRAILING_BLANK_LINES", "2");
    t.grant("U-ANN", {"CLOSE_STORE"});
    t.open();

    t.tapRow(0, 1);
    ASSERT_EQ(t.alertText(), "Confirmation / Are you sure you want to close the store?");
    t.h.clickAlert("Yes");
    EXPECT_EQ(t.alertText(), "Confirmation / Store was closed!");
    t.h.clickAlert("Ok");
    EXPECT_EQ(t.day->calls, (Rows{"pauseHandlers", "canClose", "closeStore", "resumeHandlers"}));
    const std::vector<std::string>& printed = t.printer->calls;
    ASSERT_FALSE(printed.empty());
    EXPECT_EQ(printed.front(), "open");
    EXPECT_EQ(printed.back(), "close");
    EXPECT_NE(std::find(printed.begin(), printed.end(), "line Close Store"), printed.end());
    EXPECT_NE(std::find(printed.begin(), printed.end(), "line " + std::string(ReportGenerator::kEndOfReport)),
              printed.end());
    EXPECT_EQ(t.sectionRows(0)[1], "Close Store / Closed Today at 10:13 PM (Ann Marie Lee)");

    // Closed, the row does nothing.
    t.tapRow(0, 1);
    EXPECT_FALSE(t.h.hasAlert());
}

TEST(AdminScreenTest, AClosedStoreWithoutAPrinterSaysSo) {
    AdminTerminal t(true);
    t.openDay();
    t.grant("U-ANN", {"CLOSE_STORE"});
    t.open();
    t.session->setPrinterStream(nullptr);
    t.tapRow(0, 1);
    t.h.clickAlert("Yes");
    EXPECT_EQ(t.alertText(), "Error / Store was closed but no printer configured");
}

// The longest line of the report shown.
size_t widest(const std::vector<std::string>& lines) {
    size_t width = 0;
    for (const std::string& line : lines) width = std::max(width, line.size());
    return width;
}

TEST(AdminScreenTest, ReportsOpenTheViewerAtTheirWidths) {
    AdminTerminal t(true);
    t.openDay();
    t.open();
    t.tapRow(3, 0);
    EXPECT_EQ(t.alertText(), "Alert / You do not have the required access");
    t.h.clickAlert("Ok");

    t.grant("U-ANN", {"PRINT_SALES_STATUS_REPORT", "PRINT_DAILY_REPORT", "CASH_OUT_CASH_DRAWER_VIEW"});
    // What the report generator makes at each width.
    ReportGenerator reports(t.session);
    struct Case {
        int row;
        const char* title;
        std::vector<std::string> lines;
    };
    std::vector<std::string> cashDrawer = *reports.reportCashDrawer(std::string("D1"), 53, true);
    EXPECT_EQ(widest(cashDrawer), 53u);
    std::vector<std::string> totalSales = reports.reportTotalSales(true, 42);
    for (const Case& c : {Case{0, "Sales Status", reports.reportSalesStatus(42)}, Case{1, "Total Sales", totalSales},
                          Case{2, "Cash Drawer", cashDrawer}}) {
        SCOPED_TRACE(c.title);
        t.tapRow(3, c.row);
        if (c.row == 2) {
            // Two drawers: which one?
            ASSERT_EQ(t.alertText(), "Select a drawer / ");
            EXPECT_EQ(t.h.frontAlert().buttonTitles(), (Rows{"Cancel", "Till A", "Till B"}));
            t.h.clickAlert("Till B");
        }
        ASSERT_FALSE(t.h.hasAlert()) << t.alertText();
        auto& viewer = t.h.visible<ReportViewController>();
        EXPECT_EQ(viewer.title(), c.title);
        EXPECT_TRUE(viewer.printable());
        EXPECT_EQ(viewer.lines(), c.lines);
        EXPECT_EQ(viewer.navigationController()->modalPresentationStyle(), ModalPresentationStyle::FormSheet);
        t.admin->dismiss(false);
        t.h.runUntilIdle();
    }

    // A drawer never cashed in has no report.
    t.tapRow(3, 2);
    t.h.clickAlert("Till A");
    EXPECT_EQ(t.alertText(), "Alert / Drawer has never been cashed in. We do not have a report to display");
}

TEST(AdminScreenTest, NoSaleOffersTheDrawersAndOpensTheOneChosen) {
    AdminTerminal t(true);
    t.openDay();
    t.open();
    // Dan's right is his own; Ann may open the drawer she cashed in with NO_SALE_WHEN_ASSIGNED.
    t.grant("U-ANN", {"NO_SALE_WHEN_ASSIGNED"});

    t.h.tap("No Sale");
    ASSERT_EQ(t.alertText(), "Select a drawer / ");
    EXPECT_EQ(t.h.frontAlert().tag(), LiteAdminViewController::kNoSaleDrawerTag);
    t.h.clickAlert("Till B");
    EXPECT_FALSE(t.h.hasAlert()) << t.alertText();
    ASSERT_EQ(t.ports.sender->noSales.size(), 1u);
    EXPECT_EQ(t.ports.sender->noSales[0].rowId, "D1");
    EXPECT_EQ(t.printer->calls, (Rows{"open", "drawer 2", "close"}));

    // Till A is not hers: a manager must authorise.
    t.h.tap("No Sale");
    t.h.clickAlert("Till A");
    EXPECT_EQ(t.h.visibleController().title(), "No Sale");
}

TEST(AdminScreenTest, ALiteNoSaleThatFailsSaysWhy) {
    AdminTerminal t(true);
    t.openDay();
    t.open();
    t.grant("U-ANN", {"NO_SALE_WHEN_ASSIGNED"});
    t.printer->openFailure = Error("Printer", 5, "The printer does not answer");
    t.h.tap("No Sale");
    t.h.clickAlert("Till B");
    EXPECT_EQ(t.alertText(), "Error / Unable to open drawer! (The printer does not answer)");
}

TEST(AdminScreenTest, NoSaleIsOffWithoutADrawer) {
    AdminTerminal t(false);
    t.openDay();
    for (const ManagedObjectPtr& link : t.store->fetchAll("TerminalCashDrawer")) t.store->deleteObject(link);
    t.open();
    EXPECT_EQ(t.sectionRows(1)[0], "Cash Drawer / Not configured");
    bool found = false;
    for (const auto& item : t.admin->toolbarItems())
        if (item->title() == "No Sale") {
            found = true;
            EXPECT_FALSE(item->isEnabled());
        }
    EXPECT_TRUE(found);
    t.tapRow(1, 0);
    EXPECT_EQ(t.alertText(), "Alert / No cash drawer has been configured");
}

TEST(AdminScreenTest, RowsOpenTheScreensOfOtherPartsByName) {
    AdminTerminal t(true);
    t.openDay();
    t.setParam("GRATUITY_ENABLED", "YES");
    for (const char* name :
         {AdminPaymentsScreen::kInterfaceName, "CustomersView", "AttendanceView", "SystemStatusView"})
        t.registerDouble(name);
    t.open();

    auto opened = [&](const char* name) {
        ViewController& shown = t.h.visibleController();
        EXPECT_EQ(shown.interfaceName(), name);
        EXPECT_EQ(shown.navigationController()->modalPresentationStyle(), ModalPresentationStyle::FormSheet);
        t.admin->dismiss(false);
        t.h.runUntilIdle();
    };
    t.tapRow(1, 2);
    opened(AdminPaymentsScreen::kInterfaceName);
    ASSERT_EQ(t.handed.size(), 1u);
    EXPECT_EQ(t.handed[0]->session, t.session);
    EXPECT_TRUE(t.handed[0]->gratuity.has_value());
    t.tapRow(2, 0);
    opened("CustomersView");
    t.tapRow(2, 1);
    opened("AttendanceView");
    EXPECT_EQ(t.handed.back()->session, t.session);
    t.h.tap(SystemItem::Search);
    opened("SystemStatusView");
    EXPECT_EQ(t.handed.back()->session, t.session);
    // Petty cash does nothing.
    t.tapRow(1, 3);
    EXPECT_FALSE(t.h.hasAlert());
    EXPECT_EQ(&t.h.visibleController(), t.admin.get());
}

TEST(AdminScreenTest, PaymentsWaitForTheStoreToOpen) {
    AdminTerminal t(true);
    t.openDay(true);
    t.registerDouble(AdminPaymentsScreen::kInterfaceName);
    t.open();
    t.tapRow(1, 2);
    EXPECT_EQ(t.alertText(),
              "Alert / Store is currently closed. Settled payments from a previous batch cannot be modified.");
    EXPECT_TRUE(t.handed.empty());
}

TEST(AdminScreenTest, OrdersOpensTheOrdersMainScreenOnceTheStoreIsOpen) {
    AdminTerminal t(true);
    t.openDay(true);
    t.registerDouble(kOrdersInterface);
    t.open();
    t.h.tap("Orders");
    EXPECT_EQ(t.alertText(), "Alert / Store is currently closed. A manager must open the store before taking orders.");
    t.h.clickAlert("Ok");

    t.openDay();
    t.h.tap("Orders");
    EXPECT_EQ(t.nav->topViewController()->interfaceName(), kOrdersInterface);

    // Logout signs out and goes back to the first screen.
    t.nav->pop(false);
    t.h.runUntilIdle();
    t.h.tap("Logout");
    EXPECT_FALSE(t.session->isValid());
    EXPECT_EQ(t.nav->viewControllers().size(), 1u);
}

TEST(AdminScreenTest, ThePadGetsItsPaneAndLooksTheSame) {
    AdminTerminal t(true, DeviceIdiom::Tablet);
    t.openDay();
    LiteAdminViewController& admin = t.open();
    EXPECT_NE(dynamic_cast<PadAdminViewController*>(&admin), nullptr);
    EXPECT_EQ(admin.supportedInterfaceOrientations(), OrientationMask::Landscape);
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "admin_lite_pad"));
}

} // namespace
} // namespace tavlo::screens
