#pragma once

#include "core/order/CreditCardSwipe.h"
#include "core/order/Order.h"
#include "core/order/Payment.h"
#include "core/order/Tender.h"
#include "payments/PaymentHandler.h"
#include "platform/foundation/Error.h"
#include "platform/store/ManagedObject.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/ViewController.h"
#include "screens/common/ReceiptJob.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/SignedInController.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class PaymentHandlerAdapter;
class CardRequest;
class Session;
class Timer;
struct Notification;
} // namespace tavlo

namespace tavlo::screens {

// The screen on which one payment (one tender) is taken for an open order: the tender, the
// amounts (tendered, amount paying, gratuity, tip), the card fields or a swipe; Process checks
// the entry, builds the payment and takes it. On a terminal that is its own till (lite) a card is
// charged through the store's card gateway here and the order is queued; otherwise the order goes
// with the payment to the store gateway or to another terminal that takes it. Then the change is
// shown, the drawer opens and the slips print, and the opener's action is told.
//
// Files: PayViewController.cpp (set-up, tenders, amounts), PayViewStart.cpp (swipes, starting a
// payment), PayViewProcess.cpp (the two roads), PayViewFinish.cpp (change, drawer, receipts,
// leaving), PayViewDoneBar.cpp (the bar over a field being edited),
// PayViewLayout.cpp (the layout).
class PayViewController : public SignedInController<ui::ViewController, OrderTaskScreen>, public ui::TextFieldDelegate {
public:
    // Other screens open the pay screen by this name.
    static constexpr const char* kInterfaceName = OrderTaskScreen::kPayInterface;

    // Name alerts for those who look for them (their answers are closures): the original
    // reference of a refund and the terminals offered to pay at.
    static constexpr int kRefundReferenceTag = 93, kTerminalTag = 99;

    PayViewController();
    ~PayViewController() override;

    const std::shared_ptr<Order>& order() const { return order_; }
    void setOrder(std::shared_ptr<Order> order) override { order_ = std::move(order); }
    // Told when the screen is finished (the target's action).
    void setAction(std::function<void()> action) override { action_ = std::move(action); }
    // The payment under construction: none until the entry passed verification.
    const std::shared_ptr<Payment>& payment() const { return payment_; }
    bool captured() const { return captured_; }
    const std::shared_ptr<CreditCardSwipe>& swipe() const { return swipe_; }

    // ---- outlets, connected by the layout
    ui::SegmentedControl* payTypes() const { return outlet<ui::SegmentedControl>("payTypes"); }
    ui::TextField* field(const char* name) const { return outlet<ui::TextField>(name); }
    ui::TextField* tendered() const { return field("tendered"); }
    ui::TextField* amount() const { return field("amount"); }
    ui::TextField* gratuity() const { return field("gratuity"); }
    ui::TextField* tip() const { return field("tip"); }
    ui::TextField* number() const { return field("number"); }
    ui::TextField* expDate() const { return field("expDate"); }
    ui::TextField* secCode() const { return field("secCode"); }
    ui::TextField* zip() const { return field("zip"); }
    ui::Label* label(const char* name) const { return outlet<ui::Label>(name); }
    ui::Button* button(const char* name) const { return outlet<ui::Button>(name); }

    // ---- tenders and amounts (PayViewController.cpp)
    void paymentTypeChanged();
    void incrementTendered(int32_t cents);
    void nextUp();
    void percent(int index); // 0..2: the three percent keys
    void percentCustom();

    // ---- swipes and starting a payment (PayViewStart.cpp)
    void handleMSRNotification(const Notification& notification);
    void manual();
    void process();
    void force();

    // ---- the two roads (PayViewProcess.cpp)
    // A card charge is in flight at the card host: the screen waits for its answer.
    bool isCharging() const;

    // ---- after a payment (PayViewFinish.cpp)
    bool openDrawer(Error* error);
    void emailPrompt();
    void emailCustomerReceipt(const std::optional<std::string>& address);
    void paid();
    void cancel();

    // ---- the Done bar over a field being edited (PayViewDoneBar.cpp)
    // Ends the editing of the current field, which runs its rules.
    void done();
    ui::TextField* currentField() const { return currentField_; }
    ui::Toolbar* doneBar() const { return doneBar_.get(); }
    ui::BarButtonItem* doneButton() const { return doneButton_.get(); }

