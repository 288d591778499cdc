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
}

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
// leaving, the alert answers), PayViewDoneBar.cpp (the bar over a field being edited),
// PayViewLayout.cpp (the layout).
class PayViewController : public ui::ViewController, public ui::TextFieldDelegate, public OrderTaskScreen {
public:
    // Other screens open the pay screen by this name.
    static constexpr const char* kInterfaceName = OrderTaskScreen::kPayInterface;

    // Alert tags: what an alert's answer leads to.
    static constexpr int kForceTag = 92, kRefundReferenceTag = 93, kReceiptChoiceTag = 94, kTipConfirmTag = 95,
                         kRefundConfirmTag = 96, kEmailFailedTag = 97, kDrawerTag = 98, kTerminalTag = 99;

    PayViewController();
    ~PayViewController() override;

    Session* session() const { return session_; }
    void setSession(Session* session) override { session_ = session; }
    const std::shared_ptr<Order>& order() const { return order_; }
    void setOrder(std::shared_ptr<Order> order) override { order_ = std::move(order); }
    // Told when the screen is finished (the target's action).
    void setAction(std::function<void()> action) override { action_ = std::move(action); }
    // The payment under construction: none until the entry passed verification.
    const std::shared_ptr<Payment>& payment() const { return payment_; }
    const std::vector<int32_t>& payTypeIds() const { return payTypeIds_; }
    const std::vector<ManagedObjectPtr>& payTerminals() const { return payTerminals_; }
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
    int32_t selectedType() const;
    std::vector<ManagedObjectPtr> readPayTerminals();
    void incrementTendered(int32_t cents);
    void nextUp();
    void percent(int index);  // 0..2: the three percent keys
    void percentCustom();
    void savePercent(const std::optional<std::string>& answer);
    void validateTendered();
    void validateAmount();
    void validateGratuity();
    // A tip larger than the amount is asked about, one too large for a payment refused.
    void validateTip();
    // The tip as it stands moves the tendered up.
    void takeTip();
    void validateExpiration();

    // ---- swipes and starting a payment (PayViewStart.cpp)
    void handleMSRNotification(const Notification& notification);
    bool processSwipe(const std::string& bytes);
    void manual();
    void process();
    void force();
    void forcePayment(const std::optional<std::string>& approval);
    void refundByReference(const std::optional<std::string>& reference);
    void processPayment(const std::optional<std::string>& approval, const std::optional<std::string>& reference);
    void verifyAndProcess(const std::optional<std::string>& drawerId, int32_t type,
                          const std::optional<std::string>& approval, const std::optional<std::string>& reference);
    void deleteFailedPayments();

    // ---- the two roads (PayViewProcess.cpp)
    void localProcess(const std::optional<std::string>& reference);
    // A card charge is in flight at the card host: the screen waits for its answer.
    bool isCharging() const;
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

    // ---- after a payment (PayViewFinish.cpp)
    void showChangeDue();
    bool openDrawer(Error* error);
    void printPaymentReceipts(bool captured);
    // The customer's copy: printed, e-mailed or none, as the store and the person choose.
    void offerCustomerReceipt(bool customerCopy);
    void printCustomerReceipt();
    void emailPrompt();
    void emailCustomerReceipt(const std::optional<std::string>& address);
    void paid();
    void cancel();
    void alertClicked(ui::AlertView& alert, int buttonIndex);

    // ---- the Done bar over a field being edited (PayViewDoneBar.cpp)
    void addDone(ui::TextField& field);
    // Ends the editing of the current field, which runs its rules.
    void done();
    // To the previous (-1) or next (1) field the tender takes.
    void moveField(int step);
    void keyboardShow();
    void keyboardHide();
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
    // An alert whose answer goes to alertClicked (by its tag).
    std::shared_ptr<ui::AlertView> alert(const std::string& title, const std::optional<std::string>& message,
                                         const std::string& cancel, const std::vector<std::string>& others = {},
                                         int tag = 0);
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

    Session* session_ = nullptr;
    std::shared_ptr<Order> order_;
    std::function<void()> action_;
    std::shared_ptr<Payment> payment_;
    std::vector<int32_t> payTypeIds_;
    std::vector<ManagedObjectPtr> payTerminals_;
    // Terminals offered by the last "pay elsewhere" prompt, in button order.
    std::vector<ManagedObjectPtr> offeredTerminals_;
    // Drawer ids of the last drawer prompt, in button order.
    std::vector<std::string> offeredDrawers_;
    std::shared_ptr<CreditCardSwipe> swipe_;
    // The field being edited (not owned) and the bar over it.
    ui::TextField* currentField_ = nullptr;
    std::shared_ptr<ui::Toolbar> doneBar_;
    std::shared_ptr<ui::BarButtonItem> doneButton_;
    std::vector<uint64_t> keyboardTokens_;
    std::shared_ptr<CardRequest> charging_;
    std::shared_ptr<Timer> waitingTimer_;
    bool appeared_ = false, amountModified_ = false, tipButtonUsed_ = false, captured_ = false,
         incrementing_ = false, typedSinceBegin_ = false;
};

void registerPayScreens();

} // namespace tavlo::screens
