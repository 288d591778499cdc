#include "screens/shell/OrdersClosedViewController.h"

#include "core/order/Order.h"
#include "core/ports/PrinterStream.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Label.h"
#include "printing/ReceiptHelper.h"
#include "screens/common/ReceiptJob.h"
#include "screens/shell/OrdersMainController.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"

namespace tavlo::screens {

using namespace ui;

namespace {

enum ClosedRowButton { kReOpenButton = 1, kRePrintButton = 2 };

} // namespace

OrdersClosedViewController::OrdersClosedViewController() { openOrders_ = false; }

std::unique_ptr<FetchedResultsController> OrdersClosedViewController::makeFetchedResultsController() {
    FetchRequest request("Order", Predicate::format("closed != nil && storeBatch.closedOn == nil"), {{"name"}});
    return std::make_unique<FetchedResultsController>(*context(), std::move(request));
}

void OrdersClosedViewController::showOrder(TableViewCell& cell, const OrderValues& order) {
    cell.setBackgroundColor(Color::lightGray());
    cell.contentView().setBackgroundColor(Color::lightGray());
    for (int tag : {kMarkTag, kNameTag, kServerTag, kTotalTag, kCreatedTag})
        if (auto* label = dynamic_cast<Label*>(cell.viewWithTag(tag))) label->setBackgroundColor(Color::lightGray());
    bool own = session() && order("user.userId").text() == session()->userId();
    showOrderRow(cell, order, own ? Color::black() : Color::red(), own ? Color::blue() : Color::red());
    for (int tag : {kServerTag, kCreatedTag})
        if (auto* label = dynamic_cast<Label*>(cell.viewWithTag(tag))) label->setTextColor(Color::white());
}

void OrdersClosedViewController::didSelectRow(TableView&, IndexPath path) {
    FetchedResultsController* results = fetchedResultsController();
    ManagedObjectPtr order = results ? results->objectAt(path.section, path.row) : nullptr;
    if (!order) return;
    alert("Confirmation", localized("What would you like to do with this order?"),
          {"Cancel", {localized("Re-Open"), localized("Re-Print")}}, [this, order](int button) {
              if (button == kReOpenButton) reopen(order);
              if (button == kRePrintButton) reprint(order);
          });
}

void OrdersClosedViewController::refuse() { alert("Error", localized("You do not have the required access"), {"OK"}); }

std::shared_ptr<Order> OrdersClosedViewController::currentOrder(const ManagedObject& row, Error& error) {
    if (session()->isLite()) return std::make_shared<Order>(row, context());
    std::vector<std::shared_ptr<Order>> found;
    CommHelper::getOrder(row.text("remoteId").value_or(""), CommHelper::gateway().value_or(""), session()->userId(),
                         CommHelper::loadOrders(found, context()), context(), &error);
    return found.empty() ? nullptr : found.front();
}

void OrdersClosedViewController::reopen(const ManagedObjectPtr& row) {
    if (!session() || !session()->isGranted(Right::ReOpenOrder)) return refuse();
    Error error;
    std::shared_ptr<Order> order = currentOrder(*row, error);
    bool sent = false;
    if (order) {
        order->reOpen(session()->userId(), session().get());
        std::shared_ptr<OrderHandler> handler = OrderHandler::instance();
        sent = handler && handler->sendOrder(*order, session()->userId(), context(), &error);
        if (!handler) error = Error("Tavlo", 1, "No order handler");
    }
    if (!sent) {
        alert("Error", format("%@ (%@)", localized("Unable to reopen"), error.localizedDescription()), {"OK"});
        TAVLO_LOG_MAIL("Unable to reopen order: %@", error.localizedDescription());
        return;
    }
    order->clearTempData();
    refreshData();
    if (mainViewController())
        mainViewController()->loadOrderView(order->remoteId(), order->areaLocationId(), false, false);
    alert("Confirmation", localized("Order was reopened"), {"Ok"});
}

void OrdersClosedViewController::reprint(const ManagedObjectPtr& row) {
    if (!session() || !session()->isGranted(Right::PrintOrder)) return refuse();
    Error error;
    if (session()->isLite()) {
        const std::shared_ptr<PrinterStream>& printer = session()->printerStream();
        if (!printer) return alert("Error", localized("No printer configured"), {"OK"});
        auto order = std::make_shared<Order>(*row, context());
        ReceiptJob::print(printer, [order, session = session()](PrinterStream& stream) {
            ReceiptHelper::printReceipt(*order, *session, nullptr, stream);
        });
        return;
    }
    std::shared_ptr<Order> order = currentOrder(*row, error);
    std::shared_ptr<OrderHandler> handler = OrderHandler::instance();
    if (!handler) error = Error("Tavlo", 1, "No order handler");
    if (!order || !handler ||
        !handler->sendOrder(*order, session()->userId(), session()->printerURL(), std::nullopt, true, context(),
                            &error))
        alert("Error", error.localizedDescription(), {"OK"});
}

} // namespace tavlo::screens
