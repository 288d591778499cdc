#include "printing/EscPos.h"

#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/net/Sockets.h"
#include "sync/exchange/CommHelper.h"

#include <unistd.h>

namespace tavlo {

namespace {

Error printerError(const std::string& text) { return Utils::getError(text, Utils::kStoreServerErrorDomain, -1); }

} // namespace

ssize_t EscPos::send(const EscPosCommands& commands, int sock) {
    if (!Sockets::sendAll(sock, commands.data().data(), commands.size(), kSendTimeoutSeconds)) return -1;
    return static_cast<ssize_t>(commands.size());
}

ssize_t EscPos::escape(char n, int sock) { return send(EscPosCommands().escape(n), sock); }
ssize_t EscPos::escape(char n, int a, int sock) { return send(EscPosCommands().escape(n, a), sock); }
ssize_t EscPos::escape(char n, int a, int b, int sock) { return send(EscPosCommands().escape(n, a, b), sock); }
ssize_t EscPos::escape(char n, std::string_view text, int sock) { return send(EscPosCommands().escape(n, text), sock); }
ssize_t EscPos::cut(int sock) { return send(EscPosCommands().cut(), sock); }
ssize_t EscPos::feed(int sock) { return send(EscPosCommands().feed(), sock); }
ssize_t EscPos::feedAndcut(int lines, int sock) { return send(EscPosCommands().feedAndCut(lines), sock); }
ssize_t EscPos::writeByte(uint8_t b, int sock) { return send(EscPosCommands().byte(b), sock); }
ssize_t EscPos::write(std::string_view text, int sock) { return send(EscPosCommands().text(text), sock); }
ssize_t EscPos::write(const uint8_t* bytes, size_t length, int sock) {
    return send(EscPosCommands().bytes(bytes, length), sock);
}
ssize_t EscPos::writeLine(int sock) { return send(EscPosCommands().line(), sock); }
ssize_t EscPos::writeLine(std::string_view text, int sock) { return send(EscPosCommands().line(text), sock); }
ssize_t EscPos::printImage(const PixelImage& image, int sock) { return send(EscPosCommands().image(image), sock); }
ssize_t EscPos::printSampleImage(int sock) { return send(EscPosCommands().sampleImage(), sock); }

ssize_t EscPos::writeBarCode(std::string_view data, int height, int sock, Error* error) {
    EscPosCommands commands;
    if (!commands.barCode(data, height, error)) return -1;
    return send(commands, sock);
}

bool EscPos::openDrawer(int pin, int sock, Error* error) {
    EscPosCommands pulse;
    if (!pulse.drawerPulse(pin)) {
        Error::set(error, printerError(localized("No cash drawer is set up for this terminal")));
        return false;
    }
    if (send(pulse, sock) < 0) {
        Error::set(error, printerError(localized("Unable to connect to printer, verify printer is on")));
        return false;
    }
    return true;
}

int EscPos::connect(const std::optional<std::string>& url, int timeoutSeconds, ConnectFailure* failure) {
    *failure = ConnectFailure::None;
    if (!url || url->empty()) {
        *failure = ConnectFailure::NoAddress;
        return -1;
    }
    std::optional<std::string> address = CommHelper::ipAddress(url);
    if (!address) {
        *failure = ConnectFailure::Unresolved;
        return -1;
    }
    int sock = CommHelper::openSocket(*address, CommHelper::port(url), timeoutSeconds);
    if (sock < 0) *failure = ConnectFailure::NoConnection;
    return sock;
}

bool EscPos::openDrawer(int pin, const std::optional<std::string>& url, int timeoutSeconds, Error* error) {
    ConnectFailure failure;
    int sock = connect(url, timeoutSeconds, &failure);
    if (sock < 0) {
        Error::set(error,
                   printerError(
                       failure == ConnectFailure::NoAddress ? std::string("No receipt printer configured")
                       : failure == ConnectFailure::Unresolved
                           ? localized("Unable to resolve receipt printer to a valid IP address, verify configuration")
                           : localized("Unable to connect to printer, verify printer is on")));
        return false;
    }
    bool pulsed = openDrawer(pin, sock, error);
    ::close(sock);
    return pulsed;
}

} // namespace tavlo