    // ---- controller and field events
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    uint32_t supportedInterfaceOrientations() const override;
    bool textFieldShouldBeginEditing(ui::TextField& field) override;
    bool textFieldShouldChangeCharacters(ui::TextField& field, ui::TextRange range, const std::string& typed) override;
    bool textFieldShouldClear(ui::TextField& field) override;
    bool textFieldShouldReturn(ui::TextField& field) override;
    void textFieldDidEndEditing(ui::TextField& field) override;

private:
    const std::vector<int32_t>& payTypeIds() const { return payTypeIds_; }
    const std::vector<ManagedObjectPtr>& payTerminals() const { return payTerminals_; }
    int32_t selectedType() const;
    std::vector<ManagedObjectPtr> readPayTerminals();
    void savePercent(const std::optional<std::string>& answer);
    void validateTendered();
    void validateAmount();
    void validateGratuity();
    // A tip larger than the amount is asked about, one too large for a payment refused.
    void validateTip();
    // The tip as it stands moves the tendered up.
    void takeTip();
    void validateExpiration();
    bool processSwipe(const std::string& bytes);
    void forcePayment(const std::optional<std::string>& approval);
    void refundByReference(const std::optional<std::string>& reference);
    void processPayment(const std::optional<std::string>& approval, const std::optional<std::string>& reference);
    void verifyAndProcess(const std::optional<std::string>& drawerId, int32_t type,
                          const std::optional<std::string>& approval, const std::optional<std::string>& reference);
    static bool needsDrawer(int32_t type) { return type == Payment::kCash; }
    void deleteFailedPayments();
    void localProcess(const std::optional<std::string>& reference);
    void localFinalize();
    // No earlier charge of the order is without an answer (the person is told otherwise).
    bool chargeable(PaymentHandlerAdapter& handler, const std::map<std::string, std::string>& config);
    // An approved card charge not yet stored with the order; null when there is none.
    std::shared_ptr<Payment> unsentCharge() const;
    // Voids the unsent approved charges at the card host; false (told) when one stays.
    bool voidUnsentCharges();
    bool needsSignature(int32_t type);
    void captureSignature(std::function<void()> completion);
    void gatewaySelect();
    void gatewayPayVia(const std::string& address);
    // "Cancel" and the terminals by name: the one chosen takes the payment.
    void offerTerminals(const std::string& title, const std::string& message, std::vector<ManagedObjectPtr> terminals);
    void showChangeDue();
    void printPaymentReceipts(bool captured);
    // The customer's copy: printed, e-mailed or none, as the store and the person choose.
    void offerCustomerReceipt(bool customerCopy);
    void printCustomerReceipt();
    void addDone(ui::TextField& field);
    // To the previous (-1) or next (1) field the tender takes.
    void moveField(int step);
    void keyboardShow();
    void keyboardHide();
    // What prints a payment slip (the merchant's or the customer's copy).
    ReceiptJob::Write slip(bool merchant) const;
    std::optional<std::string> creditHost() const;
    int32_t parsed(ui::TextField* field) const;
    void write(ui::TextField* field, int32_t cents);
    void setEnabled(ui::View* view, bool enabled);
    int32_t gratuityDue() const;
    // The gratuity the screen starts from: the unpaid part (a negative gratuity as it is).
    int32_t gratuityOwed() const;
    int32_t orderDue() const;
    void showError(const std::string& title, const Error& error, const std::string& fallback,
                   const std::string& button);
    void endEditing();
    // Ends editing, so the field's rules run before a payment is built: false when they changed an
    // amount or said something, for the person to look at before trying again.
    bool editingChecked();
    void showActivity();
    void observeKeyboard();
    void forgetKeyboard();
    void hideActivity();
    // The lite road's card call, run off the main thread; its answer comes back to charged().
    void charge(const std::string& host, const HostConfig& config, std::shared_ptr<PaymentTransaction> transaction,
                bool refund);
    void charged(const PaymentTransaction& transaction, bool called, const Error& error);
    // The overlay's text while the charge waits: which host, and for how long.
    void showWaiting();
    // The accepted payment joins the order, then the signature or the order's send.
    void accept();

    std::shared_ptr<Order> order_;
    std::function<void()> action_;
    std::shared_ptr<Payment> payment_;
    std::vector<int32_t> payTypeIds_;
    std::vector<ManagedObjectPtr> payTerminals_;
    std::shared_ptr<CreditCardSwipe> swipe_;
    // The field being edited (not owned) and the bar over it.
    ui::TextField* currentField_ = nullptr;
    std::shared_ptr<ui::Toolbar> doneBar_;
    std::shared_ptr<ui::BarButtonItem> doneButton_;
    std::vector<uint64_t> keyboardTokens_;
    std::shared_ptr<CardRequest> charging_;
    std::shared_ptr<Timer> waitingTimer_;
    bool appeared_ = false, amountModified_ = false, tipButtonUsed_ = false, captured_ = false, incrementing_ = false,
         typedSinceBegin_ = false;
};

void registerPayScreens();

} // namespace tavlo::screens
