#pragma once

#include "platform/foundation/Error.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavlo {

class Accessory;

// Where accessories come from: a back end lists them to the manager and opens the byte channel
// of a session (a file descriptor the session then owns).
class AccessoryBackend {
public:
    virtual ~AccessoryBackend() = default;
    // An open descriptor for talking `protocol` to the accessory, or -1 with `error` filled.
    virtual int openChannel(const Accessory& accessory, const std::string& protocol, Error* error) = 0;
};

// A device attached to the terminal that speaks one or more protocols, named by reverse-domain
// protocol strings. `connectionID` tells accessories apart; it is never reused in a process. A
// Bluetooth accessory also knows its device address ("00:11:22:AA:BB:CC"; empty when unknown).
class Accessory {
public:
    Accessory(std::string name, std::vector<std::string> protocolStrings, std::weak_ptr<AccessoryBackend> backend,
              std::string macAddress = {}, std::string modelNumber = {});

    const std::string& name() const { return name_; }
    const std::string& modelNumber() const { return modelNumber_; }
    const std::string& macAddress() const { return macAddress_; }
    // What the accessory says of itself, one "key: value" a line: name, modelNumber,
    // connectionID, macAddress (the last line only when the address is known).
    std::string description() const;
    uint32_t connectionID() const { return connectionID_; }
    const std::vector<std::string>& protocolStrings() const { return protocolStrings_; }
    bool isConnected() const;
    void setConnected(bool connected);

    int openChannel(const std::string& protocol, Error* error) const;

private:
    const std::string name_;
    const std::string macAddress_;
    const std::string modelNumber_;
    const uint32_t connectionID_;
    const std::vector<std::string> protocolStrings_;
    const std::weak_ptr<AccessoryBackend> backend_;
    std::atomic<bool> connected_{true};
};

} // namespace tavlo
