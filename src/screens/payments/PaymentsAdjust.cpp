// Adjustments from the payment list: amounts typed into an adjustable row while the table edits
// (digits enter from the right), the tab's cap at the order's amount due, the right to adjust, one
// queued adjustment per payment, and sending them: to the card host first on a terminal that is
// its own till, then with the order.
#include "core/order/Order.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "payments/PaymentHandlerAdapter.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/TipLimits.h"
#include "screens/common/prompts/AmountViewController.h"
#include "screens/payments/PaymentCellView.h"
#include "screens/payments/PaymentsViewController.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

namespace {

int32_t amountDue(const ManagedObject& payment, ObjectContext* context) {
    ManagedObjectPtr order = payment.toOne("order");
    return order ? Order(*order, context).getDue() : 0;
}

} // namespace

// ---- the amount fields

bool PaymentsViewController::textFieldShouldBeginEditing(TextField& field) {
    PaymentCellView* cell = cellOf(field);
    std::optional<IndexPath> path = cell ? tableView().indexPathForCell(*cell) : std::nullopt;
    ManagedObjectPtr payment = path ? paymentAt(*path) : nullptr;
    // A tab is settled for what the order still owes.
    if (payment && field.tag() == PaymentCellView::kSubTotalField && Tender::of(payment->int32("type")).authorisesOnly)
        field.setText(Utils::formatCurrency(amountDue(*payment, context())));
    return true;
}

bool PaymentsViewController::textFieldShouldChangeCharacters(TextField& field, TextRange range,
                                                             const std::string& typed) {
    if (std::optional<std::string> shown = AmountViewController::centsAfterEdit(field.text(), range, typed)) {
        field.setText(*shown);
        lastEditedField_ = field.shared_from_this();
    }
    return false;
}

void PaymentsViewController::textFieldDidEndEditing(TextField& field) {
    if (lastEditedField_.lock().get() == &field) lastEditedField_.reset();
    PaymentCellView* cell = cellOf(field);
    std::optional<IndexPath> path = cell ? tableView().indexPathForCell(*cell) : std::nullopt;
    ManagedObjectPtr payment = path ? paymentAt(*path) : nullptr;
    if (!payment) return;
    if (field.tag() == PaymentCellView::kSubTotalField && Tender::of(payment->int32("type")).authorisesOnly &&
        Utils::parseCurrency(field.text()) > amountDue(*payment, context())) {
        field.setText(Utils::formatCurrency(payment->int32("subTotal")));
        return alert(
            "Alert",
            localized("Payment subTotal cannot be higher than the amount due for the order, re-enter subTotal"),
            {"Ok"});
    }
    const int32_t subTotal = cell->cents(PaymentCellView::kSubTotalField),
                  tip = cell->cents(PaymentCellView::kTipField);
    const int32_t gratuity = showGratuity_ ? cell->cents(PaymentCellView::kGratuityField) : payment->int32("gratuity");
    const TipVerdict verdict = std::max(judgeTip(subTotal, tip, gratuity), judgeTip(subTotal, gratuity, tip));
    // An amount not taken shows the payment's own again, in its field and its label.
    auto restore = [payment](TextField& edited) {
        const char* column = edited.tag() == PaymentCellView::kSubTotalField ? "subTotal"
                             : edited.tag() == PaymentCellView::kTipField    ? "tip"
                                                                             : "gratuity";
        const std::string kept = Utils::formatCurrency(payment->int32(column));
        edited.setText(kept);
        if (PaymentCellView* row = cellOf(edited)) row->valueLabel(edited.tag() - 1).setText(kept);
    };
    if (verdict == TipVerdict::Refused) {
        restore(field);
        return alert("Alert", tipTooLarge(), {"Ok"});
    }
    if (verdict == TipVerdict::Fine) return adjustEdited(*cell);
    std::weak_ptr<View> weakField = field.shared_from_this();
    alert("Confirmation", largeTipQuestion(std::max(tip, gratuity), subTotal), {"No", {localized("Yes")}},
          [this, weakField, restore](int index) {
              auto edited = std::dynamic_pointer_cast<TextField>(weakField.lock());
              PaymentCellView* shown = edited ? cellOf(*edited) : nullptr;
              if (!edited || !shown) return;
              if (index == 1) adjustEdited(*shown);
              else restore(*edited);
          });
}

