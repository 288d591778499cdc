#pragma once

#include <optional>
#include <string>

namespace tavlo {

// The terminal's plain network services: printer and server address forms, name lookup, TCP
// connections with a time-out, and what the device knows of its own network.
class CommHelper {
public:
    static constexpr int DefaultPrinterPort = 9100;

    // Address forms.
    // ".local" added after a bare local-network host name; addresses with a scheme, "localhost",
    // numeric hosts (with or without a port or path) and names already ending ".local" stay.
    static std::optional<std::string> formatLocalURL(const std::optional<std::string>& address);

    // "host" or "host:port": the port (9100 without one), 0 for nil.
    static int port(const std::optional<std::string>& address);
    // "host" or "host:port": the host's dotted IPv4 address, looked up when it is a name.
    static std::optional<std::string> ipAddress(const std::optional<std::string>& address);
    static std::optional<std::string> getIPAddressFromName(const std::string& hostName);
    static bool isValidIPAddress(const std::optional<std::string>& text);

    // Connections. A connected non-blocking descriptor the caller closes, or -1.
    static int openSocket(const std::string& host, int port, int timeoutSeconds);
    static bool canConnect(const std::string& host, int port, int timeoutSeconds);

    // The device's network (answered by the installed NetworkProbe).
    static bool isWiFiConnected();
    static std::string localIPAddress();
    static std::string ssid();

private:
    static std::optional<std::string> resolve(const std::string& host);
};

} // namespace tavlo
