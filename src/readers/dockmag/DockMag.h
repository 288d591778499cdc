#pragma once

#include "platform/accessory/AccessorySession.h"
#include "platform/accessory/Stream.h"
#include "platform/foundation/NotificationCenter.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tavlo::dockmag {

// The accessory reader's notifications, on the default centre.
inline const std::string kDidConnectNotification =
    "dockMagDidConnectNotification"; // object: std::shared_ptr<Accessory>
inline const std::string kDidDisconnectNotification = "dockMagDidDisconnectNotification"; // no object
// object: std::string, the card data of one swipe (its packet gathered whole), or "E" for a swipe
// that came broken (its check failed or it stopped halfway).
inline const std::string kDidReceiveDataNotification = "dockMagDidReceiveDataNotification";
// The protocol the reader speaks.
inline const std::string kReaderProtocol = "com.calder.reader";

// The accessory card reader. It connects to the first attached accessory that speaks the
// reader's protocol, services the session's streams on one event thread, gathers what the reader
// sends into its packets and hands each swipe to the main thread as a data notification, reopens once after a stream error,
// lets go of the reader in the background and takes it again in the foreground, and sends framed
// commands, waiting for their reply.
//
// The connected flag, the event thread, the reply list and the observers are shared by every
// DockMag of the process; the first one makes them, and destroying any one tears them down.
class DockMag : private StreamDelegate {
public:
    // Sets up what is shared (first time) and tries to connect.
    DockMag();
    ~DockMag() override;
    DockMag(const DockMag&) = delete;
    DockMag& operator=(const DockMag&) = delete;

    static void enableLogging(bool enabled);

    bool dockMagConnected() const;
    // When connected: closes the session and posts the disconnect notification.
    void disconnect();
    // Disconnects, stops observing, stops the event thread and drops what is shared.
    void destroy();

    void attemptConnect();
    void sessionOpen(const std::shared_ptr<Accessory>& accessory);
    void sessionClose();

    // The reply to a command (the raw chunk the reader answered, framing included), or nullopt
    // when not connected, the write failed or no reply came within 50 polls of 0.05 s.
    std::optional<std::string> SendCMD(const std::string& command);
    std::optional<std::string> SendCMD_withCStr(const char* command);
    std::optional<std::string> SendCMDGetVersion();
    std::optional<std::string> SendCMDGetSerialNumber();

    // STX, the command, ETX, and the XOR of every byte before it.
    static std::string preparePacket(const std::string& command);
    static uint8_t computeLRC(const std::string& bytes);
    std::optional<std::string> transmitPacket_withBackgroundEt(const std::string& frame);
    // Sends a frame and reads the reply on the calling thread, the event thread kept off the
    // input stream meanwhile: a lone ACK or NAK, or the reply without its ACK, STX, ETX and check
    // (a reply shorter than 5 bytes unchanged). Card data read meanwhile is posted as swipes.
    std::optional<std::string> transmitPacket(const std::string& frame);
    // Reads a reply from the input stream (see transmitPacket); nullopt when none came in time.
    std::optional<std::string> DoReadCmd(InputStream& input);

    // Observer callbacks.
    void accessoryConnected(const Notification& notification);
    void accessoryDisconnected(const Notification& notification);
    void applicationDidEnterBackground(const Notification& notification);
    void applicationWillEnterForeground(const Notification& notification);

    // Hands a chunk of card data to the main thread without waiting.
    static void notifyDataReceived(const std::string& chunk);
    static void notifyDataReceived_posted(const std::string& chunk);

private:
    void stream(Stream& stream, StreamEvent event) override;
    void bytesAvailable(InputStream& input);
    void recoverFromStreamError();

    // Guards `session_`; held across a reopen so that a disconnect waits for it.
    mutable std::recursive_mutex sessionMutex_;
    std::shared_ptr<AccessorySession> session_;
};

} // namespace tavlo::dockmag
