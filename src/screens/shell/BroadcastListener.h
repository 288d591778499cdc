#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "platform/store/ObjectContext.h"
#include "sync/announce/UDPDelegate.h"

#include <memory>

namespace tavlo::screens {

// The store server's announcements while the sign-in screen is up: the listener made from the
// configuration (HH_IGNORE_BROADCASTS, HH_UDP_PORT, HH_UDP_LOG), on the main run loop, waking the
// handlers on store, menu and order changes; and each message for the staff shown as an alert
// "Message from <source>". A listener that cannot start is logged and not tried again.
class BroadcastListener {
public:
    explicit BroadcastListener(ObjectContext* context);
    ~BroadcastListener();
    BroadcastListener(const BroadcastListener&) = delete;
    BroadcastListener& operator=(const BroadcastListener&) = delete;

    // Null when the configuration ignores broadcasts.
    UDPDelegate* udpDelegate() const { return udpDelegate_.get(); }

    // The alert of a "broadcastMessage" notification (its object is the message's notification).
    static void broadcastMessage(const Notification& notification);

private:
    std::unique_ptr<UDPDelegate> udpDelegate_;
    ScopedObserver messages_;
};

} // namespace tavlo::screens
