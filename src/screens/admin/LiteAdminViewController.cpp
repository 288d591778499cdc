#include "screens/admin/LiteAdminViewController.h"

#include "core/ports/PrinterStream.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "printing/ReceiptHelper.h"
#include "printing/ReportGenerator.h"
#include "screens/admin/AdminAlerts.h"
#include "screens/admin/PadAdminViewController.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/NoSale.h"
#include "screens/common/PadPanes.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/ScreenKit.h"

namespace tavlo::screens {

using namespace ui;
using admin::alert;

namespace {

bool onPad() {
    Application* app = Application::current();
    return app && app->device().isTablet();
}

// The administration screen may ask a manager for No Sale in both modes and records no
// authoriser for a user who may open the drawer.
const NoSale::Rules kNoSaleRules{"Select a drawer", true, false, "Unable to open drawer!"};

} // namespace

LiteAdminViewController::LiteAdminViewController() : TableViewController(kInterfaceName, TableViewStyle::Grouped) {}

LiteAdminViewController::~LiteAdminViewController() = default;

ObjectContext* LiteAdminViewController::context() const { return contextOf(session_.get()); }

bool LiteAdminViewController::animated() const { return session_ && session_->useAnimation(); }

int LiteAdminViewController::trailingBlankLines() const {
    return Parameters::number(Parameter::ReceiptTrailingBlankLines, context());
}

std::shared_ptr<ViewController> LiteAdminViewController::instantiate(const char* name) {
    if (!InterfaceRegistry::shared().containsController(name)) {
        TAVLO_LOG("No screen is registered under %@", std::string(name));
        return nullptr;
    }
    return InterfaceRegistry::shared().instantiate(name);
}

void LiteAdminViewController::presentModal(std::shared_ptr<ViewController> screen) {
    auto navigation = std::make_shared<NavigationController>(std::move(screen));
    navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    present(navigation, animated());
}

void LiteAdminViewController::loadView(std::shared_ptr<ViewController> controller) {
    if (!controller) return;
    if (NavigationController* navigation = navigationController()) navigation->push(std::move(controller), animated());
}

// ---- set-up

void LiteAdminViewController::viewDidLoad() {
    TableViewController::viewDidLoad();
    setTitle(localized("Admin"));
    view()->setBackgroundColor(Color::white());
    reportGenerator_ = std::make_unique<ReportGenerator>(session_);
    buildBars();
    warnOfPortraitPad();
}

void LiteAdminViewController::buildBars() {
    navigationItem().setHidesBackButton(true);
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Logout"), BarButtonStyle::Done, [this](BarButtonItem&) { logout(); }));
    navigationItem().setRightBarButtonItem(
        BarButtonItem::system(SystemItem::Search, [this](BarButtonItem&) { systemStatus(); }));
    auto user = kit::barLabel(140, session_ ? session_->userName() : std::nullopt);
    setToolbarItems({BarButtonItem::titled(localized("Orders"), BarButtonStyle::Done, [this](BarButtonItem&) { orders(); }),
                     BarButtonItem::flexibleSpace(), BarButtonItem::withCustomView(user),
                     BarButtonItem::flexibleSpace(),
                     BarButtonItem::titled(localized("No Sale"), BarButtonStyle::Done,
                                           [this](BarButtonItem&) { noSale(); })});
}

void LiteAdminViewController::viewWillAppear(bool appearing) {
    TableViewController::viewWillAppear(appearing);
    bool drawers = session_ && session_->hasCashDrawer();
    for (const auto& item : toolbarItems())
        if (item->title() == localized("No Sale")) item->setEnabled(drawers);
    if (NavigationController* navigation = navigationController()) navigation->setToolbarHidden(false);
}

uint32_t LiteAdminViewController::supportedInterfaceOrientations() const {
    return onPad() ? OrientationMask::Landscape : OrientationMask::Portrait;
}

// ---- the bars

void LiteAdminViewController::logout() {
    if (session_) session_->invalidate();
    if (onPad()) {
        PadPanes* panes = PadPanes::current();
        if (!panes || !panes->logoutFromRoot()) TAVLO_LOG("No root pane brings the sign-in back");
        return;
    }
    if (NavigationController* navigation = navigationController()) navigation->popToRoot(animated());
}

void LiteAdminViewController::systemStatus() {
    std::shared_ptr<ViewController> screen = instantiate(kSystemStatusInterface);
    if (!screen) return;
    if (auto* status = dynamic_cast<SessionScreen*>(screen.get())) status->setSession(session_);
    presentModal(screen);
}

void LiteAdminViewController::orders() {
    if (!session_ || !session_->isStoreOpen())
        return alert("Alert", localized("Store is currently closed. A manager must open the store before taking orders."));
    loadView(nullptr);
    NavigationController* navigation = navigationController();
    if (!root_) {
        if (navigation) navigation->pop(animated());
        return;
    }
    std::shared_ptr<ViewController> main = instantiate(kOrdersInterface);
    if (!main) return;
    if (auto* screen = dynamic_cast<OrdersMainScreen*>(main.get())) {
        screen->setSession(session_);
        screen->setRoot(false);
        screen->setUpdateOnAppear(false);
        std::optional<std::string> onExit = Parameters::text(Parameter::UpdateOrdersOnExit, context());
        screen->setUpdateOnExit(!onExit || boolValue(*onExit));
    }
    if (onPad()) {
        if (PadPanes* panes = PadPanes::current()) panes->setRootMainController(main);
    }
    if (navigation) navigation->push(main, animated());
}

void LiteAdminViewController::noSale() { NoSale::start(*this, session_, kNoSaleRules); }

// ---- rows that open other screens

void LiteAdminViewController::payments() {
    if (!session_->isStoreOpen())
        return alert("Alert",
                     localized("Store is currently closed. Settled payments from a previous batch cannot be modified."));
    std::shared_ptr<ViewController> screen = instantiate(AdminPaymentsScreen::kInterfaceName);
    if (!screen) return;
    if (auto* list = dynamic_cast<AdminPaymentsScreen*>(screen.get())) {
        list->setShowGratuity(session_->isUsingGratuity());
        list->setSession(session_);
    }
    presentModal(screen);
}

void LiteAdminViewController::customers() {
    std::shared_ptr<ViewController> screen = instantiate(CustomerPicker::kInterfaceName);
    if (!screen) return;
    if (auto* list = dynamic_cast<CustomerPicker*>(screen.get())) list->setSession(session_.get());
    presentModal(screen);
}

void LiteAdminViewController::attendance() {
    std::shared_ptr<ViewController> screen = instantiate(kAttendanceInterface);
    if (!screen) return;
    if (auto* clock = dynamic_cast<SessionScreen*>(screen.get())) clock->setSession(session_);
    presentModal(screen);
}

// ---- the store's day

void LiteAdminViewController::openStore() {
    Error error;
    if (session_->openStore(&error)) {
        if (error.isSet()) alert("Error", error.localizedDescription());
        else alert("Confirmation", localized("Store was opened"));
        tableView().reloadData();
        return;
    }
    alert("Error", format("%@ (%@)", localized("Unable to open store"), error.localizedDescription()));
    TAVLO_LOG("Unable to open store (%@)", error.localizedDescription());
}

void LiteAdminViewController::closeStore() {
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Closing store"));
    Error error;
    if (!session_->closeStore(&error)) {
        alert("Error", error.localizedDescription());
        ActivityIndicator::hide();
        return;
    }
    std::optional<std::string> message;
    if (session_->isLite()) {
        ReportGenerator::Lines lines = reportGenerator_->reportTotalSales(false, kReportWidth);
        std::shared_ptr<PrinterStream> printer = session_->printerStream();
        if (!printer) {
            message = localized("Store was closed but no printer configured");
        } else if (!printer->open(nullptr)) {
            message = localized("Store was closed but unable to connect to printer");
        } else {
            ReceiptHelper::printReport(localized("Close Store"), session_->storeName(), session_->userName(), lines,
                                       trailingBlankLines(), nullptr, *printer);
            printer->close();
        }
    }
    if (message) alert("Error", *message);
    else alert("Confirmation", localized("Store was closed!"));
    tableView().reloadData();
    ActivityIndicator::hide();
}

// ---- alert answers

void LiteAdminViewController::alertViewClicked(AlertView& shown, int button) {
    size_t drawers = session_ ? session_->cashDrawerIds().size() : 0;
    auto granted = [&](Right right) {
        if (session_->isGranted(right)) return true;
        alert("Alert", localized("You do not have the required access"));
        return false;
    };
    switch (shown.tag()) {
    case kUserDrawerTag: return answerUserDrawer(button);
    case kUserTag: return answerUser(button);
    case kCashInDrawer1Tag:
        if (button == 1 && drawers >= 2) amountPrompt(localized("Cash In"), &LiteAdminViewController::cashIn, *drawerAt(1));
        return;
    case kCashOutDrawer1Tag:
        if (button == 1 && drawers >= 2) preCashOutCD(*drawerAt(1));
        return;
    case kCashInDrawer0Tag:
        if (button == 1 && drawers >= 1) amountPrompt(localized("Cash In"), &LiteAdminViewController::cashIn, *drawerAt(0));
        return;
    case kCashOutDrawer0Tag:
        if (button == 1 && drawers >= 1) preCashOutCD(*drawerAt(0));
        return;
    case kCloseStoreTag:
        if (button == 1 && granted(Right::CloseStore)) closeStore();
        return;
    case kOpenStoreTag:
        if (button == 1 && granted(Right::CloseStore)) openStore();
        return;
    default: return;
    }
}

// ---- registration

void registerAdminScreens() {
    InterfaceRegistry& registry = InterfaceRegistry::shared();
    registry.add(LiteAdminViewController::kInterfaceName, [](ViewController&) {
        Application* app = Application::current();
        Rect frame = app ? app->window().bounds() : Rect(0, 0, 320, 480);
        auto table = std::make_shared<TableView>(frame, TableViewStyle::Grouped);
        table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        return std::static_pointer_cast<View>(table);
    });
    registry.addController(LiteAdminViewController::kInterfaceName, []() -> std::shared_ptr<ViewController> {
        if (onPad()) return std::make_shared<PadAdminViewController>();
        return std::make_shared<LiteAdminViewController>();
    });
}

} // namespace tavlo::screens
