#pragma once

#include "platform/foundation/NotificationCenter.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

// Names of the card-reader notifications. Whatever reader the terminal uses, a screen that takes
// swipes learns of the reader only through these, posted on the default centre:
//  - connect / disconnect: the object is what the reader's own notification carried (if anything);
//  - received data: the swipe as bytes (std::string), to be read as UTF-8 and parsed;
//  - error: a message for the person swiping ("Invalid Swipe", "Swipe error").
inline constexpr const char* kMsrDidConnectNotification = "msrDidConnectNotification";
inline constexpr const char* kMsrDidDisconnectNotification = "msrDidDisconnectNotification";
inline constexpr const char* kMsrReceivedDataNotification = "msrReceivedDataNotification";
inline constexpr const char* kMsrErrorNotification = "msrErrorNotification";

// The one card-reader go-between of the process. The sign-in screen creates it for the configured
// reader type; screens register for the card-reader notifications through it while they show.
class MSRMediator {
public:
    using Callback = NotificationCenter::Callback;

    // The first call creates the mediator for `type`; later calls answer that mediator whatever
    // type they pass.
    static MSRMediator& getInstance(const std::optional<std::string>& type);
    // getInstance("jackMag").
    static MSRMediator& getInstance();

    const std::optional<std::string>& type() const { return type_; }
    bool isType(const std::optional<std::string>& type) const;

    bool logEvents() const { return logEvents_; }
    void setLogEvents(bool logEvents) { logEvents_ = logEvents; }

    // Adds `observer`'s callback for each of the four card-reader notifications, any poster.
    // Registering again replaces the observer's earlier callback.
    void registerObserver(const void* observer, Callback callback);
    // Removes every callback `observer` registered; nothing when it registered none.
    void unregisterObserver(const void* observer);

    MSRMediator(const MSRMediator&) = delete;
    MSRMediator& operator=(const MSRMediator&) = delete;

private:
    explicit MSRMediator(std::optional<std::string> type);
    ~MSRMediator();

    std::optional<std::string> type_;
    bool logEvents_ = false;
    std::mutex observersMutex_;
    std::map<const void*, std::vector<NotificationCenter::Token>> observers_;
};

} // namespace tavlo
