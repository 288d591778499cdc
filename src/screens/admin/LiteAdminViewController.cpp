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
#include "screens/admin/PadAdminViewController.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/NoSale.h"
#include "screens/common/PadPanes.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/ScreenKit.h"

namespace tavlo::screens {

using namespace ui;

namespace {

// The administration screen may ask a manager for No Sale in both modes and records no
// authoriser for a user who may open the drawer.
const NoSale::Rules kNoSaleRules{"Select a drawer", true, false, "Unable to open drawer!"};

} // namespace

LiteAdminViewController::LiteAdminViewController() : SignedInController(kInterfaceName, TableViewStyle::Grouped) {}

LiteAdminViewController::~LiteAdminViewController() = default;

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
    setToolbarItems(
        {BarButtonItem::titled(localized("Orders"), BarButtonStyle::Done, [this](BarButtonItem&) { orders(); }),
         BarButtonItem::flexibleSpace(), BarButtonItem::withCustomView(user), BarButtonItem::flexibleSpace(),
         BarButtonItem::titled(localized("No Sale"), BarButtonStyle::Done, [this](BarButtonItem&) { noSale(); })});
}

void LiteAdminViewController::viewWillAppear(bool appearing) {
    TableViewController::viewWillAppear(appearing);
    bool drawers = session_ && session_->hasCashDrawer();
    for (const auto& item : toolbarItems())
        if (item->title() == localized("No Sale")) item->setEnabled(drawers);
    if (NavigationController* navigation = navigationController()) navigation->setToolbarHidden(false);
}

uint32_t LiteAdminViewController::supportedInterfaceOrientations() const { return idiomOrientations(); }

// ---- the bars

void LiteAdminViewController::logout() {
    if (session_) session_->invalidate();
    if (isPad()) {
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
        return alert("Alert",
                     localized("Store is currently closed. A manager must open the store before taking orders."),
                     {"Ok"});
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
    if (isPad()) {
        if (PadPanes* panes = PadPanes::current()) panes->setRootMainController(main);
    }
    if (navigation) navigation->push(main, animated());
}

void LiteAdminViewController::noSale() { NoSale::start(*this, session_, kNoSaleRules); }

// ---- rows that open other screens

void LiteAdminViewController::payments() {
    if (!session_->isStoreOpen())
        return alert("Alert",
                     localized("Store is currently closed. Settled payments from a previous batch cannot be modified."),
                     {"Ok"});
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
        if (error.isSet()) alert("Error", error.localizedDescription(), {"Ok"});
        else alert("Confirmation", localized("Store was opened"), {"Ok"});
        tableView().reloadData();
        return;
    }
    alert("Error", format("%@ (%@)", localized("Unable to open store"), error.localizedDescription()), {"Ok"});
    TAVLO_LOG("Unable to open store (%@)", error.localizedDescription());
}

void LiteAdminViewController::closeStore() {
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Closing store"));
    Error error;
    if (!session_->closeStore(&error)) {
        alert("Error", error.localizedDescription(), {"Ok"});
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
    if (message) alert("Error", *message, {"Ok"});
    else alert("Confirmation", localized("Store was closed!"), {"Ok"});
    tableView().reloadData();
    ActivityIndicator::hide();
}

// ---- questions

std::shared_ptr<AlertView> LiteAdminViewController::confirm(const std::string& message, std::function<void()> yes) {
    return showAlert(this, "Confirmation", message, {"No", {localized("Yes")}}, [yes](int button) {
        if (button == 1) yes();
    });
}

bool LiteAdminViewController::granted(Right right) {
    if (session()->isGranted(right)) return true;
    alert("Alert", localized("You do not have the required access"), {"Ok"});
    return false;
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
        if (SignedInBase::isPad()) return std::make_shared<PadAdminViewController>();
        return std::make_shared<LiteAdminViewController>();
    });
}

} // namespace tavlo::screens
