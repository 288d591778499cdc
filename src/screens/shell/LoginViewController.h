#pragma once

#include "core/ports/PrinterStream.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/store/ManagedObject.h"
#include "platform/store/ObjectContext.h"
#include "platform/store/ObjectStore.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Button.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"
#include "screens/common/Alerts.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/shell/BroadcastListener.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tavlo {
class MSRMediator;
class Session;
} // namespace tavlo

namespace tavlo::screens {

class RootViewController;

// The sign-in screen (interface "LoginView"), the terminal's resting screen: an employee signs in
// with a number or a card swipe, or clocks in and out. While it is loaded it holds the receipt
// printer made from the terminal's configuration, listens to the store server's announcements and
// shows its messages, and takes card swipes through the card-reader mediator. Its bar offers the
// system status screen and a reload of the whole store.
//
// A good sign-in makes the session that every later screen works with and opens the
// administration screen ("LiteAdminView") when the store is closed and the terminal may open it
// (lite mode or HH_ALLOW_ADMIN), else the orders main screen ("OrdersView"): pushed on this
// screen's navigation on the phone, on the root pane after dismissing this screen on the pad.
// Outside lite mode the open orders are read from the gateway first; when it cannot be reached,
// the store's other terminals are offered as gateways.
class LoginViewController : public ui::ViewController, public ui::TextFieldDelegate {
public:
    static constexpr const char* kInterfaceName = kLoginInterface;
    // Names the disabled terminal's alert among the alerts.
    static constexpr int kDisabledAlertTag = 200;
    // The money fields of the tips prompts.
    static constexpr int kAmountFieldTag = 123;

    LoginViewController();
    ~LoginViewController() override;

    // Outlets, connected by the interface.
    ui::TextField* textNumber() const { return outlet<ui::TextField>("textNumber"); }
    ui::Button* btnLogin() const { return outlet<ui::Button>("btnLogin"); }
    ui::Button* btnClockIn() const { return outlet<ui::Button>("btnClockIn"); }
    ui::Button* btnClockOut() const { return outlet<ui::Button>("btnClockOut"); }
    // The product's name: "tavlo", or "tavlo lite" in lite mode.
    ui::Button* iconImage() const { return outlet<ui::Button>("iconImage"); }

    // The main context and its store, handed in by whoever shows the screen; DBHelper's shared
    // ones by default.
    std::shared_ptr<ObjectContext> managedObjectContext() const;
    void setManagedObjectContext(std::shared_ptr<ObjectContext> context) { context_ = std::move(context); }
    std::shared_ptr<ObjectStore> persistentStoreCoordinator() const;
    void setPersistentStoreCoordinator(std::shared_ptr<ObjectStore> store) { coordinator_ = std::move(store); }
    // Pad: the root pane that presents this screen and receives the next one.
    void setRootPane(std::weak_ptr<RootViewController> root) { rootPane_ = std::move(root); }

    const std::shared_ptr<PrinterStream>& printerStream() const { return printerStream_; }
    BroadcastListener* broadcastListener() const { return listener_.get(); }
    bool loginByEnter() const { return loginByEnter_; }
    // The screen has told that the terminal is disabled.
    bool isDisabledShown() const { return disabled_; }

    // --- actions of the interface
    // Login: signs in the user of the number field.
    void done();
    void clockIn();
    void clockOut();
    // The product's name: opens the maker's page.
    void tavlo();

    // The card-reader mediator of the device's "msr" default or the store's HH_MSR_TYPE; null
    // when neither names a reader.
    MSRMediator* initMSR();

    // --- the controller
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    uint32_t supportedInterfaceOrientations() const override;
    bool textFieldShouldReturn(ui::TextField& field) override;
    bool textFieldShouldChangeCharacters(ui::TextField& field, ui::TextRange range,
                                         const std::string& replacement) override;

private:
    // The bar: the system status screen and a reload of the whole store.
    void systemStatus();
    void systemReload();
    // Phone: the number pad's bar.
    void hideNumberPad();
    void loginWithNumberPad();

    void authenticate(const std::string& userId);
    void completeAuthenticate(const std::shared_ptr<Session>& session);
    void clockIn(const std::string& numberOrCard, const std::optional<std::string>& roleId);
    void clockOut(const std::string& numberOrCard, int32_t cashTips, int32_t tipOut);
    // The user of a card's text (carriage returns at its ends removed); none when no user has it.
    std::optional<std::string> userFromTrackData(const std::string& card);
    // The one user whose card text or number is exactly `text`.
    ManagedObjectPtr userFromNumberOrTrackData(const std::string& text);
    std::shared_ptr<PrinterStream> initPrinter();
    // Loads the whole store and the orders again with the handlers paused. Any thread but the
    // main one (it waits for the server).
    void reload();
    // The body of the reload's thread: under the overlay.
    void manualReload();
    void handleMSRNotification(const Notification& notification);
    // Pauses the handlers and tells that the terminal is disabled.
    void disabled();

    ManagedObjectPtr thisTerminal();
    bool isPad() const;
    // Pushes the screen a sign-in opens (phone) or hands it to the root pane (pad).
    void openNextScreen(const std::shared_ptr<Session>& session, bool admin, bool showLayout);
    void offerOtherGateways();
    void gatewayChosen(int buttonIndex);
    void roleChosen(const std::string& roleName);
    // With the number field empty, the clock asks for a card; the swipe then clocks in or out.
    void askForSwipe(bool clockOut);
    // The tips prompt of the clock-out (cash tips or tip out): "Ok" hands on the amount typed,
    // "Cancel" none.
    void askForTips(const std::string& message, std::function<void(std::optional<int32_t> cents)> entered);
    // The clock-out's two tips prompts: the cash tips, then the tip out.
    void cashTipsEntered(int32_t cents);
    void clearNumberField();
    // Runs manualReload on the reload's own thread.
    void startManualReload();
    void printClockTicket(Session& session, const ManagedObjectPtr& user, Date in, std::optional<Date> out);

    std::shared_ptr<ObjectContext> context_;
    std::shared_ptr<ObjectStore> coordinator_;
    std::weak_ptr<RootViewController> rootPane_;
    std::shared_ptr<PrinterStream> printerStream_;
    std::unique_ptr<BroadcastListener> listener_;
    bool lite_ = false;
    bool disabled_ = false;
    bool loginByEnter_ = true;
    std::shared_ptr<ui::AlertView> swipeAlert_;
    // The card the swipe alert asks for clocks out (else in).
    bool swipeClocksOut_ = false;
    int32_t cashTipsForClockOut_ = 0;
};

// Registers the layout and the controller under "LoginView".
void registerLoginView();

} // namespace tavlo::screens
