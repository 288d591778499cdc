#pragma once

#include "platform/accessory/Accessory.h"
#include "platform/accessory/Stream.h"

#include <memory>
#include <string>

namespace tavlo {

// One open conversation with an accessory in one protocol: an input and an output stream over
// the channel the accessory's back end opened. The streams start unopened and unscheduled; the
// channel closes when the session and both streams are gone.
class AccessorySession {
public:
    // Null, with `error` filled, when the accessory is gone or refuses the protocol.
    static std::shared_ptr<AccessorySession> open(const std::shared_ptr<Accessory>& accessory,
                                                  const std::string& protocolString, Error* error = nullptr);

    const std::shared_ptr<Accessory>& accessory() const { return accessory_; }
    const std::string& protocolString() const { return protocolString_; }
    const std::shared_ptr<InputStream>& inputStream() const { return inputStream_; }
    const std::shared_ptr<OutputStream>& outputStream() const { return outputStream_; }

    AccessorySession(std::shared_ptr<Accessory> accessory, std::string protocolString, int fd);

private:
    std::shared_ptr<Accessory> accessory_;
    std::string protocolString_;
    std::shared_ptr<InputStream> inputStream_;
    std::shared_ptr<OutputStream> outputStream_;
};

} // namespace tavlo
