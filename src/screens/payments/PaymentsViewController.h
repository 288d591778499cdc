#pragma once

#include "core/order/Payment.h"
#include "core/order/Tender.h"
#include "platform/store/FetchedResultsController.h"
#include "platform/store/ManagedObject.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/TableViewController.h"
#include "platform/ui/TextField.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class ObjectContext;
class Order;
class PaymentHandlerAdapter;
class Session;
} // namespace tavlo

namespace tavlo::screens {

class PaymentCellView;

// A list of stored payments on which a user voids a payment (swipe, confirm "Void"), adjusts its
// sub-total, tip and gratuity (the amount fields of an adjustable row while the table edits) and
// reprints its receipt (a tap on the row, on a terminal that is its own till). Card payments of
// such a terminal are voided and adjusted at the store's card host first; every change is stored
// and the order is sent again. The day's list and one order's list give it their query.
//
// Files: PaymentsViewController.cpp (the table, rows, reprint), PaymentsVoid.cpp (voids),
// PaymentsAdjust.cpp (amount editing and adjustments).
class PaymentsViewController : public ui::TableViewController, public ui::TextFieldDelegate {
public:
    // The layout both lists share.
    static constexpr const char* kInterfaceName = "PaymentsView";
    static constexpr int kReprintTag = 99;

    PaymentsViewController();
    ~PaymentsViewController() override;

    Session* session() const { return session_; }
    void setSession(Session* session) { session_ = session; }
    bool showGratuity() const { return showGratuity_; }
    void setShowGratuity(bool show) { showGratuity_ = show; }
    bool showOrderName() const { return showOrderName_; }
    void setShowOrderName(bool show) { showOrderName_ = show; }
    // Adjustments waiting to be sent, one per payment.
    const std::vector<std::shared_ptr<Payment>>& paymentsToAdjust() const { return paymentsToAdjust_; }

    // The list, built by the subclass's query on first use.
    FetchedResultsController* fetchedResultsController();
    // The stored payment of a row; null outside the list.
    ManagedObjectPtr paymentAt(ui::IndexPath path);
    // Not voided, and cash only while its drawer session is still open.
    static bool canVoidPayment(const ManagedObject& payment);

    // ---- voids (PaymentsVoid.cpp)
    // A void cannot be taken back: asks first, then goes on as requestVoid.
    void confirmVoid(const ManagedObjectPtr& payment);
    // Asks for the right to void the row's payment (or a manager's authorisation), then voids it.
    void requestVoid(const ManagedObjectPtr& payment);
    // Voids the payment as authorised by the user (none: the signed-in user) and says how it went.
    void voidPayment(const ManagedObjectPtr& payment, const std::optional<std::string>& authorizedBy);
    // The rows chosen while editing, voided together once the right is there (or authorised).
    void voidSelected();
    // Voids each payment in turn, then says in one alert how it went.
    void voidPayments(const std::vector<ManagedObjectPtr>& payments, const std::optional<std::string>& authorizedBy);

    // ---- adjustments (PaymentsAdjust.cpp)
    // The row's amounts as edited, taken with the right to adjust (or a manager's authorisation).
    void adjustEdited(PaymentCellView& cell);
    // Queues the amounts of the row's fields as the adjustment of its payment; sends at once when
    // the table is not editing.
    void saveAdjustment(PaymentCellView& cell);
    // Sends every queued adjustment and shows what came of them.
    void adjustAllNeeded();
    // Sends one adjustment; answers the text to show.
    std::string adjustPayment(Payment& payment);

    void print();
    void close();

    // ---- controller, table and field events
    void viewDidLoad() override;
    void setEditing(bool editing, bool animated) override;
    uint32_t supportedInterfaceOrientations() const override;

    int numberOfSections(ui::TableView&) override;
    int numberOfRows(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    bool canEditRow(ui::TableView&, ui::IndexPath path) override;
    void commitEditing(ui::TableView&, ui::EditingStyle style, ui::IndexPath path) override;
    std::optional<std::string> titleForDeleteConfirmation(ui::TableView&, ui::IndexPath) override;
    ui::EditingStyle editingStyleForRow(ui::TableView& table, ui::IndexPath path) override;
    double heightForRow(ui::TableView&, ui::IndexPath) override;
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;
    void didDeselectRow(ui::TableView& table, ui::IndexPath path) override;

    bool textFieldShouldBeginEditing(ui::TextField& field) override;
    bool textFieldShouldChangeCharacters(ui::TextField& field, ui::TextRange range, const std::string& typed) override;
    void textFieldDidEndEditing(ui::TextField& field) override;

protected:
    // The subclass's query of the payments it lists.
    virtual std::unique_ptr<FetchedResultsController> makeFetchedResultsController() = 0;
    // Reads the list again and reloads the table; a failure is logged and mailed.
    void refetch();
    // Told after the list was read again (a void or an adjustment may have changed the order).
    virtual void listReloaded() {}
    // Drops the query, so the next use builds it again.
    void resetFetchedResultsController() { results_.reset(); }
    // An alert "Alert" with "Ok".
    void alert(const std::string& message);
    std::shared_ptr<ui::AlertView> alert(const std::string& title, const std::optional<std::string>& message,
                                         const std::string& cancel, const std::vector<std::string>& others,
                                         std::function<void(int buttonIndex)> answer);
    ObjectContext* context() const;
    bool animated() const;
    // The card host's handler and settings (the store value PAYMENT_CREDIT_HOST); none: `message`
    // says why.
    std::shared_ptr<PaymentHandlerAdapter> creditHandler(std::map<std::string, std::string>& config,
                                                         std::string& message) const;
    // Card tenders that the card host handles on a terminal that is its own till.
    static bool goesToCardHost(int32_t type);
    // The wait overlay over the list.
    void showActivity(const std::string& text);
    // "These type of payments are not adjustable", and stays out of editing.
    void refuseEditing();

    // The row cell a view (an amount field) sits in; null for none.
    static PaymentCellView* cellOf(ui::View& view);

private:
    // The bar's "Void" names how many rows are chosen.
    void showChosen();
    // One payment's void; answers the text to show.
    std::string voidOne(const ManagedObjectPtr& payment, const std::optional<std::string>& authorizedBy);
    void reprint(const ManagedObjectPtr& payment, int buttonIndex, int32_t type);
    void showRow(PaymentCellView& cell, const ManagedObject& payment);
    // Opens the authorisation prompt; its answer goes to `granted` with the authorising user.
    void authorize(const std::string& title, const std::string& permission,
                   std::function<void(const std::string& userId)> granted);
    // The order's copy of the payment, after `change` was applied to it, goes with the order to
    // the server; the order is stored first when `storeFirst`, else only once sent.
    bool changeOnOrder(const ManagedObject& payment, const std::function<void(Order&, Payment&)>& change,
                       bool storeFirst, Error* error);
    // "text (the error's description)", "unknown reason" without one.
    static std::string failure(const std::string& text, const Error& error);

    Session* session_ = nullptr;
    std::unique_ptr<FetchedResultsController> results_;
    bool showGratuity_ = false;
    bool showOrderName_ = false;
    std::vector<std::shared_ptr<Payment>> paymentsToAdjust_;
    // The amount field typed in last, until its editing ends.
    std::weak_ptr<ui::View> lastEditedField_;
    std::shared_ptr<ui::BarButtonItem> voidButton_;
};

void registerPaymentsScreens();

} // namespace tavlo::screens
