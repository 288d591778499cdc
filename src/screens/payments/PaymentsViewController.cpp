// The payment list's table: its rows, what a row shows and allows, the reprint of a receipt, and
// the helpers the voids and adjustments share.
#include "screens/payments/PaymentsViewController.h"

#include "core/order/Order.h"
#include "core/ports/PrinterStream.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "payments/PaymentHandlerFactory.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Orientation.h"
#include "printing/ReceiptHelper.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/payments/PaymentCellView.h"

namespace tavlo::screens {

using namespace ui;

namespace {

std::string detailLine(const ManagedObject& payment, int32_t type, ObjectContext* context) {
    const std::string label = Payment::uiLabel(type);
    const Tender& tender = Tender::of(type);
    if (tender.needsDrawer) {
        std::optional<std::string> drawer = payment.text("cashInOut.cashDrawer.cashDrawerId");
        if (!drawer) return "";
        return format("%@: %@", label, Session::cashDrawerName(drawer, context).value_or(""));
    }
    if (!tender.chargedAtHost) return "";
    const std::string ref = payment.text("transactionId").value_or(""), last4 = payment.text("number").value_or("");
    if (std::optional<std::string> card = payment.text("cardType"))
        return format("%@: %@ (%@: %@, %@: %@)", label, *card, localized("ref"), ref, localized("last 4"), last4);
    return format("%@ (%@: %@, %@: %@)", label, localized("ref"), ref, localized("last 4"), last4);
}

} // namespace

PaymentsViewController::PaymentsViewController() : SignedInController(kInterfaceName) {}

PaymentsViewController::~PaymentsViewController() = default;

bool PaymentsViewController::goesToCardHost(int32_t type) { return Tender::of(type).voidedAtHost; }

std::shared_ptr<PaymentHandlerAdapter> PaymentsViewController::creditHandler(HostConfig& config,
                                                                             std::string& message) const {
    const std::optional<std::string> host = Parameters::text(Parameter::CreditHost, context());
    std::shared_ptr<PaymentHandlerAdapter> handler =
        host ? PaymentHandlerFactory::getInstance().getPaymentHandler(host) : nullptr;
    if (!handler) {
        message = host ? format("%@ (%@)", localized("Host not supported, please contact support"), *host)
                       : localized("Merchant account has not been setup");
        return nullptr;
    }
    config = Session::getHostConfig(host, context());
    return handler;
}

std::string PaymentsViewController::failure(const std::string& text, const Error& error) {
    std::string reason = error.isSet() ? error.localizedDescription() : "";
    return format("%@ (%@)", localized(text), reason.empty() ? localized("unknown reason") : reason);
}

void PaymentsViewController::showActivity(const std::string& text) {
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized(text));
}

void PaymentsViewController::refuseEditing() {
    alert("Alert", localized("These type of payments are not adjustable"), {"Ok"});
}

PaymentCellView* PaymentsViewController::cellOf(View& view) {
    for (View* v = &view; v; v = v->superview())
        if (auto* cell = dynamic_cast<PaymentCellView*>(v)) return cell;
    return nullptr;
}

// ---- the list

FetchedResultsController* PaymentsViewController::fetchedResultsController() {
    if (!results_ && context()) results_ = makeFetchedResultsController();
    return results_.get();
}

void PaymentsViewController::refetch() {
    if (FetchedResultsController* results = fetchedResultsController()) {
        if (Error error; !results->performFetch(&error))
            TAVLO_LOG_MAIL("Unable to read Payments: %@", error.localizedDescription());
    }
    tableView().reloadData();
    listReloaded();
}

ManagedObjectPtr PaymentsViewController::paymentAt(IndexPath path) {
    return results_ ? results_->objectAt(path.section, path.row) : nullptr;
}

bool PaymentsViewController::canVoidPayment(const ManagedObject& payment) {
    if (!payment.isNil("voided")) return false;
    if (!Tender::of(payment.int32("type")).needsDrawer) return true;
    // Cash counted into a drawer session that was cashed out is part of that count.
    ManagedObjectPtr session = payment.toOne("cashInOut");
    return !session || session->isNil("outDate");
}

// ---- the screen

