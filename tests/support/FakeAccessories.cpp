#include "support/FakeAccessories.h"

#include "platform/accessory/AccessoryManager.h"
#include "platform/accessory/SerialAccessories.h"

#include <cerrno>

namespace tavlo::test {

std::shared_ptr<Accessory> FakeAccessories::plugIn(const std::string& name,
                                                   const std::vector<std::string>& protocolStrings,
                                                   const std::string& macAddress, const std::string& modelNumber) {
    auto accessory = std::make_shared<Accessory>(name, protocolStrings, weak_from_this(), macAddress, modelNumber);
    AccessoryManager::shared().attach(accessory);
    return accessory;
}

void FakeAccessories::pullOut(const std::shared_ptr<Accessory>& accessory) {
    AccessoryManager::shared().detach(accessory->connectionID());
}

void FakeAccessories::setRefusesSessions(bool refuses) {
    std::lock_guard lock(mutex_);
    refuses_ = refuses;
}

int FakeAccessories::sessionsOpened(const Accessory& accessory) const {
    std::lock_guard lock(mutex_);
    auto found = peers_.find(accessory.connectionID());
    return found == peers_.end() ? 0 : static_cast<int>(found->second.size());
}

std::shared_ptr<PseudoTerminalPeer> FakeAccessories::peer(const Accessory& accessory) const {
    std::lock_guard lock(mutex_);
    auto found = peers_.find(accessory.connectionID());
    return found == peers_.end() ? nullptr : found->second.back();
}

int FakeAccessories::openChannel(const Accessory& accessory, const std::string&, Error* error) {
    std::lock_guard lock(mutex_);
    if (refuses_) {
        Error::set(error, "FakeAccessories", EBUSY, "The accessory refuses sessions");
        return -1;
    }
    auto peer = std::make_shared<PseudoTerminalPeer>();
    int fd = SerialAccessories::openSerialDevice(peer->devicePath(), 9600, error);
    if (fd >= 0) peers_[accessory.connectionID()].push_back(peer);
    return fd;
}

} // namespace tavlo::test
