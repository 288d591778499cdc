#pragma once

#include "platform/accessory/AccessorySession.h"
#include "platform/accessory/Stream.h"
#include "platform/foundation/NotificationCenter.h"
#include "readers/dockmag/SwipePacket.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

namespace dockmag {
class DockMag;
}
class AudioJackReader;
class PrinterCardReader;

// Names of the card-reader notifications. Whatever reader the terminal uses, a screen that takes
// swipes learns of the reader only through these, posted on the default centre:
//  - connect / disconnect: the object is what the reader's own notification carried (if anything);
//  - received data: the swipe as bytes (std::string), to be read as UTF-8 and parsed;
//  - error: a message for the person swiping ("Invalid Swipe", "Swipe error").
inline constexpr const char* kMsrDidConnectNotification = "msrDidConnectNotification";
inline constexpr const char* kMsrDidDisconnectNotification = "msrDidDisconnectNotification";
inline constexpr const char* kMsrReceivedDataNotification = "msrReceivedDataNotification";
inline constexpr const char* kMsrErrorNotification = "msrErrorNotification";

// Audio-jack reader events the mediator also listens for, beyond those the reader's facade posts.
inline const std::string kJackMagInsufficientPowerNotification = "jackMagInsufficientPowerNotification";

// The one card-reader go-between of the process. The sign-in screen creates it for the configured
// reader type; it attaches to that reader, listens to the reader's own events, keeps the
// audio-jack reader armed for the next swipe, and re-posts everything as the card-reader
// notifications, on the thread of the reader's event. Screens register for those while they show.
//
// Reader types, by prefix (case matters): "dockmag" the accessory reader, "iaps" none, "jackmag"
// the audio-jack reader, "varda" a vDock accessory read here directly, "sled" none (its driver's
// entry points are below), "orvan" the mobile printer's reader; anything else none.
//
// The log never carries what a card holds: swipes are logged by their length only.
class MSRMediator : private StreamDelegate {
public:
    using Callback = NotificationCenter::Callback;

    enum class Reader { None, DockMag, Iaps, JackMag, Varda, Sled, Orvan };
    static Reader readerFor(const std::optional<std::string>& type);

    // The first call creates the mediator for `type`; later calls answer that mediator whatever
    // type they pass.
    static MSRMediator& getInstance(const std::optional<std::string>& type);
    // getInstance("jackMag").
    static MSRMediator& getInstance();

    // Keeps the type and attaches to its reader; a nil type attaches nothing. The process's one
    // mediator comes from getInstance; tests make their own.
    explicit MSRMediator(std::optional<std::string> type);
    // Stops observing, lets go of the reader and drops the vDock session.
    ~MSRMediator() override;

    const std::optional<std::string>& type() const { return type_; }
    bool isType(const std::optional<std::string>& type) const;

    bool logEvents() const { return logEvents_; }
    void setLogEvents(bool logEvents) { logEvents_ = logEvents; }

    // Adds `observer`'s callback for each of the four card-reader notifications, any poster.
    // Registering again replaces the observer's earlier callback. With the printer's reader it
    // also starts a card read.
    void registerObserver(const void* observer, Callback callback);
    // Removes every callback `observer` registered. With the printer's reader it also cancels
    // the card read.
    void unregisterObserver(const void* observer);

    // The accessory reader's connection, or the audio-jack reader's attachment; NO for others.
    bool isConnected() const;

    // Every reader event comes here and leaves as a card-reader notification.
    void handleMSRNotification(const Notification& notification);

    // The vDock reader: opens a session with the first matching accessory (YES when one matched);
    // NO when a session is already open.
    bool connectVarda();
    void disconnectVarda();

    // Entry points of a sled reader's driver (none is built in): connect and disconnect come
    // without object, swipes as text.
    void deviceDidConnect();
    void deviceDidDisconnect();
    void magneticCardReadDidFinish(const std::string& text);
    void magneticCardData(const std::optional<std::string>& track1, const std::optional<std::string>& track2,
                          const std::optional<std::string>& track3);
    void magneticCardRawData(const std::string& bytes);
    void magneticCardReadStart() {}
    void magneticCardEncryptedData(int, const std::string&) {}
    void magneticCardEncryptedRawData(int, const std::string&) {}

    MSRMediator(const MSRMediator&) = delete;
    MSRMediator& operator=(const MSRMediator&) = delete;

private:
    void removeObserver(const void* observer);
    void observe(const std::vector<std::string>& names);
    void attachDockMag();
    void attachJackMag();
    void attachVarda();
    void attachPrinterReader();

    void post(const std::string& name, std::any object = {});
    void jackMagData(const std::string& text);
    // Counts the arming, then arms the reader again.
    void rearmJackMag();
    void swipeAgain();

    void stream(Stream& stream, StreamEvent event) override;
    void readVardaSwipe(InputStream& input);

    std::optional<std::string> type_;
    bool logEvents_ = false;
    std::mutex observersMutex_;
    std::map<const void*, std::vector<NotificationCenter::Token>> observers_;

    std::vector<ScopedObserver> readerObservers_;
    std::unique_ptr<dockmag::DockMag> dockMag_;
    std::unique_ptr<AudioJackReader> jackMag_;
    std::shared_ptr<PrinterCardReader> printerReader_;
    std::shared_ptr<AccessorySession> vardaSession_;
    // The vDock's swipes, gathered from the pieces its stream hands over.
    dockmag::SwipePacketAssembler vardaSwipes_{
        [this](const std::string& swipe) { post(kMsrReceivedDataNotification, swipe); }};
    bool vardaRegistered_ = false;
    int jackMagDidReceiveDataNotifications_ = 0;
    bool uniConnected_ = false;
};

} // namespace tavlo
