#include "screens/shell/SettingsViewController.h"

#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "payments/PaymentHandlerFactory.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/render/Theme.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/Alerts.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OperationSynchCustomers.h"
#include "sync/handlers/OperationSynchOrders.h"
#include "sync/storeload/OperationSynchStore.h"

#include <exception>
#include <mutex>

namespace tavlo::screens {

using namespace ui;

// What a load works with, taken on the main thread before its thread starts.
struct SettingsViewController::LoadRequest {
    std::string storeId;
    std::string password;
    std::string gateway; // as typed
    std::optional<std::string> associationCode;
    int timeout = kDefaultNetworkTimeout;
    std::shared_ptr<ObjectStore> coordinator;
    Observer observer;
};

namespace {

struct Addresses {
    std::mutex lock;
    std::string hostedService = "https://tavlo.example/xml/XmlHandler.jsp";
    std::string contactPage = "https://tavlo.example/contact";
};

Addresses& addresses() {
    static Addresses a;
    return a;
}

std::optional<std::string> nonEmpty(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return text;
}

// Set-up loads run here, one at a time. The queue lives as long as the process: a load may be
// waiting for the main thread when the program ends, and nothing must wait for it then.
OperationQueue& loadQueue() {
    static OperationQueue* queue = new OperationQueue(1);
    return *queue;
}

// The full address of a gateway as typed or stored; "" for none.
std::string serverURL(const std::string& gateway) { return CommHelper::formatTavloURL(gateway).value_or(""); }

} // namespace

SettingsViewController::SettingsViewController() : ViewController(kInterfaceName) {}

SettingsViewController::~SettingsViewController() = default;

std::shared_ptr<ObjectContext> SettingsViewController::context() const {
    return context_ ? context_ : DBHelper::mainContext();
}

std::shared_ptr<ObjectStore> SettingsViewController::persistentStoreCoordinator() const {
    return coordinator_ ? coordinator_ : DBHelper::sharedStore();
}

std::string SettingsViewController::hostedServiceURL() {
    std::lock_guard guard(addresses().lock);
    return addresses().hostedService;
}

void SettingsViewController::setHostedServiceURL(std::string url) {
    std::lock_guard guard(addresses().lock);
    addresses().hostedService = std::move(url);
}

std::string SettingsViewController::contactPageURL() {
    std::lock_guard guard(addresses().lock);
    return addresses().contactPage;
}

void SettingsViewController::setContactPageURL(std::string url) {
    std::lock_guard guard(addresses().lock);
    addresses().contactPage = std::move(url);
}

// ---- the screen

void SettingsViewController::viewDidLoad() {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    if (auto storeId = defaults.stringForKey("store_id")) textStoreId()->setText(*storeId);
    if (auto password = defaults.stringForKey("password")) textStorePassword()->setText(*password);
    if (auto gateway = defaults.stringForKey("gateway")) textStoreGateway()->setText(*gateway);
    for (TextField* field : {textStoreId(), textStorePassword(), textStoreGateway()}) field->setDelegate(this);
    // A lite store talks to the hosted service only: there is no terminal to relay through.
    if (isLite()) {
        TextField* gateway = textStoreGateway();
        gateway->setEnabled(false);
        gateway->setTextColor(render::theme::mutedInk());
        gateway->setBackgroundColor(render::theme::groupBackground());
        gateway->setCornerRadius(6);
    }
    defaults.synchronize();

    bool wifi = CommHelper::isWiFiConnected();
    lblNetInfo()->setText(format(localized("(WiFi: %@, IP: %@)"), wifi ? CommHelper::ssid() : "<disconnected>",
                                 wifi ? CommHelper::localIPAddress() : ""));
}

void SettingsViewController::viewDidAppear(bool) {
    Application* app = Application::current();
    if (app && app->idiom() == DeviceIdiom::Tablet) textStoreId()->becomeFirstResponder();
}

uint32_t SettingsViewController::supportedInterfaceOrientations() const {
    Application* app = Application::current();
    return app && app->idiom() == DeviceIdiom::Tablet ? OrientationMask::Landscape : OrientationMask::Portrait;
}

bool SettingsViewController::textFieldShouldReturn(TextField& field) {
    // The pad's keyboard has its own key to hide it; the phone's return key puts it away.
    Application* app = Application::current();
    if (!app || app->idiom() == DeviceIdiom::Phone) field.resignFirstResponder();
    return true;
}

bool SettingsViewController::isLite() { return Parameters::flag(Parameter::Lite, context().get()); }

void SettingsViewController::showError(const std::string& message) {
    performOnMainThread([message] { showAlert(nullptr, "Error", message, {"Ok"}); });
}

// ---- actions

void SettingsViewController::saveSettings() {
    TAVLO_LOG("*** STORE:%@", textStoreId()->text());
    if (textStoreId()->text().empty() || textStorePassword()->text().empty()) {
        showAlert(this, "Validation", localized("Please specify store, and password"), {"Ok"});
        TAVLO_LOG("*** User did not specify all config settings");
        return;
    }
    for (TextField* field : {textStoreId(), textStorePassword(), textStoreGateway()})
        if (field->isFirstResponder()) field->resignFirstResponder();

    auto setUp = [](AlertView& prompt) { prompt.setStyle(AlertViewStyle::PlainTextInput); };
    showAlert(
        this, "Association Code",
        localized("If you have an association code, enter it here and press Ok. If not, just press Ok"),
        {std::nullopt, {localized("Ok")}}, [this](int, const std::string& code) { synch(nonEmpty(code)); }, setUp)
        ->setTag(kAssociationCodeAlertTag);
}

void SettingsViewController::tavlo() {
    TAVLO_LOG("Visiting the contact page");
    if (Application* app = Application::current()) app->openURL(contactPageURL());
}

void SettingsViewController::testGateway() {
    std::string gateway = textStoreGateway()->text();
    if (gateway.empty()) {
        showAlert(this, "Error", localized("Please specify a gateway so we can verify connectivity"), {"Ok"});
        return;
    }
    if (Application* app = Application::current()) app->openURL(percentEncodeURL(serverURL(gateway)));
}

// ---- the load

int SettingsViewController::initialNetworkTimeout() {
    int64_t seconds = UserDefaults::standardUserDefaults().integerForKey("initial_network_timeout");
    return seconds > 0 ? static_cast<int>(seconds) : kDefaultNetworkTimeout;
}

void SettingsViewController::synch(const std::optional<std::string>& associationCode) {
    LoadRequest request{textStoreId()->text(),
                        textStorePassword()->text(),
                        textStoreGateway()->text(),
                        associationCode,
                        initialNetworkTimeout(),
                        persistentStoreCoordinator(),
                        observer_};

    ActivityIndicator::show(view(), false);
    auto self = std::static_pointer_cast<SettingsViewController>(shared_from_this());
    loadQueue().addOperation([self, request]() mutable {
        try {
            self->load(request);
        } catch (const std::exception& e) {
            TAVLO_LOG_MAIL("The store set-up failed: %@", e.what());
            showError(e.what());
        }
        ActivityIndicator::hide();
        // The controller goes on the main thread, where its views live.
        RunLoop::main().perform([self = std::move(self)] {});
    });
}

void SettingsViewController::load(const LoadRequest& request) {
    std::string url = serverURL(request.gateway);
    if (url.empty()) url = hostedServiceURL();
    OperationSynchStore store(url, request.storeId, request.password, true, request.associationCode, request.timeout,
                              true, request.coordinator);
    store.start();
    if (!store.succeeded()) {
        std::optional<Error> error = store.error();
        showError(error && !error->localizedDescription().empty()
                      ? error->localizedDescription()
                      : localized("Unable to synchronize, verify your store credentials"));
        return;
    }

    std::pair<std::string, bool> kept;
    performOnMainThread([&] { kept = storeSettings(request); }, true);
    auto [gateway, lite] = kept;
    // The gateway is kept as typed or as a terminal's network name; the downloads need its address.
    synchOrders(serverURL(gateway), request.storeId, request.password);
    if (lite) {
        synchCustomers(serverURL(gateway), request.storeId, request.password);
        performOnMainThread([this] { restoreBatches(); }, true);
    }
    if (request.observer) performOnMainThread(request.observer);
}

std::pair<std::string, bool> SettingsViewController::storeSettings(const LoadRequest& request) {
    bool lite = isLite(); // as the store just loaded says
    std::string gateway = serverURL(request.gateway);
    if (gateway.empty()) gateway = lite ? hostedServiceURL() : defaultGateway();

    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(request.storeId, "store_id");
    defaults.setObject(request.password, "password");
    defaults.setObject(gateway, "gateway");
    defaults.synchronize();
    CommHelper::setGateway(gateway);
    return {gateway, lite};
}

bool SettingsViewController::synchOrders(const std::string& url, const std::string& storeId,
                                         const std::string& password) {
    OperationSynchOrders orders(url, storeId, password, true, persistentStoreCoordinator(), true);
    orders.start();
    if (orders.succeeded()) return true;
    showError(localized("Unable to get orders, verify your store credentials"));
    return false;
}

bool SettingsViewController::synchCustomers(const std::string& url, const std::string& storeId,
                                            const std::string& password) {
    OperationSynchCustomers customers(url, storeId, password, true, true, persistentStoreCoordinator());
    customers.start();
    if (customers.succeeded()) return true;
    showError(localized("Unable to get customers, verify your store credentials"));
    return false;
}

void SettingsViewController::restoreBatches() {
    ObjectContext* moc = context().get();
    if (!Parameters::flag(Parameter::RestorePaymentBatch, moc)) return;
    ManagedObjectPtr day = DBHelper::getObject("StoreBatch", "closedOn == nil", PredicateArgument(), moc);
    if (!day) return;
    std::optional<std::string> host = Parameters::text(Parameter::CreditHost, moc);
    if (auto handler = PaymentHandlerFactory::getInstance().getPaymentHandler(host))
        handler->restoreBatch(day->date("openedOn"), *moc);
}

std::string SettingsViewController::defaultGateway() {
    ObjectContext* moc = context().get();
    std::vector<ManagedObjectPtr> terminals =
        DBHelper::getObjects("Terminal", "networkName != nil && disabled == NO", PredicateArgument(), "number", moc);
    auto accessible = [moc](const ManagedObjectPtr& terminal) {
        return Parameters::terminalFlag(Parameter::Accessible, terminal->text("terminalId"), moc);
    };
    if (std::optional<std::string> preferred = Parameters::text(Parameter::PreferredGateway, moc))
        for (const ManagedObjectPtr& terminal : terminals)
            if (terminal->text("networkName") == preferred && accessible(terminal)) return *preferred;
    for (const ManagedObjectPtr& terminal : terminals)
        if (accessible(terminal)) return terminal->text("networkName").value_or("");
    return "";
}

} // namespace tavlo::screens
