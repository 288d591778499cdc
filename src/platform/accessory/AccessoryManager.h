#pragma once

#include "platform/accessory/Accessory.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tavlo {

class SerialAccessories;

// The accessories attached to the terminal. Back ends attach and detach them; while anyone has
// registered for local notifications, each attach and detach posts a notification to the default
// centre on the back end's thread, with the accessory as object and under `accessoryKey`.
//
// The first use reads the serial accessories the terminal is configured with (the file
// "accessories.conf" in the data directory, see SerialAccessories) and watches their devices.
class AccessoryManager {
public:
    static inline const std::string didConnectNotification = "AccessoryDidConnectNotification";
    static inline const std::string didDisconnectNotification = "AccessoryDidDisconnectNotification";
    static inline const std::string accessoryKey = "AccessoryKey";  // std::shared_ptr<Accessory>
    static inline const std::string configurationFile = "accessories.conf";

    static AccessoryManager& shared();

    std::vector<std::shared_ptr<Accessory>> connectedAccessories() const;

    // Counted: notifications are posted while registrations outnumber unregistrations.
    void registerForLocalNotifications();
    void unregisterForLocalNotifications();

    // --- back ends
    void attach(const std::shared_ptr<Accessory>& accessory);
    // Nothing when no accessory of that connection is attached.
    void detach(uint32_t connectionID);

    // Forgets every accessory and registration, and stops watching serial devices (tests).
    void reset();

    AccessoryManager(const AccessoryManager&) = delete;
    AccessoryManager& operator=(const AccessoryManager&) = delete;

private:
    AccessoryManager() = default;
    void post(const std::string& name, const std::shared_ptr<Accessory>& accessory);

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Accessory>> accessories_;
    int registrations_ = 0;
    std::shared_ptr<SerialAccessories> serial_;
};

} // namespace tavlo
