#pragma once

#include "platform/store/ObjectContext.h"
#include "platform/store/ObjectStore.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"
#include "screens/common/ScreenInterfaces.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace tavlo::screens {

// The store set-up screen (interface "SettingsView"), shown while the terminal is not configured:
// the store's id and password and, when the terminal relays through another one, that terminal's
// network name. Save asks for an association code, loads the whole store off the main thread
// under the wait overlay, then stores "store_id", "password" and "gateway" in the user defaults,
// downloads the orders (in lite mode also the customers and the card batch) and tells the
// observer on the main thread. A failed load shows why and changes nothing.
class SettingsViewController : public ui::ViewController, public ui::TextFieldDelegate {
public:
    static constexpr const char* kInterfaceName = kSettingsInterface;
    // Names the association code's prompt among the alerts.
    static constexpr int kAssociationCodeAlertTag = 97;
    // Seconds the store load waits for the server when "initial_network_timeout" gives none.
    static constexpr int kDefaultNetworkTimeout = 15;
    // Seconds a store load waits: "initial_network_timeout", or the default when it gives none.
    static int initialNetworkTimeout();

    SettingsViewController();
    ~SettingsViewController() override;

    // Outlets, connected by the interface.
    ui::TextField* textStoreId() const { return outlet<ui::TextField>("textStoreId"); }
    ui::TextField* textStorePassword() const { return outlet<ui::TextField>("textStorePassword"); }
    ui::TextField* textStoreGateway() const { return outlet<ui::TextField>("textStoreGateway"); }
    ui::Label* lblNetInfo() const { return outlet<ui::Label>("lblNetInfo"); }

    // Called on the main thread, without an argument, once a load succeeded and the settings are
    // stored (the application delegate's settingsSaved).
    using Observer = std::function<void()>;
    void setObserver(Observer observer) { observer_ = std::move(observer); }
    // The main context (read on the main thread) and the store the loads write to; both default
    // to DBHelper's shared ones.
    std::shared_ptr<ObjectContext> context() const;
    void setContext(std::shared_ptr<ObjectContext> context) { context_ = std::move(context); }
    std::shared_ptr<ObjectStore> persistentStoreCoordinator() const;
    void setPersistentStoreCoordinator(std::shared_ptr<ObjectStore> store) { coordinator_ = std::move(store); }

    // The hosted store server, used when no gateway is typed (and kept in lite mode), and the
    // page the product logo opens. Set by the program; any thread.
    static std::string hostedServiceURL();
    static void setHostedServiceURL(std::string url);
    static std::string contactPageURL();
    static void setContactPageURL(std::string url);

    // --- actions
    // The Save button: checks the fields, then asks for the association code.
    void saveSettings();
    // The product logo: opens the contact page.
    void tavlo();
    // The button beside the gateway field: opens the gateway's address in the browser.
    void testGateway();

    // --- the load
    // Has the card host's handler restore the batch of the open business day, where the store
    // asks for it. Main thread.
    void restoreBatches();
    // The terminal to relay through when no gateway was typed: the preferred one when it can be
    // reached, else the first reachable in number order; "" when none. Main thread.
    std::string defaultGateway();

    // --- the controller
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    uint32_t supportedInterfaceOrientations() const override;
    bool textFieldShouldReturn(ui::TextField& field) override;

private:
    // Puts up the wait overlay and loads the store with the fields' values off the main thread
    // (one load at a time); an empty code is passed on as none. Main thread.
    void synch(const std::optional<std::string>& associationCode);
    // Full reloads of the orders and the customers of the store from `url`; a failure shows an
    // alert and answers false. Any thread but the main one (they wait for the server).
    bool synchOrders(const std::string& url, const std::string& storeId, const std::string& password);
    bool synchCustomers(const std::string& url, const std::string& storeId, const std::string& password);

    struct LoadRequest;
    // The body of the load's thread.
    void load(const LoadRequest& request);
    // After a good store load, on the main thread: stores the settings and answers the gateway
    // kept and whether the store runs in lite mode.
    std::pair<std::string, bool> storeSettings(const LoadRequest& request);
    bool isLite();
    static void showError(const std::string& message);

    Observer observer_;
    std::shared_ptr<ObjectContext> context_;
    std::shared_ptr<ObjectStore> coordinator_;
};

// The interface "SettingsView": the fields, the buttons and their layout for the pad in landscape
// or the phone in portrait, whichever the application runs on.
void registerSettingsView();

} // namespace tavlo::screens
