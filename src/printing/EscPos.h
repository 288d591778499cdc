#pragma once

#include "printing/EscPosCommands.h"

#include "platform/foundation/Error.h"

#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tavlo {

class PixelImage;

// ESC/POS commands written to a connected TCP socket, one operation per command (the bytes are
// those of EscPosCommands). Each answers the number of bytes written, or -1 when they did not
// all reach the socket (a closed or never-opened descriptor -1, a peer that has gone). Runs on
// the caller's thread and blocks until the socket has taken the bytes.
class EscPos {
public:
    // How long a write waits for room on the socket before it counts as failed.
    static constexpr int kSendTimeoutSeconds = 10;

    static ssize_t escape(char n, int sock);
    static ssize_t escape(char n, int a, int sock);
    static ssize_t escape(char n, int a, int b, int sock);
    static ssize_t escape(char n, std::string_view text, int sock);
    static ssize_t cut(int sock);
    static ssize_t feed(int sock);
    static ssize_t feedAndcut(int lines, int sock);
    static ssize_t writeByte(uint8_t b, int sock);
    static ssize_t write(std::string_view text, int sock);
    static ssize_t write(const uint8_t* bytes, size_t length, int sock);
    // An object's description text: what it writes to a stream.
    template <class T> static ssize_t writeObject(const T& object, int sock) {
        std::ostringstream description;
        description << object;
        return write(description.str(), sock);
    }
    static ssize_t writeLine(int sock);
    static ssize_t writeLine(std::string_view text, int sock);
    // -1 without sending for data the symbol cannot carry (see EscPosCommands::barCode).
    static ssize_t writeBarCode(std::string_view data, int height, int sock, Error* error = nullptr);
    // The drawer pulse on the pin. False when nothing was sent: a negative pin (no drawer for
    // this terminal) or a failed send, with `error` saying which.
    static bool openDrawer(int pin, int sock, Error* error);
    // The drawer pulse over a connection of its own to the printer at `url` ("host:port").
    static bool openDrawer(int pin, const std::optional<std::string>& url, int timeoutSeconds, Error* error);
    static ssize_t printImage(const PixelImage& image, int sock);
    static ssize_t printSampleImage(int sock);

    // Why connect gave no connection.
    enum class ConnectFailure { None, NoAddress, Unresolved, NoConnection };
    // A connection to the printer at `url` ("host" or "host:port", port 9100 when none) within
    // the time-out: its descriptor (the caller closes it), or -1 with the reason in `failure`.
    static int connect(const std::optional<std::string>& url, int timeoutSeconds, ConnectFailure* failure);

    // Sends the commands whole: their length, or -1.
    static ssize_t send(const EscPosCommands& commands, int sock);
};

} // namespace tavlo
