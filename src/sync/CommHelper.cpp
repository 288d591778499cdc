#include "sync/CommHelper.h"

#include <cerrno>
#include <regex>
#include <unistd.h>

#include "core/TavloLog.h"
#include "platform/foundation/Text.h"
#include "platform/net/NetworkProbe.h"
#include "platform/net/Sockets.h"

namespace tavlo {

namespace {

bool containsNoCase(const std::string& text, std::string_view part) {
    return toLower(text).find(toLower(part)) != std::string::npos;
}

} // namespace

std::optional<std::string> CommHelper::formatLocalURL(const std::optional<std::string>& address) {
    if (!address || address->empty()) return address;
    const std::string& a = *address;
    if (startsWith(a, "http") || containsNoCase(a, "localhost") || containsNoCase(a, ".local")) return a;

    size_t hostStart = 0;
    size_t scheme = a.find("://");
    if (scheme != std::string::npos && scheme + 3 < a.size()) hostStart = scheme + 3;
    size_t insertAt = a.find(':', hostStart);
    if (insertAt == std::string::npos) insertAt = a.find('/', hostStart);
    size_t hostEnd = insertAt == std::string::npos ? a.size() : insertAt;

    // A numeric host is judged alone, so that a port or a path behind it changes nothing.
    std::string digits = replaceAll(a.substr(hostStart, hostEnd - hostStart), ".", "");
    bool numeric = !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
    if (numeric) return a;

    std::string result = a;
    result.insert(hostEnd, ".local");
    return result;
}

int CommHelper::port(const std::optional<std::string>& address) {
    if (!address) return 0;
    size_t colon = address->find(':');
    if (colon == std::string::npos || colon + 1 == address->size()) return DefaultPrinterPort;
    return intValue(std::string_view(*address).substr(colon + 1));
}

std::optional<std::string> CommHelper::ipAddress(const std::optional<std::string>& address) {
    if (!address) return std::nullopt;
    return resolve(address->substr(0, address->find(':')));
}

std::optional<std::string> CommHelper::getIPAddressFromName(const std::string& hostName) {
    return Sockets::lookupIPv4(hostName);
}

bool CommHelper::isValidIPAddress(const std::optional<std::string>& text) {
    // The separators match any character, as the address checks always have.
    static const std::regex pattern(
        "^(25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[1-9])."
        "(25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[1-9]|0)."
        "(25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[1-9]|0)."
        "(25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[0-9])$");
    return text && std::regex_match(*text, pattern);
}

std::optional<std::string> CommHelper::resolve(const std::string& host) {
    if (isValidIPAddress(host)) return host;
    std::optional<std::string> local = formatLocalURL(host);
    return local ? getIPAddressFromName(*local) : std::nullopt;
}

int CommHelper::openSocket(const std::string& host, int port, int timeoutSeconds) {
    std::optional<std::string> address = resolve(host);
    if (!address) return -1;
    int failure = 0;
    int fd = Sockets::openTcp(*address, port, timeoutSeconds, &failure);
    if (fd < 0 && failure != 0 && failure != ETIMEDOUT && failure != EINVAL) TAVLO_LOG("Got error from getsockopt: %d", failure);
    return fd;
}

bool CommHelper::canConnect(const std::string& host, int port, int timeoutSeconds) {
    std::optional<std::string> address = resolve(host);
    if (!address) return false;
    int fd = openSocket(*address, port, timeoutSeconds);
    if (fd < 0) {
        TAVLO_LOG("Unable to connect to %@", *address);
        return false;
    }
    close(fd);
    return true;
}

bool CommHelper::isWiFiConnected() { return NetworkProbe::current()->isWiFiConnected(); }

std::string CommHelper::localIPAddress() { return NetworkProbe::current()->localIPAddress(); }

std::string CommHelper::ssid() { return NetworkProbe::current()->ssid(); }

} // namespace tavlo