void PaymentsViewController::viewDidLoad() {
    tableView().setRowHeight(PaymentCellView::kRowHeight);
    // While editing, rows are chosen to be voided together (the bar's "Void").
    tableView().setAllowsMultipleSelectionDuringEditing(true);
    voidButton_ =
        BarButtonItem::titled(localized("Void"), BarButtonStyle::Done, [this](BarButtonItem&) { voidSelected(); });
    setToolbarItems({BarButtonItem::flexibleSpace(), voidButton_});
}

void PaymentsViewController::setEditing(bool editing, bool animated) {
    // The field being typed in keeps its amount: ending it queues the adjustment.
    if (std::shared_ptr<View> last = lastEditedField_.lock(); !editing && last) {
        lastEditedField_.reset();
        if (last->isFirstResponder()) last->resignFirstResponder();
    }
    TableViewController::setEditing(editing, animated);
    if (NavigationController* navigation = navigationController()) navigation->setToolbarHidden(!editing, animated);
    showChosen();
    if (!editing) adjustAllNeeded();
}

void PaymentsViewController::showChosen() {
    if (!voidButton_) return;
    const size_t chosen = tableView().indexPathsForSelectedRows().size();
    voidButton_->setTitle(chosen == 0 ? localized("Void")
                                      : format("%@ (%lu)", localized("Void"), static_cast<unsigned long>(chosen)));
    voidButton_->setEnabled(chosen > 0);
}

uint32_t PaymentsViewController::supportedInterfaceOrientations() const {
    Application* app = Application::current();
    const bool pad = app && app->device().isTablet();
    return pad ? OrientationMask::Landscape : OrientationMask::Portrait;
}

void PaymentsViewController::print() {
    alert("Alert", localized("Printing of credit card batch not yet supported"), {"Ok"});
}

void PaymentsViewController::close() {
    if (ViewController* presenting = presentingViewController()) presenting->dismiss(animated());
}

// ---- the table

int PaymentsViewController::numberOfSections(TableView&) {
    return results_ ? static_cast<int>(results_->sections().size()) : 0;
}

int PaymentsViewController::numberOfRows(TableView&, int section) {
    if (!results_ || section < 0 || section >= static_cast<int>(results_->sections().size())) return 0;
    return static_cast<int>(results_->sections()[section].numberOfObjects());
}

double PaymentsViewController::heightForRow(TableView&, IndexPath) { return PaymentCellView::kRowHeight; }

bool PaymentsViewController::canEditRow(TableView&, IndexPath path) {
    ManagedObjectPtr payment = paymentAt(path);
    return payment && payment->isNil("voided");
}

EditingStyle PaymentsViewController::editingStyleForRow(TableView& table, IndexPath path) {
    // A voided row has nothing left to void: no delete control.
    return canEditRow(table, path) ? EditingStyle::Delete : EditingStyle::None;
}

std::optional<std::string> PaymentsViewController::titleForDeleteConfirmation(TableView&, IndexPath) {
    return localized("Void");
}

void PaymentsViewController::commitEditing(TableView&, EditingStyle style, IndexPath path) {
    if (style != EditingStyle::Delete) return alert("Alert", localized("This is not supported yet"), {"Ok"});
    if (ManagedObjectPtr payment = paymentAt(path)) confirmVoid(payment);
}

std::shared_ptr<TableViewCell> PaymentsViewController::cellForRow(TableView& table, IndexPath path) {
    std::shared_ptr<TableViewCell> reused = table.dequeueReusableCell(PaymentCellView::kReuseIdentifier);
    auto cell = std::dynamic_pointer_cast<PaymentCellView>(reused);
    if (!cell)
        cell = std::make_shared<PaymentCellView>(showGratuity_, PaymentCellView::kReuseIdentifier, table.bounds());
    if (ManagedObjectPtr payment = paymentAt(path)) showRow(*cell, *payment);
    return cell;
}

