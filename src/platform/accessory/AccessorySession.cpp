#include "platform/accessory/AccessorySession.h"

#include <algorithm>
#include <cerrno>

namespace tavlo {

std::shared_ptr<AccessorySession> AccessorySession::open(const std::shared_ptr<Accessory>& accessory,
                                                         const std::string& protocolString, Error* error) {
    if (!accessory) {
        Error::set(error, "AccessoryErrorDomain", ENODEV, "No accessory");
        return nullptr;
    }
    const auto& protocols = accessory->protocolStrings();
    if (std::find(protocols.begin(), protocols.end(), protocolString) == protocols.end()) {
        Error::set(error, "AccessoryErrorDomain", EPROTONOSUPPORT,
                   "The accessory " + accessory->name() + " does not speak " + protocolString);
        return nullptr;
    }
    int fd = accessory->openChannel(protocolString, error);
    if (fd < 0) return nullptr;
    return std::make_shared<AccessorySession>(accessory, protocolString, fd);
}

AccessorySession::AccessorySession(std::shared_ptr<Accessory> accessory, std::string protocolString, int fd)
    : accessory_(std::move(accessory)), protocolString_(std::move(protocolString)) {
    auto channel = std::make_shared<FileDescriptor>(fd);
    inputStream_ = std::make_shared<InputStream>(channel);
    outputStream_ = std::make_shared<OutputStream>(channel);
}

} // namespace tavlo
