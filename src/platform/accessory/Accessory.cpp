#include "platform/accessory/Accessory.h"

#include <atomic>
#include <cerrno>

namespace tavlo {

namespace {
std::atomic<uint32_t> g_nextConnectionID{1};
}

Accessory::Accessory(std::string name, std::vector<std::string> protocolStrings,
                     std::weak_ptr<AccessoryBackend> backend, std::string macAddress, std::string modelNumber)
    : name_(std::move(name)), macAddress_(std::move(macAddress)), modelNumber_(std::move(modelNumber)),
      connectionID_(g_nextConnectionID++), protocolStrings_(std::move(protocolStrings)), backend_(std::move(backend)) {}

std::string Accessory::description() const {
    std::string text =
        "name: " + name_ + "\nmodelNumber: " + modelNumber_ + "\nconnectionID: " + std::to_string(connectionID_);
    if (!macAddress_.empty()) text += "\nmacAddress: " + macAddress_;
    return text;
}

bool Accessory::isConnected() const { return connected_; }

void Accessory::setConnected(bool connected) { connected_ = connected; }

int Accessory::openChannel(const std::string& protocol, Error* error) const {
    auto backend = backend_.lock();
    if (!backend || !connected_) {
        Error::set(error, "AccessoryErrorDomain", ENODEV, "The accessory " + name_ + " is not connected");
        return -1;
    }
    return backend->openChannel(*this, protocol, error);
}

} // namespace tavlo
