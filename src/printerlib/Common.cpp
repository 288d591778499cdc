#include "printerlib/Common.h"

#include "platform/foundation/RunLoop.h"
#include "printerlib/NetFunctions.h"

namespace tavlo::printerlib {

void Common::dispatchSelector(std::function<void()> invocation, bool onMainThread) {
    if (!invocation) return;
    if (onMainThread) RunLoop::main().perform(std::move(invocation));
    else RunLoop::current().perform(std::move(invocation));
}

std::optional<std::string> Common::localIPAddress() {
    std::string address = NetFunctions::localWiFiAddress();
    if (address.empty()) return std::nullopt;
    return address;
}

} // namespace tavlo::printerlib
