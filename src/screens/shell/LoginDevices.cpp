// The sign-in screen's devices and its bar: the receipt printer and the card reader named by the
// configuration, the system status screen and the reload of the whole store.
#include "screens/shell/LoginViewController.h"

#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "devices/MSRMediator.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/shell/ReceiptPrinters.h"
#include "screens/shell/SettingsViewController.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OperationSynchOrders.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/handlers/StoreHandler.h"
#include "sync/storeload/OperationSynchStore.h"

#include <chrono>
#include <thread>

namespace tavlo::screens {

using namespace ui;

namespace {

// Manual reloads run here, one at a time. The queue lives as long as the process: a reload may
// be waiting for the main thread when the program ends, and nothing must wait for it then.
OperationQueue& reloadQueue() {
    static OperationQueue* queue = new OperationQueue(1);
    return *queue;
}

// Pauses the handler and waits, a second at a time, while it still runs.
void pauseAndWait(OperationHandler& handler, const char* waiting) {
    handler.pause();
    while (handler.isRunning()) {
        TAVLO_LOG(waiting);
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}

// An alert of a thread that is not the main one, shown by the main thread.
void showLater(const std::string& title, const std::string& message) {
    performOnMainThread([title, message] { AlertView::make(localized(title), message, localized("Ok"))->show(); });
}

} // namespace

std::shared_ptr<PrinterStream> LoginViewController::initPrinter() {
    ManagedObjectPtr terminal = thisTerminal();
    return ReceiptPrinters::printerFor(terminal ? terminal->text("terminalId") : std::nullopt,
                                       managedObjectContext().get(), printerStream_);
}

MSRMediator* LoginViewController::initMSR() {
    ObjectContext* moc = managedObjectContext().get();
    MSRMediator* mediator = nullptr;
    std::optional<std::string> local = UserDefaults::standardUserDefaults().stringForKey("msr");
    std::optional<std::string> configured = Parameters::text(Parameter::MsrType, moc);
    if (local) {
        mediator = &MSRMediator::getInstance(local);
        TAVLO_LOG("*** MSR (local): %@", local);
    } else if (configured) {
        mediator = &MSRMediator::getInstance(configured);
        TAVLO_LOG("*** MSR (configured): %@", configured);
    } else {
        TAVLO_LOG("*** MSR : not defined");
        return nullptr;
    }
    if (Parameters::flag(Parameter::LogMsrEvents, moc)) mediator->setLogEvents(true);
    return mediator;
}

void LoginViewController::systemStatus() {
    ManagedObjectPtr terminal = thisTerminal();
    if (!terminal || terminal->boolean("disabled")) {
        disabled();
        TAVLO_LOG_MAIL("System status attempted on disabled terminal (UID:%@)", IDBroker::deviceIdentifier());
        return;
    }
    InterfaceRegistry& registry = InterfaceRegistry::shared();
    if (!registry.containsController(kSystemStatusInterface)) {
        TAVLO_LOG("No screen is registered under %@", kSystemStatusInterface);
        return;
    }
    std::shared_ptr<ViewController> status = registry.instantiate(kSystemStatusInterface);
    auto navigation = std::make_shared<NavigationController>(status);
    navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    present(navigation, true);
}

// ---- the reload

void LoginViewController::systemReload() {
    std::shared_ptr<OrderHandler> orders = OrderHandler::instance();
    long pending = orders ? orders->pendingCount() : 0;
    if (pending >= 1) {
        showAlert(this, "Alert", format("%@ (%ld)", localized("Unable to reload, orders are pending"), pending),
                  {"Ok"});
        return;
    }
    showAlert(this, "Confirmation",
              localized("Reloading the whole store may take a couple of minutes. Are you sure you want to reload?"),
              {"Cancel", {localized("Reload")}}, [this](int button) {
                  if (button != 1) return;
                  textNumber()->resignFirstResponder();
                  ActivityIndicator::show(view(), false);
                  startManualReload();
              });
}

void LoginViewController::startManualReload() {
    auto self = std::static_pointer_cast<LoginViewController>(shared_from_this());
    reloadQueue().addOperation([self]() mutable {
        self->manualReload();
        // The controller goes on the main thread, where its views live.
        RunLoop::main().perform([self = std::move(self)] {});
    });
}

void LoginViewController::manualReload() {
    TAVLO_LOG("manualReload START");
    ActivityIndicator::setStatus(localized("Manual Reloading"));
    reload();
    ActivityIndicator::hide();
    TAVLO_LOG("manualReload END");
    auto self = std::static_pointer_cast<LoginViewController>(shared_from_this());
    performOnMainThread([self] { self->textNumber()->becomeFirstResponder(); });
}

void LoginViewController::reload() {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    std::optional<std::string> storeId = defaults.stringForKey("store_id");
    std::optional<std::string> password = defaults.stringForKey("password");
    std::optional<std::string> gateway = CommHelper::gateway();
    bool lite = false, logXml = false, synchOrders = false;
    performOnMainThread(
        [&] {
            ObjectContext* moc = managedObjectContext().get();
            lite = Parameters::flag(Parameter::Lite, moc);
            logXml = Parameters::flag(Parameter::LogXml, moc);
            synchOrders = Parameters::flag(Parameter::SynchOrdersAuto, moc);
        },
        true);
    std::string url = (lite ? gateway : CommHelper::formatTavloURL(gateway)).value_or("");

    OperationSynchStore store(url, storeId.value_or(""), password.value_or(""), true, std::nullopt,
                              SettingsViewController::initialNetworkTimeout(), logXml, persistentStoreCoordinator());
    std::shared_ptr<StoreHandler> storeHandler = StoreHandler::instance();
    std::shared_ptr<OrderHandler> orderHandler = OrderHandler::instance();
    if (storeHandler) pauseAndWait(*storeHandler, "Manual reload waiting for StoreHandler to pause");
    bool ordersPaused = orderHandler && (lite || synchOrders);
    if (ordersPaused) pauseAndWait(*orderHandler, "Manual reload waiting for OrderHandler to pause");

    store.start();
    if (!store.succeeded()) showLater("Alert", localized("Unable to reload store"));
    OperationSynchOrders orders(url, storeId, password, true, persistentStoreCoordinator(), logXml);
    orders.start();
    if (!orders.succeeded()) showLater("Error", localized("Unable to get orders"));

    performOnMainThread(
        [&] {
            ManagedObjectPtr terminal = thisTerminal();
            if (!terminal || terminal->boolean("disabled")) return;
            disabled_ = false;
            if (storeHandler) storeHandler->resume();
            if (ordersPaused) orderHandler->resume();
        },
        true);
}

} // namespace tavlo::screens
