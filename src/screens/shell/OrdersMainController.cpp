#include "screens/shell/OrdersMainController.h"

#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/NoSale.h"
#include "screens/common/PadPanes.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/ScreenKit.h"
#include "screens/shell/AlertHandlerLocationOrders.h"
#include "screens/shell/AreaListViewController.h"
#include "screens/shell/OrdersClosedViewController.h"
#include "screens/shell/RootViewController.h"
#include "screens/shell/TavloMobileAppDelegate.h"
#include "sync/exchange/CommHelper.h"

namespace tavlo::screens {

using namespace ui;

namespace {

// The pad's root pane, which opens the order screens and signs out there; none on the phone.
std::shared_ptr<RootViewController> padRootPane() {
    if (!SignedInBase::isPad()) return nullptr;
    TavloMobileAppDelegate* delegate = TavloMobileAppDelegate::current();
    return delegate ? delegate->rootViewController() : nullptr;
}

Rect windowFrame() {
    Application* app = Application::current();
    return app ? app->window().bounds() : Rect(0, 0, 320, 480);
}

// The screen registered under the name; none, with a log line, while nothing is registered there.
std::shared_ptr<ViewController> instantiate(const char* name) {
    if (!InterfaceRegistry::shared().containsController(name)) {
        TAVLO_LOG("No screen is registered under %@", std::string(name));
        return nullptr;
    }
    return InterfaceRegistry::shared().instantiate(name);
}

void alertNoAccess(const char* button) {
    showAlert(nullptr, "Alert", localized("You do not have the required access"), {button});
}

void alertStoreClosed(const char* button) {
    showAlert(nullptr, "Alert",
              localized("Store is currently closed. A manager must open the store before taking orders."), {button});
}

} // namespace

OrdersMainController::OrdersMainController() : SignedInController(kInterfaceName) {}

OrdersMainController::~OrdersMainController() = default;

bool OrdersMainController::isTerminalDisabled(ObjectContext* context) {
    if (!context) return true;
    ObjectContext::ReadScope read(*context); // the device's parameter and its terminal: one lock of the file
    ManagedObjectPtr terminal = DBHelper::getTerminal(IDBroker::deviceIdentifier(), context);
    return !terminal || terminal->boolean("disabled");
}

void OrdersMainController::alertTerminalDisabled(const char* title) {
    showAlert(nullptr, title, localized("Terminal has been disabled, contact support personnel to re-enable it"),
              {"Ok"});
}

void OrdersMainController::alertWiFiDisconnected() {
    showAlert(nullptr, "Alert", localized("WiFi Disconnected! Make sure you are within the WiFi area of the store"),
              {"Ok"});
}

template <typename Call> void OrdersMainController::withoutLayout(Call call) {
    bool shown = showLayout_;
    showLayout_ = false;
    call();
    showLayout_ = shown;
}

// ---- furniture

std::vector<std::shared_ptr<OrdersOpenViewController>> OrdersMainController::segmentedViewControllerContent() {
    auto self = this;
    auto make = [self](std::shared_ptr<OrdersOpenViewController> list, const std::string& title, bool root) {
        list->setTitle(title);
        list->setSession(self->session_);
        list->setMainViewController(self);
        list->setUpdateOnAppear(false);
        list->setRoot(root);
        return list;
    };
    std::vector<std::shared_ptr<OrdersOpenViewController>> lists;
    lists.push_back(make(std::make_shared<OrdersOpenViewController>(), localized("Open"), false));
    lists.back()->setUpdateOnExit(updateOnExit_);
    if (Parameters::flag(Parameter::ModuleTableLayout, context())) {
        bool lite = session_ && session_->isLite();
        lists.push_back(make(std::make_shared<AreaListViewController>(), localized(lite ? "Tables" : "Areas"), true));
        lists.back()->setUpdateOnExit(updateOnExit_);
    }
    lists.push_back(make(std::make_shared<OrdersClosedViewController>(), localized("Closed"), true));
    return lists;
}

void OrdersMainController::viewDidLoad() {
    // The settings and the terminal's drawers the furniture follows, in one read of the file.
    std::optional<ObjectContext::ReadScope> read;
    if (context()) read.emplace(*context());
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Logout"), BarButtonStyle::Done, [this](BarButtonItem&) { logout(); }));
    navigationItem().setRightBarButtonItem(
        BarButtonItem::system(SystemItem::Add, [this](BarButtonItem&) { quickSale(); }));
    lists_ = segmentedViewControllerContent();
    std::vector<std::string> titles;
    for (const auto& list : lists_) titles.push_back(list->title().value_or(""));
    segmentedControl_ = std::make_shared<SegmentedControl>(titles, Rect(0, 0, 64.0 * titles.size(), 30));
    segmentedControl_->setStyle(SegmentedControlStyle::Bar);
    segmentedControl_->setSelectedSegmentIndex(0);
    segmentedControl_->addTarget([this](Control&) { didChangeForSegmentedControl(); }, ControlEvent::ValueChanged);
    navigationItem().setTitleView(segmentedControl_);
    buildToolbar();
    warnOfPortraitPad();
}

void OrdersMainController::buildToolbar() {
    auto user = kit::barLabel(140, session_ ? session_->userName() : std::nullopt);
    auto userItem = BarButtonItem::withCustomView(user);
    auto space = [] { return BarButtonItem::flexibleSpace(); };
    auto noSaleItem = [this](BarButtonStyle style) {
        return BarButtonItem::titled(localized("No Sale"), style, [this](BarButtonItem&) { noSale(); });
    };
    auto status = BarButtonItem::system(SystemItem::Search, [this](BarButtonItem&) { systemStatus(); });
    if ((session_ && session_->isLite()) || Parameters::flag(Parameter::AllowAdmin, context())) {
        auto adminItem =
            BarButtonItem::titled(localized("Admin"), BarButtonStyle::Done, [this](BarButtonItem&) { admin(); });
        setToolbarItems({adminItem, space(), userItem, space(), noSaleItem(BarButtonStyle::Done)});
    } else if (session_ && session_->hasCashDrawer()) {
        setToolbarItems({status, space(), userItem, space(), space(), noSaleItem(BarButtonStyle::Plain)});
    } else {
        setToolbarItems({status, space(), userItem, space(),
                         BarButtonItem::system(SystemItem::Refresh, [this](BarButtonItem&) { refresh(); })});
    }
}

uint32_t OrdersMainController::supportedInterfaceOrientations() const { return idiomOrientations(); }

// ---- life cycle

void OrdersMainController::viewWillAppear(bool) {
    if (NavigationController* navigation = navigationController()) navigation->setToolbarHidden(false);
}

void OrdersMainController::viewDidAppear(bool) {
    inOrder_ = false;
    {
        // The list's terminal checks, settings and rows as it refreshes and appears.
        auto read = localReads(session_.get(), context());
        if (session_ && session_->isValid()) {
            if (updateOnAppear_) {
                refresh();
                for (const auto& list : lists_) list->setUpdateOnAppear(true);
            } else {
                updateOnAppear_ = true;
            }
        }
        didChangeForSegmentedControl();
    }
    if (showLayout_) showTableLayout(false);
}

void OrdersMainController::viewDidDisappear(bool) {
    for (const auto& list : lists_) list->setUpdateOnAppear(false);
}

void OrdersMainController::didChangeForSegmentedControl() {
    int index = segmentedControl_ ? segmentedControl_->selectedSegmentIndex() : -1;
    if (index < 0 || index >= static_cast<int>(lists_.size())) return;
    std::shared_ptr<OrdersOpenViewController> chosen = lists_[index];
    if (chosen == active_ && chosen->isViewLoaded() && chosen->view()->superview()) return;
    // The lists are this screen's children: they come into and go out of view with it.
    bool onScreen = isOnScreen();
    if (active_ && active_->isViewLoaded()) {
        if (onScreen) active_->beginAppearanceTransition(false, false);
        active_->view()->removeFromSuperview();
        if (onScreen) active_->endAppearanceTransition();
    }
    active_ = chosen;
    std::shared_ptr<View> shown = active_->view();
    shown->setFrame(view()->bounds());
    shown->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    if (onScreen) active_->beginAppearanceTransition(true, false);
    view()->addSubview(shown);
    if (onScreen) active_->endAppearanceTransition();
}

std::vector<ViewController*> OrdersMainController::visibleChildren() const {
    if (!active_) return {};
    return {active_.get()};
}

void OrdersMainController::refresh() {
    if (active_) active_->refresh();
}

// ---- signing out, the other screens

void OrdersMainController::logout() {
    showLayout_ = false;
    if (session_) session_->invalidate();
    if (isPad()) {
        // The root pane brings the sign-in back, once the layout (if shown) is gone.
        if (std::shared_ptr<RootViewController> pane = padRootPane()) pane->dismissAndLogout();
        else TAVLO_LOG("No root pane brings the sign-in back");
        return;
    }
    if (rootAncestor().presentedViewController()) dismiss(false);
    if (NavigationController* navigation = navigationController()) navigation->popToRoot(animated());
}

void OrdersMainController::admin() {
    NavigationController* navigation = navigationController();
    if (!navigation) return;
    if (!root_) {
        navigation->pop(animated());
        return;
    }
    std::shared_ptr<ViewController> screen = instantiate(kAdminInterface);
    if (!screen) return;
    if (auto* admin = dynamic_cast<SessionScreen*>(screen.get())) admin->setSession(session_);
    navigation->push(screen, animated());
}

void OrdersMainController::systemStatus() {
    if (isTerminalDisabled(context())) {
        alertTerminalDisabled("Tavlo");
        TAVLO_LOG_MAIL("System status attempted on disabled terminal (UID:%@)", IDBroker::deviceIdentifier());
        return;
    }
    std::shared_ptr<ViewController> screen = instantiate(kSystemStatusInterface);
    if (!screen) return;
    if (auto* status = dynamic_cast<SessionScreen*>(screen.get())) status->setSession(session_);
    auto navigation = std::make_shared<NavigationController>(screen);
    navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    present(navigation, true);
}

// ---- opening orders

void OrdersMainController::loadOrderView(const std::optional<std::string>& remoteId,
                                         const std::optional<std::string>& areaLocationId, bool quickSale,
                                         bool updateOrders) {
    if (isPad()) {
        // On the pad the order screen goes on the root pane's stack, never on this screen's.
        inOrder_ = true;
        if (std::shared_ptr<RootViewController> pane = padRootPane())
            pane->loadOrderView(remoteId, areaLocationId, quickSale, updateOrders);
        else TAVLO_LOG("No root pane opens the order %@", remoteId.value_or("(new)"));
        return;
    }
    std::shared_ptr<ViewController> order = instantiate(kOrderInterface);
    if (!order) return;
    inOrder_ = true;
    if (auto* screen = dynamic_cast<OrderScreen*>(order.get())) {
        screen->setRemoteId(remoteId);
        screen->setAreaLocationId(areaLocationId);
        screen->setQuickSale(quickSale);
        screen->setSession(session_);
    }
    if (NavigationController* navigation = navigationController()) navigation->push(order, animated());
    if (rootAncestor().presentedViewController()) dismiss(false);
}

void OrdersMainController::loadOrder(const std::optional<std::string>& remoteId) {
    if (!remoteId) {
        loadOrderView(std::nullopt, std::nullopt, false, updateOnExit_);
        return;
    }
    if (!session_ || !session_->canAccessOrder(remoteId)) {
        alert("Alert",
              localized("Unable to work on an order opened by somebody else. If you need to work on it, "
                        "have the manager transfer it to you"),
              {"Ok"});
        return;
    }
    ManagedObjectPtr order = context() ? context()->fetchFirst("Order", "remoteId == %@", *remoteId) : nullptr;
    std::optional<std::string> areaLocationId = order ? order->text("areaLocation.areaLocationId") : std::nullopt;
    // An order at no table is a quick sale, as the other openers have it.
    loadOrderView(remoteId, areaLocationId, !areaLocationId, updateOnExit_);
}

std::vector<OrdersMainController::OpenOrder> OrdersMainController::localOpenOrders(
    const std::string& areaLocationId) const {
    std::vector<OpenOrder> orders;
    if (!context()) return orders;
    FetchRequest request("Order", Predicate::format("closed==nil && areaLocation.areaLocationId== %@", areaLocationId),
                         {{"name"}});
    for (const ManagedObjectPtr& order : context()->fetch(request))
        orders.push_back({order->text("remoteId"), order->text("name")});
    return orders;
}

std::vector<OrdersMainController::OpenOrder> OrdersMainController::serverOpenOrders(
    const std::string& areaLocationId) const {
    std::vector<OpenOrder> orders;
    if (!session_ || session_->isLite()) return orders;
    std::vector<std::shared_ptr<Order>> summaries;
    summaries.reserve(10);
    // A failed request leaves the table without orders on the server: a new order, with the right.
    CommHelper::getOrderSummaries(areaLocationId, true, CommHelper::loadOrders(summaries, context()), *session_,
                                  nullptr);
    for (const std::shared_ptr<Order>& summary : summaries) orders.push_back({summary->remoteId(), summary->name()});
    return orders;
}

void OrdersMainController::pickOrder(std::vector<OpenOrder> orders) {
    std::vector<AlertHandlerLocationOrders::Choice> choices;
    for (OpenOrder& order : orders) choices.push_back({std::move(order.remoteId), std::move(order.name)});
    std::weak_ptr<ViewController> self = shared_from_this();
    AlertHandlerLocationOrders::show(std::move(choices), [self](const std::string& remoteId) {
        if (auto main = std::static_pointer_cast<OrdersMainController>(self.lock())) main->loadOrder(remoteId);
    });
}

void OrdersMainController::tableSelected(const ManagedObjectPtr& table) {
    if (!table) return;
    if (isTerminalDisabled(context())) {
        alertTerminalDisabled();
        logout();
        return;
    }
    if (session_ && !session_->isLite() && !CommHelper::isWiFiConnected()) return alertWiFiDisconnected();
    std::string locationId = table->text("areaLocationId").value_or("");
    std::vector<OpenOrder> orders = localOpenOrders(locationId);
    if (orders.size() == 1) return withoutLayout([&] { loadOrder(orders.front().remoteId); });
    if (orders.size() > 1) return pickOrder(std::move(orders));
    if (session_ && !session_->isLite()) {
        getOrderSummaries(locationId);
    } else {
        completeTableSelected({}, locationId);
    }
}

void OrdersMainController::getOrderSummaries(const std::string& areaLocationId) {
    ActivityIndicator::show(view(), false);
    ActivityIndicator::refresh(localized("Opening Table"));
    completeTableSelected(serverOpenOrders(areaLocationId), areaLocationId);
    ActivityIndicator::hide();
}

void OrdersMainController::completeTableSelected(const std::vector<OpenOrder>& orders, const std::string& locationId) {
    if (orders.size() > 1) return pickOrder(orders);
    if (orders.size() == 1)
        return withoutLayout([&] { loadOrderView(orders.front().remoteId, locationId, false, true); });
    if (!session_ || !session_->isGranted(Right::NewOrder)) return alertNoAccess("Ok");
    withoutLayout([&] { loadOrderView(std::nullopt, locationId, false, true); });
}

void OrdersMainController::loadOrderAt(const std::string& areaLocationId) {
    std::vector<OpenOrder> orders = localOpenOrders(areaLocationId);
    if (orders.size() == 1) return loadOrder(orders.front().remoteId);
    if (orders.empty()) orders = serverOpenOrders(areaLocationId);
    if (orders.size() > 1) return pickOrder(std::move(orders));
    if (orders.size() == 1) return loadOrderView(orders.front().remoteId, areaLocationId, false, true);
    if (!session_ || !session_->isGranted(Right::NewOrder)) return alertNoAccess("Ok");
    loadOrderView(std::nullopt, areaLocationId, false, true);
}

void OrdersMainController::quickSale() {
    if (!session_ || !session_->isStoreOpen()) return alertStoreClosed("OK");
    if (!session_->isGranted(Right::QuickSale) || !session_->isGranted(Right::NewOrder)) return alertNoAccess("OK");
    loadOrderView(std::nullopt, std::nullopt, true, updateOnExit_);
}

// ---- the table layout

void OrdersMainController::showTableLayout(bool updateOnAppear) {
    if (inOrder_) return;
    if (!session_ || !session_->isStoreOpen()) return alertStoreClosed("Ok");
    std::shared_ptr<ViewController> layout = instantiate(kTableLayoutInterface);
    if (!layout) return;
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Opening Layout"));
    if (auto* screen = dynamic_cast<TableLayoutScreen*>(layout.get())) {
        std::weak_ptr<ViewController> weak = shared_from_this();
        auto self = [weak] { return std::static_pointer_cast<OrdersMainController>(weak.lock()); };
        screen->setSession(session_);
        screen->setUpdateOnAppear(updateOnAppear);
        screen->setObserver(
            [self](const ManagedObjectPtr& table) {
                if (auto main = self()) main->tableSelected(table);
            },
            [self] {
                if (auto main = self()) main->logout();
            },
            [self] {
                if (auto main = self()) main->showOrders();
            });
    }
    auto navigation = std::make_shared<NavigationController>(layout);
    navigation->setModalPresentationStyle(ModalPresentationStyle::FullScreen);
    present(navigation, false);
    showLayout_ = true;
    ActivityIndicator::hide();
}

void OrdersMainController::showOrders() {
    showLayout_ = false;
    if (rootAncestor().presentedViewController()) dismiss(animated());
}

// ---- no sale

namespace {

// The orders main screen refuses outside lite mode a user without the right, and records a user
// who may open the drawer as its authoriser.
const NoSale::Rules kNoSaleRules{"Select a drawer:", false, true, std::nullopt};

} // namespace

void OrdersMainController::noSale() { NoSale::start(*this, session_, kNoSaleRules); }

void OrdersMainController::noSaleCheckAuth(const std::string& drawerId) {
    NoSale::checkAuth(*this, session_, kNoSaleRules, drawerId);
}

// ---- registration

void registerOrderListScreens() {
    InterfaceRegistry& registry = InterfaceRegistry::shared();
    registry.add(OrdersMainController::kInterfaceName, [](ViewController&) {
        auto root = std::make_shared<View>(windowFrame());
        root->setBackgroundColor(Color::white());
        root->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        return root;
    });
    registry.add(OrdersOpenViewController::kInterfaceName, [](ViewController&) {
        auto table = std::make_shared<TableView>(windowFrame(), TableViewStyle::Plain);
        table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        return std::static_pointer_cast<View>(table);
    });
    registry.addController(OrdersMainController::kInterfaceName,
                           [] { return std::make_shared<OrdersMainController>(); });
    registry.addController(OrdersOpenViewController::kInterfaceName,
                           [] { return std::make_shared<OrdersOpenViewController>(); });
}

} // namespace tavlo::screens
