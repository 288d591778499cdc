#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tavlo::printerlib {

// Small helpers shared by the library.
class Common {
public:
    // Runs `invocation` later without waiting for it: on the main thread with onMainThread (how
    // the library delivers every delegate call), else on the calling thread's run loop.
    static void dispatchSelector(std::function<void()> invocation, bool onMainThread);
    // The dotted IPv4 address of the Wi-Fi interface (NetFunctions::wifiInterfaceName), or none.
    static std::optional<std::string> localIPAddress();
};

} // namespace tavlo::printerlib
