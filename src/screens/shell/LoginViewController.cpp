#include "screens/shell/LoginViewController.h"

#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "devices/MSRMediator.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/shell/DetailViewController.h"
#include "screens/shell/RootViewController.h"
#include "screens/shell/SettingsViewController.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/handlers/StoreHandler.h"

#include <any>

namespace tavlo::screens {

using namespace ui;

LoginViewController::LoginViewController() : ViewController(kInterfaceName) {}

LoginViewController::~LoginViewController() {
    // Gone without leaving the screen (its window changed hands): no swipe may reach it.
    MSRMediator::getInstance().unregisterObserver(this);
    if (printerStream_) printerStream_->close();
}

std::shared_ptr<ObjectContext> LoginViewController::managedObjectContext() const {
    return context_ ? context_ : DBHelper::mainContext();
}

std::shared_ptr<ObjectStore> LoginViewController::persistentStoreCoordinator() const {
    return coordinator_ ? coordinator_ : DBHelper::sharedStore();
}

bool LoginViewController::isPad() const {
    Application* app = Application::current();
    return app && app->idiom() == DeviceIdiom::Tablet;
}

ManagedObjectPtr LoginViewController::thisTerminal() {
    return DBHelper::getTerminal(IDBroker::deviceIdentifier(), managedObjectContext().get());
}

void LoginViewController::clearNumberField() {
    textNumber()->setText("");
    textNumber()->becomeFirstResponder();
}

// ---- the controller

void LoginViewController::viewDidLoad() {
    navigationItem().setRightBarButtonItem(
        BarButtonItem::system(SystemItem::Search, [this](BarButtonItem&) { systemStatus(); }));
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::system(SystemItem::Refresh, [this](BarButtonItem&) { systemReload(); }));
    ObjectContext* moc = managedObjectContext().get();
    lite_ = Parameters::flag(Parameter::Lite, moc);

    loginByEnter_ = true;
    printerStream_ = initPrinter();
    if (lite_) iconImage()->setTitle("tavlo lite");
    listener_ = std::make_unique<BroadcastListener>(moc);
    textNumber()->setDelegate(this);

    if (!isPad()) {
        auto bar = std::make_shared<Toolbar>(Rect(0, 0, view()->bounds().size.width, 44));
        bar->setItems({BarButtonItem::titled(localized("Hide"), BarButtonStyle::Bordered,
                                             [this](BarButtonItem&) { hideNumberPad(); }),
                       BarButtonItem::flexibleSpace(),
                       BarButtonItem::titled(localized("Login"), BarButtonStyle::Done,
                                             [this](BarButtonItem&) { loginWithNumberPad(); })});
        textNumber()->setInputAccessoryView(bar);
    }
}

void LoginViewController::viewWillAppear(bool) {
    ManagedObjectPtr terminal = thisTerminal();
    std::optional<std::string> storeName = Parameters::text(Parameter::StoreName, managedObjectContext().get());
    std::optional<std::string> terminalName = terminal ? terminal->text("name") : std::nullopt;
    if (isPad() && storeName && terminalName) setTitle(format("%@ (%@)", storeName, terminalName));
    else if (storeName) setTitle(storeName);

    if (NavigationController* navigation = navigationController()) navigation->setToolbarHidden(true);
    initMSR();
    if (!terminal || terminal->boolean("disabled")) {
        disabled();
        disabled_ = true;
    }
}

void LoginViewController::viewDidAppear(bool) {
    bool attendance = Parameters::flag(Parameter::ModuleTimeAttendance, managedObjectContext().get());
    for (Button* button : {btnClockIn(), btnClockOut()}) {
        button->setEnabled(attendance);
        button->setHidden(!attendance);
    }
    MSRMediator::getInstance().registerObserver(this,
                                                [this](const Notification& note) { handleMSRNotification(note); });
    if (isPad()) textNumber()->becomeFirstResponder();
}

void LoginViewController::viewWillDisappear(bool) { MSRMediator::getInstance().unregisterObserver(this); }

void LoginViewController::viewDidDisappear(bool) { textNumber()->setText(""); }

uint32_t LoginViewController::supportedInterfaceOrientations() const {
    return isPad() ? OrientationMask::Landscape : OrientationMask::Portrait;
}

bool LoginViewController::textFieldShouldReturn(TextField& field) {
    if (isPad()) {
        if (loginByEnter_) done();
        return false;
    }
    field.resignFirstResponder();
    if (loginByEnter_) done();
    return true;
}

void LoginViewController::hideNumberPad() { textNumber()->resignFirstResponder(); }

void LoginViewController::loginWithNumberPad() {
    textNumber()->resignFirstResponder();
    done();
}

