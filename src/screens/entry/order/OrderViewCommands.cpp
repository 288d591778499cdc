// The order screen's commands: leaving, cancel, send, total, pay, the quick cash payment, close,
// one more unit of a line, and the answers of the screen's alerts.
#include "screens/entry/order/OrderViewController.h"

#include "core/order/Order.h"
#include "core/order/Payment.h"
#include "core/order/Selection.h"
#include "core/ports/OrderSender.h"
#include "core/ports/PrinterStream.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Button.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "printing/ReceiptHelper.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/ReceiptJob.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/entry/menu/MenuViewController.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"

#include <algorithm>
#include <cctype>

namespace tavlo::screens {

using namespace ui;

namespace {

constexpr int kConnectionFailure = -95;
const char* const kNoAccess = "You do not have the required access";
const char* const kWiFiDown = "WiFi Disconnected! Make sure you are within the WiFi area of the store";

// Logs a failure; mailed unless the connection failed.
void logFailure(const char* message, const Error& error) {
    if (error.code() == kConnectionFailure) TAVLO_LOG(message, error.localizedDescription());
    else TAVLO_LOG_MAIL(message, error.localizedDescription());
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace

// ---- leaving, cancel

void OrderViewController::cancelAndRefreshOrders() {
    // The pad's menu leaves the detail pane with this screen, and so do the screens it opened there.
    if (NavigationController* detail = detailPane(); detail && menuView_) {
        const NavigationController::Stack& stack = detail->viewControllers();
        const auto menu = std::find(stack.begin(), stack.end(), menuView_);
        if (menu != stack.end() && menu != stack.begin()) detail->popTo(**(menu - 1), animated());
    }
    if (NavigationController* navigation = navigationController()) {
        // The menu screen pushed over this one leaves with it.
        while (navigation->topViewController() && navigation->topViewController() != this &&
               navigation->viewControllers().size() > 1)
            navigation->pop(false);
        if (navigation->topViewController() == this && navigation->viewControllers().size() > 1)
            navigation->pop(animated());
    }
    if (order()) order()->rollbackAvailability(context());
    if (handlerPaused_) {
        handlerPaused_ = false;
        if (auto handler = OrderHandler::instance()) {
            handler->resume();
            handler->wakeUp();
        }
    }
}

void OrderViewController::cancel() {
    if (!session()->isGranted(Right::CancelOrder)) return alert("Alert", localized(kNoAccess), {"Ok"});
    // Lines not sent yet are lost with the screen: the person says so first.
    const auto lines = order() ? order()->activeSelections() : std::vector<SelectionPtr>{};
    const bool unsent = std::any_of(lines.begin(), lines.end(),
                                    [](const SelectionPtr& line) { return line->new_() || line->newQuantity() > 0; });
    if (!unsent) return cancelAndRefreshOrders();
    alert("Confirmation", localized("The items not sent will be lost. Cancel the changes?"), {"No", {localized("Yes")}},
          [this](int button) {
              if (button == 1) cancelAndRefreshOrders();
          });
}

// ---- send

void OrderViewController::send() {
    if (!order()) return;
    if (order()->new_() && order()->isEmpty() && quickSale() &&
        !Parameters::flag(Parameter::CancelEmptyOrders, context())) {
        cancelAndRefreshOrders();
        return;
    }
    const std::optional<Right> needed = order()->new_()       ? std::optional(Right::NewOrder)
                                        : order()->modified() ? std::optional(Right::AddItem)
                                                              : std::nullopt;
    if (needed && !session()->isGranted(*needed)) {
        alert("Alert", localized(kNoAccess), {"Ok"});
        return;
    }
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Sending"));
    const bool sent = session()->isLite() ? sendViaTavlo() : sendViaGateway();
    ActivityIndicator::hide();
    if (sent) cancelAndRefreshOrders();
}

bool OrderViewController::sendViaTavlo() {
    Error error;
    const bool sent = order()->send(*session(), &error);
    if (error.isSet() && sent) {
        // The order went; only its ticket did not print.
        logFailure("Unable to announce order: %@", error);
        kitchenTicketFailed(error, order(), session_);
    } else if (error.isSet()) {
        alert("Error", format("%@ (%@)", localized("Unable to send"), error.localizedDescription()), {"OK"});
        logFailure("Unable to send order: %@", error);
    }
    return sent;
}

bool OrderViewController::sendViaGateway() {
    Error error;
    const bool sent = order()->send(*session(), &error);
    if (error.isSet()) logFailure("Unable to send order: %@", error);
    if (!sent) {
        const std::string gateway = CommHelper::gateway().value_or("");
        const std::string reason =
            error.isSet() ? error.localizedDescription() : format(localized("Cannot connect to %@."), gateway);
        if (!CommHelper::isWiFiConnected()) {
            alert("Error", localized(kWiFiDown), {"Ok"});
        } else if (!otherTerminals().empty()) {
            offerOtherGateways(
                localized("Unable to send"),
                format(localized("%@. Would you like to select a different terminal as gateway?"), reason), [this]() {
                    if (sendViaGateway()) cancelAndRefreshOrders();
                });
        } else {
            alert("Error",
                  error.isSet() ? error.localizedDescription()
                                : format("%@ (%@)", localized("Unable to connect to the current gateway"), gateway),
                  {"OK"});
        }
    } else if (error.isSet()) {
        alert("Error", format("%@ (%@)", localized("Unable to send"), error.localizedDescription()), {"Ok"});
    }
    return sent;
}

std::vector<ManagedObjectPtr> OrderViewController::otherTerminals() {
    return Session::getOtherTerminals(CommHelper::gateway(), context());
}

void OrderViewController::offerOtherGateways(const std::string& title, const std::string& message,
                                             std::function<void()> then) {
    std::vector<std::string> names;
    for (const ManagedObjectPtr& terminal : otherTerminals()) names.push_back(terminal->text("name").value_or(""));
    alert(title, message, {"Cancel", names}, [this, then](int button) {
        if (button >= 1 && switchGateway(button)) then();
    });
}

bool OrderViewController::switchGateway(int buttonIndex) {
    const std::vector<ManagedObjectPtr> terminals = otherTerminals();
    const int at = buttonIndex - 1;
    if (at < 0 || at >= static_cast<int>(terminals.size())) return false;
    const auto networkName = terminals[at]->text("networkName");
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(networkName.value_or(""), "gateway");
    defaults.synchronize();
    CommHelper::setGateway(CommHelper::formatTavloURL(networkName));
    return true;
}

// ---- total

void OrderViewController::totalOrder() {
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Totaling"));
    totalOrderNow();
    ActivityIndicator::hide();
}

bool OrderViewController::totalOrderNow() {
    if (order()->new_() && order()->isEmpty()) {
        alert("Alert", localized("Add items to the order first"), {"Ok"});
        return false;
    }
    if (!(session()->isLite() ? sendViaTavlo() : sendViaGateway())) return false;
    if (Button* total = button("totalButton")) total->setHidden(true);
    if (menuView()) menuView()->forgetActions();
    refresh();
    return true;
}

// ---- pay

void OrderViewController::pay() {
    if (!session()->isGranted(Right::Pay)) {
        alert("Alert", localized(kNoAccess), {"OK"});
        return;
    }
    Error error;
    const bool sent = order()->send(*session(), &error);
    if (!sent) {
        alert("Error", error.localizedDescription(), {"Ok"});
        logFailure("Unable to save order: %@", error);
        return;
    }
    if (error.isSet()) alert("Error", error.localizedDescription(), {"Ok"});
    const char* name = order()->hasPayments() ? OrderTaskScreen::kPaymentsInterface : OrderTaskScreen::kPayInterface;
    std::shared_ptr<ViewController> payScreen = InterfaceRegistry::shared().instantiate(name);
    if (auto* screen = dynamic_cast<OrderTaskScreen*>(payScreen.get())) {
        screen->setSession(session_.get());
        screen->setOrder(order());
        std::weak_ptr<ViewController> self = weak_from_this();
        screen->setAction([self] {
            if (auto me = std::dynamic_pointer_cast<OrderViewController>(self.lock())) me->paid();
        });
    }
    auto navigation = std::make_shared<NavigationController>(payScreen);
    navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    present(navigation, animated());
}

void OrderViewController::paid() {
    dismissPresented();
    readOrderAgain();
    if (isPad()) setupScreen();
    refresh();
}

// The pay screen and the payment list store what they changed, the list on its own copy of the
// order (a void, a payment taken from "New Payment"): the screen shows the order as stored.
void OrderViewController::readOrderAgain() {
    if (!order() || !order()->remoteId()) return;
    if (ManagedObjectPtr stored = context()->fetchFirst("Order", "remoteId == %@", *order()->remoteId()))
        order()->read(*stored);
}

// ---- the quick cash payment

void OrderViewController::exactAmount() {
    if (Button* exact = button("payExact")) payAmount(Utils::parseCurrency(exact->title()));
}

void OrderViewController::upAmount() {
    if (Button* up = button("payUp")) payAmount(Utils::parseCurrency(up->title()));
}

// The drawers the signed-in user has cashed in here, as (name, id), by name without regard to case.
std::vector<std::pair<std::string, std::string>> OrderViewController::drawersByName() {
    std::vector<std::pair<std::string, std::string>> drawers;
    for (const auto& [id, name] : session()->cashedInDrawers(session()->userId())) drawers.emplace_back(name, id);
    std::stable_sort(drawers.begin(), drawers.end(),
                     [](const auto& a, const auto& b) { return lowered(a.first) < lowered(b.first); });
    return drawers;
}

void OrderViewController::payAmount(int32_t cents) {
    const auto drawers = drawersByName();
    if (drawers.empty()) {
        quickPay(cents, std::nullopt);
    } else if (drawers.size() == 1) {
        quickPay(cents, drawers.front().second);
    } else {
        quickTendered_ = cents;
        std::vector<std::string> names;
        for (const auto& drawer : drawers) names.push_back(drawer.first);
        alert("Select a drawer", std::string(), {"Cancel", names}, [this](int button) {
            // The drawers as they are when the person answers.
            const auto now = drawersByName();
            if (button < 1 || button - 1 >= static_cast<int>(now.size())) return;
            const int32_t tendered = quickTendered_;
            quickTendered_ = 0;
            quickPay(tendered, now[button - 1].second);
        });
    }
}

void OrderViewController::quickPay(int32_t tendered, const std::optional<std::string>& drawerId) {
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Sending"));
    const int32_t due = order()->getDue();
    const int32_t amount = std::min(tendered, due);
    // What is tendered above the due pays the automatic gratuity still owed, the rest is change.
    const int32_t gratuity = std::clamp(tendered - amount, 0, unpaidGratuity());
    const int32_t change = tendered - amount - gratuity;
    if (auto refused =
            Payment::verify(Payment::kCash, drawerId, Utils::formatCurrency(tendered), Utils::formatCurrency(amount),
                            Utils::formatCurrency(gratuity), std::nullopt, std::nullopt, nullptr, *session())) {
        alert("Error", *refused, {"Ok"});
        ActivityIndicator::hide();
        return;
    }
    auto payment = Payment::initWithSession(*session(), drawerId, order()->name(), Payment::kCash, amount, 0, change, 0,
                                            gratuity, std::nullopt, std::nullopt, std::nullopt, std::nullopt, nullptr);
    order()->addPayment(payment);
    const std::optional<Date> wasClosed = order()->closed();
    if (isSettled() && order()->needsCashAutoClose(*session()) && !order()->hasOpenTab())
        order()->setClosed(Date::now());
    Error error;
    if (!order()->send(*session(), &error)) {
        alert("Unexpected Error", error.localizedDescription(), {"Ok"});
        logFailure("Unable to save payment: %@", error);
        order()->setClosed(wasClosed);
        ActivityIndicator::hide();
        refresh();
        return;
    }
    bool failed = false;
    if (error.isSet()) {
        kitchenTicketFailed(error, order(), session_);
        failed = true;
    }
    if (change >= 1) alert("Change Due", Payment::changeDueText(tendered, amount, gratuity, change), {"Ok"});
    const std::shared_ptr<PrinterStream>& printer = session()->printerStream();
    if (printer && payment->drawerId()) {
        if (!printer->open(nullptr)) {
            alert("Alert", localized("Unable to open drawer. Verify printer is on and has paper"), {"Ok"});
            failed = true;
        } else {
            printer->openDrawer(Session::cashDrawerURL(payment->drawerId(), session()->terminalId(), context()));
            printer->close();
        }
    }
    const bool skipCopy = Parameters::flag(Parameter::DoNotPrintCashCustomerCopy, context()) ||
                          (quickSale() && Parameters::flag(Parameter::QuickSaleDoNotPrintCustomerReceipt, context()));
    if (!failed && !skipCopy) {
        if (!printer) {
            alert("Error", localized("No printer configured"), {"OK"});
        } else {
            ReceiptJob::print(printer, [payment, order = order(), session = session_](PrinterStream& stream) {
                ReceiptHelper::printPayment(*payment, *order, false, false, *session, nullptr, stream);
            });
        }
    }
    setupScreen();
    ActivityIndicator::hide();
}

// ---- close

void OrderViewController::close() {
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Closing"));
    const int32_t due = order()->getDue();
    if (due >= 1 || (due == 0 && unpaidGratuity() >= 1))
        alert("Error", localized("Unable to close. Order has to be paid"), {"OK"});
    else if (due < 0) alert("Error", localized("Unable to close. Order has been overpaid"), {"OK"});
    else if (order()->hasOpenTab())
        alert("Error", localized("Order cannot be closed, tabs need to be finalized or voided"), {"OK"});
    else if (!session()->isGranted(Right::CloseOrder)) alert("Error", localized(kNoAccess), {"OK"});
    else if (order()->new_() && order()->isEmpty()) cancelAndRefreshOrders();
    else if (session()->isLite()) closeViaTavlo();
    else closeViaGateway();
    ActivityIndicator::hide();
}

// A close that fails puts the closing time back as it was, so that the next screen check does not
// take the order that is still open in the store and on the server for a closed one.
void OrderViewController::closeViaTavlo() {
    const std::optional<Date> wasClosed = order()->closed();
    order()->setClosed(Date::now());
    Error error;
    if (OrderSender::required()->sendOrder(*order(), session()->userId(), context(), &error)) {
        cancelAndRefreshOrders();
        loadDefaultItems_ = true;
        return;
    }
    order()->setClosed(wasClosed);
    alert("Error", error.localizedDescription(), {"Ok"});
    logFailure("Unable to close order: %@", error);
    refresh();
}

void OrderViewController::closeViaGateway() {
    const std::optional<Date> wasClosed = order()->closed();
    if (!wasClosed) order()->setClosed(Date::now());
    Error error;
    std::shared_ptr<OrderHandler> handler = OrderHandler::instance();
    const bool closed = handler && handler->sendOrder(*order(), session()->userId(), std::nullopt, std::nullopt,
                                                      Parameters::flag(Parameter::PrintOrderCloseReceipt, context()),
                                                      context(), &error);
    if (closed) {
        cancelAndRefreshOrders();
        loadDefaultItems_ = true;
        if (error.isSet()) alert("Warning", error.localizedDescription(), {"Ok"});
        return;
    }
    order()->setClosed(wasClosed);
    TAVLO_LOG("Unable to close order (%@)", error.localizedDescription());
    const std::string gateway = CommHelper::gateway().value_or("");
    if (!CommHelper::isWiFiConnected()) {
        alert("Error", localized(kWiFiDown), {"Ok"});
    } else if (!otherTerminals().empty()) {
        offerOtherGateways(localized("Alert"),
                           format("%@ (%@) %@", localized("Unable to connect to the current gateway"), gateway,
                                  localized("Would you like to select a different terminal as gateway?")),
                           [this]() { closeViaGateway(); });
    } else {
        alert("Error", format("%@ (%@)", localized("Unable to connect to the current gateway"), gateway), {"OK"});
    }
    refresh();
}

// ---- one more unit

void OrderViewController::amountPressed(Control& tapped) {
    View* view = &tapped;
    while (view && !dynamic_cast<TableViewCell*>(view)) view = view->superview();
    auto* cell = dynamic_cast<TableViewCell*>(view);
    if (!cell) return;
    const auto path = tableView().indexPathForCell(*cell);
    const auto selections = sortedSelections();
    if (!path || path->row >= static_cast<int>(selections.size())) return;
    const SelectionPtr& selection = selections[path->row];
    if (selection->recipeId() && order()->orderType() != OrderType::Refund) {
        if (Selection::available(selection->recipeId(), context()) == 0) {
            alert("Alert", localized("Unable to order, we are currently out of this item"), {"Ok"});
            return;
        }
    }
    order()->increment(selection, session_.get());
    if (menuView()) menuView()->refresh();
    refresh();
}

} // namespace tavlo::screens
