#include "platform/accessory/AccessoryManager.h"

#include "platform/accessory/SerialAccessories.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

#include <algorithm>
#include <utility>

namespace tavlo {

namespace {
// How often configured serial devices are looked for (plugged in or taken away).
constexpr double kSerialRescanSeconds = 2.0;
} // namespace

AccessoryManager& AccessoryManager::shared() {
    // Never destroyed: reader threads may still ask for it while the process exits.
    static auto* manager = new AccessoryManager();
    return *manager;
}

bool AccessoryManager::watchSerialAccessories(const std::filesystem::path& configuration, Error* error) {
    std::error_code ignored;
    if (!std::filesystem::exists(configuration, ignored)) return true;
    std::vector<SerialAccessoryStatus> unread;
    auto serial = SerialAccessories::create(SerialAccessories::readConfiguration(configuration, error, &unread));
    std::shared_ptr<SerialAccessories> previous;
    {
        std::lock_guard lock(mutex_);
        previous = std::exchange(serial_, serial);
        unreadLines_ = std::move(unread);
    }
    if (previous) previous->stopWatching();
    serial->watch(RunLoop::main(), kSerialRescanSeconds);
    return !error || !error->isSet();
}

std::vector<SerialAccessoryStatus> AccessoryManager::serialAccessoryStatus() const {
    std::vector<SerialAccessoryStatus> states;
    std::shared_ptr<SerialAccessories> serial;
    {
        std::lock_guard lock(mutex_);
        states = unreadLines_;
        serial = serial_;
    }
    if (serial)
        for (SerialAccessoryStatus& state : serial->status()) states.push_back(std::move(state));
    return states;
}

std::vector<std::shared_ptr<Accessory>> AccessoryManager::connectedAccessories() const {
    std::lock_guard lock(mutex_);
    return accessories_;
}

void AccessoryManager::registerForLocalNotifications() {
    std::lock_guard lock(mutex_);
    ++registrations_;
}

void AccessoryManager::unregisterForLocalNotifications() {
    std::lock_guard lock(mutex_);
    if (registrations_ > 0) --registrations_;
}

void AccessoryManager::attach(const std::shared_ptr<Accessory>& accessory) {
    {
        std::lock_guard lock(mutex_);
        if (std::find(accessories_.begin(), accessories_.end(), accessory) != accessories_.end()) return;
        accessory->setConnected(true);
        accessories_.push_back(accessory);
    }
    post(didConnectNotification, accessory);
}

void AccessoryManager::detach(uint32_t connectionID) {
    std::shared_ptr<Accessory> gone;
    {
        std::lock_guard lock(mutex_);
        auto found = std::find_if(accessories_.begin(), accessories_.end(),
                                  [&](const auto& accessory) { return accessory->connectionID() == connectionID; });
        if (found == accessories_.end()) return;
        gone = *found;
        accessories_.erase(found);
        gone->setConnected(false);
    }
    post(didDisconnectNotification, gone);
}

void AccessoryManager::reset() {
    std::shared_ptr<SerialAccessories> serial;
    {
        std::lock_guard lock(mutex_);
        for (const auto& accessory : accessories_) accessory->setConnected(false);
        accessories_.clear();
        registrations_ = 0;
        unreadLines_.clear();
        serial = std::move(serial_);
    }
    if (serial) serial->stopWatching();
}

void AccessoryManager::post(const std::string& name, const std::shared_ptr<Accessory>& accessory) {
    {
        std::lock_guard lock(mutex_);
        if (registrations_ == 0) return;
    }
    NotificationCenter::defaultCenter().post(name, accessory, {{accessoryKey, accessory}}, this);
}

} // namespace tavlo