void LoginViewController::tavlo() {
    TAVLO_LOG("Visiting the contact page");
    if (Application* app = Application::current()) app->openURL(SettingsViewController::contactPageURL());
}

// ---- sign-in

ManagedObjectPtr LoginViewController::userFromNumberOrTrackData(const std::string& text) {
    return managedObjectContext()->fetchFirst("User", "trackData == %@ OR number == %@", text, text);
}

std::optional<std::string> LoginViewController::userFromTrackData(const std::string& card) {
    size_t first = card.find_first_not_of('\r');
    size_t last = card.find_last_not_of('\r');
    std::string trimmed = first == std::string::npos ? std::string() : card.substr(first, last - first + 1);
    ManagedObjectPtr user = managedObjectContext()->fetchFirst("User", "trackData == %@", trimmed);
    return user ? user->text("userId") : std::nullopt;
}

void LoginViewController::done() {
    const std::string number = textNumber()->text();
    if (number.empty()) {
        showAlert(this, "Error", localized("Enter your employee number or swipe your card in order to login"), {"Ok"});
        return;
    }
    ManagedObjectPtr user = userFromNumberOrTrackData(number);
    if (!user) {
        showAlert(this, "Error", localized("Unable to authenticate, verify your credentials and try again"), {"Ok"});
        return;
    }
    authenticate(user->text("userId").value_or(""));
}

void LoginViewController::authenticate(const std::string& userId) {
    ManagedObjectPtr terminal = thisTerminal();
    if (!terminal || terminal->boolean("disabled")) {
        disabled();
        return;
    }
    std::shared_ptr<ObjectContext> context = managedObjectContext();
    auto session = std::make_shared<Session>(context.get());
    session->setManagedObjectModel(&context->store()->model());
    session->setPrinterStream(printerStream_);
    if (!session->authenticate(userId)) {
        showAlert(this, "Error", localized("Unable to authenticate, verify your credentials and try again"), {"Ok"});
        return;
    }
    if (session->isUpgradeRequired()) {
        showAlert(this, "Alert",
                  localized("You must upgrade to the latest version. In order to upgrade, open the App Store "
                            "and select Updates"),
                  {"Ok"});
        TAVLO_LOG_MAIL("Upgrade completed, remove parameter HH_MINIMUM_VERSION");
        return;
    }
    if (session->isLite()) {
        ActivityIndicator::show(view(), false);
        ActivityIndicator::setStatus(localized("Updating orders"));
    }
    completeAuthenticate(session);
}

void LoginViewController::completeAuthenticate(const std::shared_ptr<Session>& session) {
    ObjectContext* moc = session->managedObjectContext();
    bool lite = session->isLite();
    bool allowAdmin = false;
    bool storeOpen = false;
    Error error;
    if (lite) {
        storeOpen = session->isStoreOpen();
        // Paying by card needs this terminal's own batch of the open day; without it the store's
        // day is not one this terminal can close either.
        Error batchError;
        if (storeOpen && !session->joinOpenDay(&batchError))
            TAVLO_LOG_MAIL("Login: %@", batchError.localizedDescription());
    } else {
        ActivityIndicator::show(view(), false);
        ActivityIndicator::setStatus(localized("Updating orders"));
        allowAdmin = Parameters::flag(Parameter::AllowAdmin, moc);
        storeOpen = OrderHandler::getInstance()->updateOrderSummaries(
            session->storeId(), session->password(), session->userId(), CommHelper::gateway().value_or(""), true, moc,
            &error);
        if (error.isSet()) TAVLO_LOG("Login: %@", error.localizedDescription());
        if (!storeOpen && !error.isSet() && !allowAdmin)
            error = Error(Utils::kStoreServerErrorDomain, -1,
                          localized("Store is currently closed. A manager must open the store before taking orders"));
    }
    ActivityIndicator::hide();

    // A warning (code 0) comes with a good answer: it is logged above and the sign-in goes on.
    if (!lite && error.isSet() && error.code() != 0) {
        TAVLO_LOG("Unable to update open orders: %@", error.localizedDescription());
        if (error.code() == -1) {
            showAlert(this, "Alert", error.localizedDescription(), {"Ok"});
        } else if (!CommHelper::isWiFiConnected()) {
            showAlert(this, "Error",
                      localized("WiFi Disconnected! Make sure you are within the WiFi area of the store"), {"Ok"});
        } else if (!Session::getOtherTerminals(CommHelper::gateway(), moc).empty()) {
            offerOtherGateways();
        } else {
            AlertView::make(localized("Error"),
                            format("%@ (%@)", localized("Unable to refresh orders list"), CommHelper::gateway()),
                            localized("OK"))
                ->show();
        }
        return;
    }

    bool tableLayout = Parameters::flag(Parameter::ModuleTableLayout, moc);
    bool admin = (lite || allowAdmin) && !storeOpen;
    openNextScreen(session, admin, tableLayout && session->isGranted(Right::LoginInitTableLayout));
}

