#include "platform/security/HardwareAddress.h"

#include "platform/net/NetworkProbe.h"
#include "platform/net/Sockets.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>

namespace tavlo {

namespace {

const std::filesystem::path kInterfaces = "/sys/class/net";

} // namespace

std::optional<std::string> HardwareAddress::ofInterface(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") return std::nullopt;
    std::ifstream in(kInterfaces / name / "address");
    std::string text;
    if (!in || !std::getline(in, text)) return std::nullopt;
    // Six hex pairs joined by colons, and not all zero (loopback and some virtual links).
    if (text.size() != 17) return std::nullopt;
    bool nonZero = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (i % 3 == 2) {
            if (c != ':') return std::nullopt;
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        nonZero = nonZero || c != '0';
        text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return nonZero ? std::optional<std::string>(text) : std::nullopt;
}

std::optional<std::string> HardwareAddress::primary() {
    if (auto lan = SystemNetworkProbe::lanInterface(Sockets::interfaceAddresses()))
        if (auto address = ofInterface(lan->name)) return address;
    std::set<std::string> names; // sorted, so the choice does not depend on listing order
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(kInterfaces, ec))
        names.insert(entry.path().filename().string());
    for (const std::string& name : names)
        if (name != "lo")
            if (auto address = ofInterface(name)) return address;
    return std::nullopt;
}

} // namespace tavlo
