#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/Sockets.h"

namespace tavlo {

// What the terminal asks about its own network: is it on the (wireless) LAN, what is its
// address, which network is it on. Installed per process so that tests can answer for it.
class NetworkProbe {
public:
    virtual ~NetworkProbe() = default;
    virtual bool isWiFiConnected() const = 0;
    // Dotted IPv4 address of the interface the terminal talks through, "unresolved" without one.
    virtual std::string localIPAddress() const = 0;
    // The wireless network's name, "" when unknown.
    virtual std::string ssid() const = 0;

    static std::shared_ptr<NetworkProbe> current();
    // Installs a probe for the whole process; null restores the system probe.
    static void install(std::shared_ptr<NetworkProbe> probe);
};

// The machine's own answers: the LAN counts as up when a non-loopback IPv4 interface is up,
// and the local address is that interface's. No wireless network name can be read here.
class SystemNetworkProbe : public NetworkProbe {
public:
    bool isWiFiConnected() const override;
    std::string localIPAddress() const override;
    std::string ssid() const override { return ""; }

    // The first interface, in list order, that is up, not loopback, with an address not 0.0.0.0.
    static std::optional<InterfaceAddress> lanInterface(const std::vector<InterfaceAddress>& interfaces);
};

// Fixed answers (tests, demos).
class FixedNetworkProbe : public NetworkProbe {
public:
    FixedNetworkProbe(bool wifi, std::string address, std::string ssid = "")
        : wifi_(wifi), address_(std::move(address)), ssid_(std::move(ssid)) {}
    bool isWiFiConnected() const override { return wifi_; }
    std::string localIPAddress() const override { return address_; }
    std::string ssid() const override { return ssid_; }

private:
    bool wifi_;
    std::string address_;
    std::string ssid_;
};

} // namespace tavlo