void PaymentsViewController::showRow(PaymentCellView& cell, const ManagedObject& payment) {
    const int32_t type = payment.int32("type");
    cell.typeLabel().setText(Payment::uiLabel(type));
    cell.orderLabel().setText(showOrderName_ ? payment.text("order.name") : std::nullopt);
    cell.userLabel().setText(payment.text("createdBy.name"));
    cell.createdLabel().setText(Utils::naturalStringForDate(payment.date("created")));
    cell.detailLabel().setText(detailLine(payment, type, context()));
    const bool voided = !payment.isNil("voided");
    cell.voidedLabel().setHidden(!voided);
    const bool adjustable = !voided && Tender::of(type).adjustable;
    cell.setAdjustable(adjustable);

    const int32_t subTotal = payment.int32("subTotal"), tip = payment.int32("tip"),
                  gratuity = showGratuity_ ? payment.int32("gratuity") : 0;
    const std::pair<int, int32_t> amounts[] = {{PaymentCellView::kSubTotalTag, subTotal},
                                               {PaymentCellView::kTipTag, tip},
                                               {PaymentCellView::kGratuityTag, gratuity}};
    for (const auto& [tag, cents] : amounts) {
        if (!cell.viewWithTag(tag)) continue;
        Color color = !adjustable                                                               ? Color::lightGray()
                      : Tender::of(type).authorisesOnly && tag == PaymentCellView::kSubTotalTag ? Color::red()
                                                                                                : Color::blue();
        Label& value = cell.valueLabel(tag);
        value.setText(Utils::formatCurrency(cents));
        value.setTextColor(color);
        TextField& entry = cell.field(tag);
        entry.setText(Utils::formatCurrency(cents));
        entry.setTextColor(color);
        entry.setDelegate(adjustable ? this : nullptr);
    }
    cell.totalLabel().setText(Utils::formatCurrency(subTotal + tip + payment.int32("gratuity")));
}

// ---- reprint

void PaymentsViewController::didDeselectRow(TableView&, IndexPath) { showChosen(); }

void PaymentsViewController::didSelectRow(TableView& table, IndexPath path) {
    if (isEditing()) {
        // A voided row has nothing left to void: it is not chosen.
        if (!canEditRow(table, path)) table.deselectRow(path, animated());
        return showChosen();
    }
    ManagedObjectPtr payment = paymentAt(path);
    if (!payment || !session_ || !session_->isLite()) return table.deselectRow(path, animated());
    const int32_t type = payment->int32("type");
    auto answer = [this, payment, type, path](int index) {
        if (index == 0) return tableView().deselectRow(path, animated());
        reprint(payment, index, type);
    };
    std::shared_ptr<AlertView> shown =
        Tender::of(type).signedSlip
            ? showAlert(this, "Confirmation", localized("Which receipt would you like to reprint?"),
                        {"Cancel", {localized("Customer"), localized("Merchant"), localized("Both")}}, answer)
            : showAlert(this, "Confirmation", localized("Would you like to reprint the customer's payment receipt?"),
                        {"No", {localized("Yes")}}, answer);
    shown->setTag(kReprintTag);
}

void PaymentsViewController::reprint(const ManagedObjectPtr& row, int buttonIndex, int32_t type) {
    const std::shared_ptr<PrinterStream>& stream = session_->printerStream();
    if (!stream) {
        alert("Alert", localized("No printer configured"), {"Cancel"});
        return;
    }
    Error error;
    if (!stream->open(&error)) {
        alert("Error", error.localizedDescription(), {"Cancel"});
        return;
    }
    ManagedObjectPtr orderRow = row->toOne("order");
    if (!orderRow) {
        stream->close();
        alert("Error", localized("Unable to find the payment's order"), {"Cancel"});
        return;
    }
    Payment payment;
    payment.read(*row);
    Order order(*orderRow, context());
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Printing"));
    // A signed slip (credit): 1 the customer's copy, 2 the merchant's, 3 both; any other tender: 1
    // the customer's.
    const bool credit = Tender::of(type).signedSlip;
    if (!credit || buttonIndex == 1 || buttonIndex == 3)
        ReceiptHelper::printPayment(payment, order, false, true, *session_, &error, *stream);
    if (credit && (buttonIndex == 2 || buttonIndex == 3))
        ReceiptHelper::printPayment(payment, order, true, true, *session_, &error, *stream);
    stream->close();
    ActivityIndicator::hide();
    if (error.isSet()) alert("Error", error.localizedDescription(), {"Ok"});
}

} // namespace tavlo::screens
