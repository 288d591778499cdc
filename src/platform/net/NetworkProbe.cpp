#include "platform/net/NetworkProbe.h"

#include <mutex>

namespace tavlo {

namespace {
std::mutex g_probeMutex;
std::shared_ptr<NetworkProbe> g_probe;
} // namespace

std::shared_ptr<NetworkProbe> NetworkProbe::current() {
    std::lock_guard lock(g_probeMutex);
    if (!g_probe) g_probe = std::make_shared<SystemNetworkProbe>();
    return g_probe;
}

void NetworkProbe::install(std::shared_ptr<NetworkProbe> probe) {
    std::lock_guard lock(g_probeMutex);
    g_probe = std::move(probe);
}

std::optional<InterfaceAddress> SystemNetworkProbe::lanInterface(const std::vector<InterfaceAddress>& interfaces) {
    for (const InterfaceAddress& i : interfaces) {
        if (i.up && !i.loopback && i.address != "0.0.0.0") return i;
    }
    return std::nullopt;
}

bool SystemNetworkProbe::isWiFiConnected() const { return lanInterface(Sockets::interfaceAddresses()).has_value(); }

std::string SystemNetworkProbe::localIPAddress() const {
    std::optional<InterfaceAddress> lan = lanInterface(Sockets::interfaceAddresses());
    return lan ? lan->address : "unresolved";
}

} // namespace tavlo
