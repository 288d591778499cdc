#include "screens/payments/AdminPaymentsViewController.h"

#include "core/order/Order.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "payments/PaymentHandlerAdapter.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/BarButtonItem.h"
#include "screens/common/ActivityIndicator.h"
#include "sync/exchange/CommHelper.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

AdminPaymentsViewController::AdminPaymentsViewController() { setShowOrderName(true); }

void AdminPaymentsViewController::viewDidLoad() {
    PaymentsViewController::viewDidLoad();
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Done"), BarButtonStyle::Done, [this](BarButtonItem&) { close(); }));
    navigationItem().setRightBarButtonItem(editButtonItem());
    setTitle(localized("Payments"));

    typeIds_ = session()->paymentTypes();
    if (typeIds_.empty())
        return alert("Alert", localized("No payment types are defined, please contact support"), {"Ok"});
    // Room for every tender's label on a pad's full screen; a narrower bar narrows it.
    const double width = std::min(90.0 * static_cast<double>(typeIds_.size()), 640.0);
    payTypes_ = std::make_shared<SegmentedControl>(std::vector<std::string>{}, Rect(0, 0, width, 30));
    for (int32_t type : typeIds_) payTypes_->insertSegment(Payment::uiLabel(type), payTypes_->numberOfSegments());
    payTypes_->setStyle(SegmentedControlStyle::Bar);
    payTypes_->setSelectedSegmentIndex(0);
    currentType_ = typeIds_.front();
    payTypes_->addTarget([this](Control&) { paymentTypeChanged(); }, ControlEvent::ValueChanged);
    navigationItem().setTitleView(payTypes_);

    if (!session()->isLite()) downloadOrders();
    refetch();
}

void AdminPaymentsViewController::downloadOrders() {
    showActivity("Gathering Payments");
    Error error;
    std::optional<std::vector<std::shared_ptr<Order>>> orders = CommHelper::getOrders(*session(), &error);
    ObjectContext* store = context();
    if (orders) {
        ManagedObjectPtr open = store->fetchFirst("StoreBatch", "closedOn == nil");
        const std::optional<std::string> batchId = open ? open->text("remoteId") : std::nullopt;
        for (const std::shared_ptr<Order>& order : *orders) {
            ActivityIndicator::refresh(order->name().value_or(""));
            if (!order->batchId()) order->setBatchId(batchId);
            order->write(*store);
        }
    }
    if (!orders || !store->save(&error)) alert("Alert", error.localizedDescription(), {"Ok"});
    ActivityIndicator::hide();
}

std::unique_ptr<FetchedResultsController> AdminPaymentsViewController::makeFetchedResultsController() {
    FetchRequest request(
        "Payment", Predicate::andPredicates({Predicate::format("order.storeBatch.remoteId == %@",
                                                               IDBroker::getInstance().currentBatchId().value_or("")),
                                             Predicate::format("type == %d", currentType_)}));
    request.sortDescriptors = {{"transactionId"}, {"order.name"}};
    return std::make_unique<FetchedResultsController>(*context(), std::move(request), std::string("type"));
}

void AdminPaymentsViewController::paymentTypeChanged() {
    const int index = payTypes_ ? payTypes_->selectedSegmentIndex() : -1;
    if (index < 0 || index >= static_cast<int>(typeIds_.size())) return;
    currentType_ = typeIds_[index];
    resetFetchedResultsController();
    refetch();
}

void AdminPaymentsViewController::setEditing(bool editing, bool animated) {
    if (editing && session()->isLite() && goesToCardHost(currentType_)) {
        HostConfig config;
        std::string message;
        std::shared_ptr<PaymentHandlerAdapter> handler = creditHandler(config, message);
        if (!handler || !handler->canAdjust()) return refuseEditing();
    }
    PaymentsViewController::setEditing(editing, animated);
}

} // namespace tavlo::screens
