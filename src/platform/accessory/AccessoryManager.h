#pragma once

#include "platform/accessory/Accessory.h"
#include "platform/accessory/SerialAccessories.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tavlo {

// The accessories attached to the terminal. Back ends attach and detach them; while anyone has
// registered for local notifications, each attach and detach posts a notification to the default
// centre on the back end's thread, with the accessory as object and under `accessoryKey`.
class AccessoryManager {
public:
    static inline const std::string didConnectNotification = "AccessoryDidConnectNotification";
    static inline const std::string didDisconnectNotification = "AccessoryDidDisconnectNotification";
    static inline const std::string accessoryKey = "AccessoryKey"; // std::shared_ptr<Accessory>
    // The program's list of serial accessories, in the data directory.
    static inline const std::string configurationFile = "accessories.conf";

    static AccessoryManager& shared();

    // The program's choice at start-up: the serial devices listed in `configuration` (see
    // SerialAccessories; none when the file is absent) are attached while present, looked for
    // every 2 seconds on the main loop. False, with `error` naming the line, when a line could not
    // be read (the others are watched).
    bool watchSerialAccessories(const std::filesystem::path& configuration, Error* error = nullptr);

    std::vector<std::shared_ptr<Accessory>> connectedAccessories() const;
    // The serial devices the terminal was told to watch, each connected or with why it is not,
    // after one entry per configuration line that could not be read.
    std::vector<SerialAccessoryStatus> serialAccessoryStatus() const;

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
    std::vector<SerialAccessoryStatus> unreadLines_; // of the serial configuration
};

} // namespace tavlo