void PaymentsViewController::adjustEdited(PaymentCellView& cell) {
    if (session_->isGranted(Right::TipAdjust)) return saveAdjustment(cell);
    std::weak_ptr<View> weakCell = cell.shared_from_this();
    std::weak_ptr<ViewController> weak = weak_from_this();
    authorize("Adjust Payment", Rights::text(Right::TipAdjust), [weak, weakCell](const std::string&) {
        auto self = std::dynamic_pointer_cast<PaymentsViewController>(weak.lock());
        auto shown = std::dynamic_pointer_cast<PaymentCellView>(weakCell.lock());
        if (self && shown) self->saveAdjustment(*shown);
    });
}

// ---- queueing and sending

void PaymentsViewController::saveAdjustment(PaymentCellView& cell) {
    std::optional<IndexPath> path = tableView().indexPathForCell(cell);
    ManagedObjectPtr payment = path ? paymentAt(*path) : nullptr;
    if (!payment) return;
    const std::optional<std::string> remoteId = payment->text("remoteId");
    auto queued = std::find_if(paymentsToAdjust_.begin(), paymentsToAdjust_.end(),
                               [&remoteId](const std::shared_ptr<Payment>& p) { return p->remoteId() == remoteId; });
    std::shared_ptr<Payment> adjusted;
    if (queued != paymentsToAdjust_.end()) {
        adjusted = *queued;
    } else {
        adjusted = std::make_shared<Payment>();
        adjusted->read(*payment);
        paymentsToAdjust_.push_back(adjusted);
    }
    adjusted->setSubTotal(cell.cents(PaymentCellView::kSubTotalField));
    adjusted->setTip(cell.cents(PaymentCellView::kTipField));
    // A list without the gratuity column leaves the payment's gratuity as it is.
    if (showGratuity_) adjusted->setGratuity(cell.cents(PaymentCellView::kGratuityField));
    if (!isEditing()) adjustAllNeeded();
}

void PaymentsViewController::adjustAllNeeded() {
    std::vector<std::shared_ptr<Payment>> queued;
    queued.swap(paymentsToAdjust_);
    std::string text;
    for (const std::shared_ptr<Payment>& payment : queued) {
        std::string message = adjustPayment(*payment);
        if (text.empty()) text = message;
        else if (message != text) text = format("%@\n%@", text, message);
    }
    if (text.empty()) return;
    refetch();
    alert("Alert", text, {"Ok"});
}

std::string PaymentsViewController::adjustPayment(Payment& payment) {
    if (payment.getTotal() < 1)
        return format(localized("Total amount for %@ payment must be more than 0"),
                      payment.name().value_or(Payment::uiLabel(payment.type())));
    ManagedObjectPtr stored = context()->fetchFirst("Payment", "remoteId == %@", payment.remoteId().value_or(""));
    if (!stored) return failure("Unable to adjust payment", Error());
    auto adjustOnOrder = [&payment](Order&, Payment& onOrder) {
        onOrder.setSubTotal(payment.subTotal());
        onOrder.setTip(payment.tip());
        onOrder.setGratuity(payment.gratuity());
    };
    Error error;
    if (!session_->isLite()) {
        if (!changeOnOrder(*stored, adjustOnOrder, false, &error)) return failure("Unable to adjust payment", error);
        return localized("Payment was adjusted");
    }
    HostConfig config;
    std::string message;
    std::shared_ptr<PaymentHandlerAdapter> handler = creditHandler(config, message);
    if (!handler) return message;
    std::shared_ptr<PaymentTransaction> transaction = handler->transaction(payment.refNum(), config);
    if (!transaction) return localized("Unable to find transaction");
    transaction->setValue(Utils::formatCurrency(payment.tip() + payment.gratuity()), "TIP");
    showActivity("Adjusting");
    // Adjusted at the host: the payment keeps its new amounts here even when the order cannot be
    // sent.
    const bool done =
        handler->adjust(*transaction, config, &error) && changeOnOrder(*stored, adjustOnOrder, true, &error);
    ActivityIndicator::hide();
    return done ? localized("Payment was adjusted") : failure("Unable to adjust payment", error);
}

} // namespace tavlo::screens
