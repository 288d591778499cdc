#pragma once

#include "core/records/CashInOut.h"
#include "core/session/Rights.h"
#include "platform/store/ManagedObject.h"
#include "platform/ui/TableViewController.h"
#include "screens/common/NoSale.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/SignedInController.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class ObjectContext;
class ReportGenerator;
} // namespace tavlo

namespace tavlo::screens {

// The manager's screen at the start and end of the day ("LiteAdminView"): open and close the
// store, cash the terminal's first two drawers in and out, the day's payments, petty cash, user
// cash-outs (gateway mode), customers and the time clock (lite mode), the three text reports, No
// Sale, the system status screen, the orders main screen and signing out. Every row reads the
// session and the local store when it is drawn or tapped. The screens it opens by their names
// are presented in a navigation of their own as form sheets.
class LiteAdminViewController : public SignedInController<ui::TableViewController, SignedInScreen> {
public:
    static constexpr const char* kInterfaceName = kAdminInterface;
    // Name alerts for those who look for them (their answers are closures): No Sale's drawer
    // choice and the confirmations of cash in and out of each drawer.
    static constexpr int kNoSaleDrawerTag = NoSale::kDrawerAlertTag;
    static constexpr int kCashInDrawer1Tag = 94, kCashOutDrawer1Tag = 95, kCashInDrawer0Tag = 96,
                         kCashOutDrawer0Tag = 97;
    // The labels of a two-line row.
    static constexpr int kTitleTag = 1;
    static constexpr int kDetailTag = 2;
    // Report widths: the cash drawer report is wider than the others.
    static constexpr int kReportWidth = 42;
    static constexpr int kCashDrawerReportWidth = 53;

    // What a row of the table does.
    enum class Row {
        None,
        OpenStore,
        CloseStore,
        NoDrawer,
        Drawer0,
        Drawer1,
        Payments,
        PettyCash,
        Users,
        Customers,
        ClockInOut,
        SalesStatus,
        TotalSales,
        CashDrawerReport,
    };

    LiteAdminViewController();
    ~LiteAdminViewController() override;

    bool isRoot() const { return root_; }
    void setRoot(bool root) override { root_ = root; }
    // The users (later the one chosen) and the drawers a user cash-out offers; empty outside it.
    const std::vector<std::string>& offeredUsers() const { return cashOutUsers_; }
    const std::vector<std::string>& offeredDrawers() const { return cashDrawers_; }

    // Shows a screen this one leads to: pushed on this screen's navigation; null does nothing.
    // The pad's pane shows it in the detail pane instead.
    using TableViewController::loadView;
    virtual void loadView(std::shared_ptr<ui::ViewController> controller);

    // ---- the table (LiteAdminTable.cpp)
    Row rowAt(ui::IndexPath path);

    // ---- the drawer records (LiteAdminCashRecords.cpp)
    // Fills the record's summaries from the payments; answers the cash total.
    int32_t getSummaries(CashInOut& record, const std::vector<ManagedObjectPtr>& payments);
    // "100" -> the whole units, "1" -> the cents left (only when there are any).
    static CashInOut::BreakDown breakDown(int32_t cents);

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    uint32_t supportedInterfaceOrientations() const override;

    int numberOfSections(ui::TableView&) override;
    int numberOfRows(ui::TableView&, int section) override;
    std::optional<std::string> titleForHeader(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;

protected:
    int trailingBlankLines() const;
    // Wrapped in a navigation, as a form sheet.
    void presentModal(std::shared_ptr<ui::ViewController> screen);
    // The screen registered under the name; none (logged) while nothing is.
    static std::shared_ptr<ui::ViewController> instantiate(const char* name);
    // The drawer of the terminal at that place (the first or second row); none when it has fewer.
    std::optional<std::string> drawerAt(size_t index);

private:
    // ---- the bars' and rows' actions
    void logout();
    void systemStatus();
    void orders();
    void noSale();
    void openStore();
    void closeStore();
    void payments();
    void customers();
    void attendance();

    // ---- reports (LiteAdminReports.cpp)
    void reportSalesStatus();
    void reportTotalSales();
    void reportCashDrawer(const std::string& drawerId);

    // ---- cash in and out (LiteAdminCashInOut.cpp)
    // The amount prompt; `answer` gets the text (nil: cancelled) and the drawer.
    using AmountAnswer = void (LiteAdminViewController::*)(const std::optional<std::string>& text,
                                                           const std::string& drawerId);
    void cashIn(const std::optional<std::string>& text, const std::string& drawerId);
    void cashOut(const std::optional<std::string>& text, const std::string& drawerId);

    void processSelect(ui::IndexPath path);
    bool canCashIn(const std::string& drawerId, Error* error);
    bool canCashOut(const std::string& drawerId, Error* error);
    bool ordersOpen();
    void amountPrompt(const std::string& title, AmountAnswer answer, const std::string& drawerId);
    // Keeps the cash in the gateway took as the drawer's open record here.
    void keepGatewayCashIn(int32_t cents, const std::string& drawerId);
    void preCashOutCD(const std::string& drawerId);
    CashInOut cashInObject(int32_t cents, const std::string& drawerId);
    CashInOut cashOutObject(int32_t cents, const std::string& drawerId);
    static PaymentTypeSummary typeSummary(const std::string& label, const std::vector<ManagedObjectPtr>& payments);
    static PaymentTypeSummary nonCashSummary(const std::vector<ManagedObjectPtr>& payments);
    void cashOutUsers();
    void cashOutUser(const std::string& userId, const std::optional<std::string>& drawerId);
    void buildBars();
    void drawerAction(size_t index);
    void showDrawerRow(ui::TableViewCell& cell, const std::optional<std::string>& drawerId);
    void showStoreRow(ui::TableViewCell& cell, bool openRow);
    // "Confirmation" with the message, "No" and "Yes"; `yes` runs on "Yes".
    std::shared_ptr<ui::AlertView> confirm(const std::string& message, std::function<void()> yes);
    // The signed-in user has the right, else is told so.
    bool granted(Right right);
    void answerUser(int buttonIndex);
    void answerUserDrawer(int buttonIndex);
    // Prints the drawer report under `title` after a cash in or out; the message to show when it
    // did not print.
    std::optional<std::string> printDrawerReport(const std::string& drawerId, const std::string& title, bool payments,
                                                 const char* noPrinter, const char* notOpened);
    // Kicks the drawer open on the receipt printer; says so when the printer does not open.
    void kickDrawer(const std::string& drawerId);

    bool root_ = false;
    std::unique_ptr<ReportGenerator> reportGenerator_;
    std::vector<std::string> cashOutUsers_;
    std::vector<std::string> cashDrawers_;
};

// Registers the administration screen under "LiteAdminView": the pad's pane on a tablet.
void registerAdminScreens();

} // namespace tavlo::screens