void LoginViewController::openNextScreen(const std::shared_ptr<Session>& session, bool admin, bool showLayout) {
    std::shared_ptr<ViewController> next =
        InterfaceRegistry::shared().instantiate(admin ? kAdminInterface : kOrdersInterface);
    if (auto* screen = dynamic_cast<SignedInScreen*>(next.get())) {
        screen->setSession(session);
        screen->setRoot(true);
    }
    auto* orders = admin ? nullptr : dynamic_cast<OrdersMainScreen*>(next.get());
    if (orders) orders->setShowLayout(showLayout);

    std::shared_ptr<RootViewController> root = isPad() ? rootPane_.lock() : nullptr;
    if (!root) {
        if (NavigationController* navigation = navigationController()) navigation->push(next, session->useAnimation());
        return;
    }
    if (orders) {
        orders->setUpdateOnAppear(showLayout);
        std::optional<std::string> updateOnExit =
            Parameters::text(Parameter::UpdateOrdersOnExit, session->managedObjectContext());
        orders->setUpdateOnExit(!updateOnExit || boolValue(*updateOnExit));
    }
    root->signedIn(session, title(), admin ? nullptr : next);
    dismiss(false);
    if (NavigationController* navigation = root->navigationController()) navigation->push(next, !admin);
}

// ---- another terminal as the gateway

void LoginViewController::offerOtherGateways() {
    std::optional<std::string> gateway = CommHelper::gateway();
    bool set = gateway && !gateway->empty() && *gateway != ".local";
    std::vector<std::string> names;
    for (const ManagedObjectPtr& terminal : Session::getOtherTerminals(gateway, managedObjectContext().get()))
        names.push_back(terminal->text("name").value_or(""));
    auto chosen = [this](int button) { gatewayChosen(button); };
    if (set)
        showAlert(this, "Error",
                  format("%@ (%@) %@", localized("Unable to connect to the current gateway"), gateway,
                         localized("Would you like to select a different terminal as gateway?")),
                  {"Cancel", names}, chosen);
    else
        showAlert(this, "Alert", localized("Gateway missing, select terminal to use as gateway"), {"Cancel", names},
                  chosen);
}

void LoginViewController::gatewayChosen(int buttonIndex) {
    std::vector<ManagedObjectPtr> others =
        Session::getOtherTerminals(CommHelper::gateway(), managedObjectContext().get());
    if (buttonIndex < 1 || buttonIndex > static_cast<int>(others.size())) return;
    std::optional<std::string> networkName = others[buttonIndex - 1]->text("networkName");
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(networkName, "gateway");
    defaults.synchronize();
    CommHelper::setGateway(CommHelper::formatTavloURL(networkName));

    const std::string number = textNumber()->text();
    if (number.empty()) return;
    if (ManagedObjectPtr user = userFromNumberOrTrackData(number)) authenticate(user->text("userId").value_or(""));
}

// ---- alerts, swipes, the disabled terminal

void LoginViewController::handleMSRNotification(const Notification& notification) {
    if (notification.name != kMsrReceivedDataNotification) return;
    const auto* data = std::any_cast<std::string>(&notification.object);
    if (!data || data->empty()) return;
    const std::string card = *data;
    if (card.front() == 'E') {
        showAlert(this, "Error", localized("Unable to read card, please try again"), {"Ok"});
        return;
    }
    std::optional<std::string> userId = userFromTrackData(card);
    if (!userId) {
        showAlert(this, "Alert",
                  localized("The swiped card does not match any user. Swipe another card or enter a login number"),
                  {"Ok"});
        return;
    }
    textNumber()->setText(card);
    if (std::shared_ptr<AlertView> prompt = std::move(swipeAlert_)) {
        prompt->dismiss(0, false);
        if (swipeClocksOut_) clockOut();
        else clockIn();
        return;
    }
    authenticate(*userId);
}

void LoginViewController::disabled() {
    if (std::shared_ptr<StoreHandler> store = StoreHandler::instance()) store->pause();
    if (std::shared_ptr<OrderHandler> orders = OrderHandler::instance()) orders->pause();
    showAlert(this, "Alert",
              disabled_ ? localized("Terminal disabled")
                        : localized("Terminal has been disabled, contact support personnel to re-enable it"),
              {"Ok"})
        ->setTag(kDisabledAlertTag);
}

} // namespace tavlo::screens
