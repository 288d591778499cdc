#include "screens/shell/RootViewController.h"

#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SplitViewController.h"
#include "platform/ui/render/Theme.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/shell/AlertHandlerLocationOrders.h"
#include "screens/shell/DetailViewController.h"
#include "screens/shell/LoginViewController.h"
#include "sync/exchange/CommHelper.h"

namespace tavlo::screens {

using namespace ui;
namespace theme = ui::render::theme;

RootViewController::RootViewController() { setTitle(std::string("Tavlo")); }

RootViewController::~RootViewController() = default;

ObjectContext* RootViewController::context() const {
    if (session_ && session_->managedObjectContext()) return session_->managedObjectContext();
    return context_ ? context_.get() : DBHelper::mainContext().get();
}

void RootViewController::loadView() {
    auto root = std::make_shared<View>(screenFrame());
    root->setBackgroundColor(theme::paper());
    root->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    setView(root);
}

uint32_t RootViewController::supportedInterfaceOrientations() const { return OrientationMask::All; }

void RootViewController::viewWillAppear(bool) {
    if (session_ && session_->isValid()) {
        DetailViewController* detail = detailViewController();
        if (!detail) return;
        if (!session_->isLite()) {
            detail->setStatus(format(localized("Gateway: %@"), CommHelper::hostName(CommHelper::gateway())));
        } else if (session_->isStoreOpen()) {
            detail->setStatus(format(localized("Opened %@"), Utils::naturalStringForDate(session_->storeOpenDate())));
        } else if (std::optional<Date> closed = session_->storeCloseDate()) {
            detail->setStatus(format(localized("Closed %@"), Utils::naturalStringForDate(closed)));
        } else {
            detail->setStatus("");
        }
        return;
    }
    if (loginOnAppear_) {
        loginOnAppear_ = false;
        displayLogin();
    }
}

// ---- signing in and out

void RootViewController::displayLogin() {
    // Once is enough: the start-up may show the sign-in again while it is up.
    if (rootAncestor().presentedViewController()) return;
    std::shared_ptr<ViewController> login =
        InterfaceRegistry::shared().instantiate(LoginViewController::kInterfaceName);
    if (auto* screen = dynamic_cast<LoginViewController*>(login.get())) {
        screen->setManagedObjectContext(context_);
        screen->setPersistentStoreCoordinator(coordinator_);
        screen->setRootPane(std::static_pointer_cast<RootViewController>(shared_from_this()));
    }
    present(std::make_shared<NavigationController>(login), false);
}

void RootViewController::signedIn(const std::shared_ptr<Session>& session, const std::optional<std::string>& title,
                                  std::shared_ptr<ViewController> mainController) {
    setSession(session);
    if (DetailViewController* detail = detailViewController()) {
        detail->setSession(session);
        detail->setTitle(title);
    }
    setMainController(std::move(mainController));
}

void RootViewController::setMainController(std::shared_ptr<ViewController> main) {
    if (DetailViewController* detail = detailViewController()) detail->setMainController(main);
    mainController_ = std::move(main);
}

void RootViewController::logout() {
    if (session_ && session_->isValid()) session_->invalidate();
    loginOnAppear_ = true;
    if (NavigationController* navigation = navigationController()) navigation->popToRoot(false);
    // Already the pane on show: nothing brings it on screen again.
    if (loginOnAppear_ && isVisible() && !presentedViewController() && !rootAncestor().presentedViewController()) {
        loginOnAppear_ = false;
        displayLogin();
    }
}

void RootViewController::dismissAndLogout() {
    ViewController& outermost = rootAncestor();
    if (!outermost.presentedViewController()) return logout();
    std::weak_ptr<RootViewController> self = std::static_pointer_cast<RootViewController>(shared_from_this());
    outermost.dismiss(false, [self] {
        if (auto pane = self.lock()) pane->logout();
    });
}

void RootViewController::dismissPresented() {
    ViewController& outermost = rootAncestor();
    if (outermost.presentedViewController()) outermost.dismiss(false);
}

// ---- opening orders

void RootViewController::loadOrder(const std::optional<std::string>& remoteId) {
    ObjectContext* moc = context();
    bool updateOrders = Parameters::flag(Parameter::UpdateOrdersOnExit, moc);
    if (!remoteId) {
        loadOrderView(std::nullopt, std::nullopt, false, updateOrders);
        return;
    }
    if (session_ && !session_->canAccessOrder(remoteId)) {
        alert("Alert",
              localized("Unable to work on an order opened by somebody else. If you need to work on it, have "
                        "the manager transfer it to you"),
              {"Ok"});
        return;
    }
    ManagedObjectPtr order = moc ? moc->fetchFirst("Order", "remoteId == %@", *remoteId) : nullptr;
    std::optional<std::string> areaLocationId = order ? order->text("areaLocation.areaLocationId") : std::nullopt;
    // A quick sale is an order at no table.
    loadOrderView(remoteId, areaLocationId, !areaLocationId, updateOrders);
}

void RootViewController::loadOrderAt(const std::string& areaLocationId) {
    ObjectContext* moc = context();
    std::vector<AlertHandlerLocationOrders::Choice> orders;
    for (const ManagedObjectPtr& order : moc->fetch(
             FetchRequest("Order", Predicate::format("closed==nil && areaLocation.areaLocationId== %@", areaLocationId),
                          {{"name"}})))
        orders.push_back({order->text("remoteId"), order->text("name")});

    std::weak_ptr<RootViewController> self = std::static_pointer_cast<RootViewController>(shared_from_this());
    auto choose = [self](const std::string& remoteId) {
        if (auto root = self.lock()) root->loadOrder(remoteId);
    };
    if (orders.size() == 1) {
        loadOrder(orders.front().remoteId);
        return;
    }
    if (orders.size() >= 2) {
        AlertHandlerLocationOrders::show(std::move(orders), choose);
        return;
    }
    // None here: the gateway may know of the table's orders; a lite terminal knows them all.
    if (session_ && !session_->isLite()) {
        std::vector<std::shared_ptr<Order>> summaries;
        CommHelper::getOrderSummaries(areaLocationId, true, CommHelper::loadOrders(summaries, moc), *session_, nullptr);
        for (const std::shared_ptr<Order>& summary : summaries)
            orders.push_back({summary->remoteId(), summary->name()});
    }
    if (orders.size() >= 2) {
        AlertHandlerLocationOrders::show(std::move(orders), choose);
    } else if (orders.size() == 1) {
        loadOrderView(orders.front().remoteId, areaLocationId, false, true);
    } else if (!session_ || !session_->isGranted(Right::NewOrder)) {
        alert("Alert", localized("You do not have the required access"), {"Ok"});
    } else {
        loadOrderView(std::nullopt, areaLocationId, false, true);
    }
}

void RootViewController::loadOrderView(const std::optional<std::string>& remoteId,
                                       const std::optional<std::string>& areaLocationId, bool quickSale,
                                       bool /*updateOrders*/) {
    std::shared_ptr<ViewController> order = InterfaceRegistry::shared().instantiate(kOrderInterface);
    if (auto* screen = dynamic_cast<OrderScreen*>(order.get())) {
        screen->setRemoteId(remoteId);
        screen->setAreaLocationId(areaLocationId);
        screen->setQuickSale(quickSale);
        screen->setSession(session_);
    }
    auto* main = dynamic_cast<OrdersMainScreen*>(mainController_.get());
    bool updateOnAppear = main && main->updateOnAppear();
    if (main) main->setUpdateOnAppear(false);
    if (NavigationController* navigation = navigationController()) navigation->push(order, false);
    dismissPresented();
    if (main) main->setUpdateOnAppear(updateOnAppear);
}

} // namespace tavlo::screens
