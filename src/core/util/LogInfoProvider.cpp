#include "core/util/LogInfoProvider.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/foundation/Directories.h"
#include "platform/foundation/Text.h"

namespace tavlo {

std::string LogInfoProvider::appVersion() { return "1.0"; }

std::string LogInfoProvider::deviceName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "";
    return name;
}

std::string LogInfoProvider::model() {
    utsname info{};
    return uname(&info) == 0 ? info.machine : "";
}

std::string LogInfoProvider::systemVersion() {
    utsname info{};
    return uname(&info) == 0 ? format("%s %s", info.sysname, info.release) : "";
}

std::string LogInfoProvider::deviceIdentifier() { return ""; }
std::string LogInfoProvider::ssid() { return ""; }
std::string LogInfoProvider::localIPAddress() { return ""; }

std::string LogInfoProvider::language() {
    // "de_DE.UTF-8" -> "de"
    const char* lang = std::getenv("LANG");
    std::string code = lang ? std::string(lang).substr(0, std::string(lang).find_first_of("_.@")) : "";
    return code.empty() || code == "C" || code == "POSIX" ? "en" : code;
}

std::string LogInfoProvider::freeSpace() {
    auto bytes = tavlo::freeSpace(documentsDirectory());
    return format("%llu Bytes", static_cast<unsigned long long>(bytes.value_or(0)));
}

std::optional<std::string> LogInfoProvider::gateway() { return std::nullopt; }
HandlerFigures LogInfoProvider::storeHandler() { return {}; }
HandlerFigures LogInfoProvider::orderHandler() { return {}; }

} // namespace tavlo
