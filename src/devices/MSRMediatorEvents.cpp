// The card-reader mediator's handling of every reader's own events.
#include "devices/MSRMediator.h"

#include "core/util/TavloLog.h"
#include "devices/AudioJackReader.h"
#include "platform/accessory/AccessoryManager.h"
#include "platform/foundation/AlertSink.h"
#include "platform/foundation/LocalizedStrings.h"
#include "readers/dockmag/DockMag.h"
#include "readers/jackmag/Notifications.h"

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

namespace tavlo {

namespace {

// The audio-jack reader's identification text, and how much of a reply it takes up in front of
// a track that follows it.
const std::string kJackMagIdentification = "CLDMSR100";
constexpr size_t kJackMagIdentificationLength = 13;
// Data notifications without a track after which the audio-jack reader is armed again.
constexpr int kJackMagEmptyNotificationsBeforeRearm = 3;

// A reader's bytes as text: the jack reader hands bytes, the others text already.
std::string bytesOf(const std::any& object) {
    if (const auto* text = std::any_cast<std::string>(&object)) return *text;
    if (const auto* bytes = std::any_cast<std::vector<uint8_t>>(&object))
        return std::string(bytes->begin(), bytes->end());
    return {};
}

} // namespace

void MSRMediator::post(const std::string& name, std::any object) {
    NotificationCenter::defaultCenter().post(name, std::move(object));
}

void MSRMediator::handleMSRNotification(const Notification& notification) {
    using namespace jackmag::notes;
    const std::string& name = notification.name;
    if (logEvents_) TAVLO_LOG("MSR notification, Name: %@", name);

    if (name.empty()) {
        post(kMsrErrorNotification, localized("Swipe error"));
    } else if (name == dockmag::kDidConnectNotification || name == AccessoryManager::didConnectNotification) {
        if (name == AccessoryManager::didConnectNotification) connectVarda();
        post(kMsrDidConnectNotification, notification.object);
    } else if (name == dockmag::kDidDisconnectNotification || name == AccessoryManager::didDisconnectNotification) {
        if (name == AccessoryManager::didDisconnectNotification) disconnectVarda();
        post(kMsrDidDisconnectNotification, notification.object);
    } else if (name == dockmag::kDidReceiveDataNotification) {
        post(kMsrReceivedDataNotification, notification.object);
    } else if (name == kPowering) {
        TAVLO_LOG("jackMag Powering");
    } else if (name == kTimeout || name == kTimeoutSwipe) {
        swipeAgain();
    } else if (name == kInvalidSwipe) {
        post(kMsrErrorNotification, localized("Invalid Swipe"));
        swipeAgain();
    } else if (name == kLowVolume) {
        // The reader could not be powered: only the person can change that.
        AlertSink::show(localized("Alert"), localized("Turn the volume up to use the card reader"), localized("OK"));
    } else if (name == kMonoAudioError) {
        AlertSink::show(localized("Alert"), localized("Turn Mono Audio off to use the card reader"), localized("OK"));
    } else if (name == kSwipe) {
        if (logEvents_) TAVLO_LOG("jackMag ready for swipe");
    } else if (name == kDidConnect) {
        if (logEvents_) TAVLO_LOG("jackMag is connected");
        if (jackMag_) jackMag_->requestSwipe();
        uniConnected_ = true;
        post(kMsrDidConnectNotification, notification.object);
    } else if (name == kDidDisconnect) {
        if (jackMag_) jackMag_->cancelSwipe();
        uniConnected_ = false;
        post(kMsrDidDisconnectNotification, notification.object);
    } else if (name == kDidReceiveData) {
        jackMagData(bytesOf(notification.object));
    }
}

void MSRMediator::jackMagData(const std::string& received) {
    if (!uniConnected_) {
        if (logEvents_) TAVLO_LOG("Ignoring jackMagDidReceiveDataNotification, device not connected yet");
        return;
    }
    std::string text = received;
    // The length only: the text may be a whole card.
    TAVLO_LOG("Received: %d characters", static_cast<int>(text.size()));

    bool isTrack = true;
    if (text.find(kJackMagIdentification) != std::string::npos) {
        if (text.size() > kJackMagIdentificationLength) {
            text.erase(0, kJackMagIdentificationLength);
        } else {
            if (logEvents_) TAVLO_LOG("Ignoring init string: %d characters", static_cast<int>(text.size()));
            ++jackMagDidReceiveDataNotifications_;
            isTrack = false;
        }
    } else if (text.find("Timeout") != std::string::npos) {
        if (logEvents_) TAVLO_LOG("Ignoring timeout: %d characters", static_cast<int>(text.size()));
        ++jackMagDidReceiveDataNotifications_;
        rearmJackMag();
        return;
    }

    if (isTrack) {
        if (!text.empty()) {
            if (logEvents_) TAVLO_LOG("Track data: %d characters", static_cast<int>(text.size()));
            post(kMsrReceivedDataNotification, text);
        }
        ++jackMagDidReceiveDataNotifications_;
        if (!text.empty()) {
            rearmJackMag();
            return;
        }
    }

    if (jackMagDidReceiveDataNotifications_ == kJackMagEmptyNotificationsBeforeRearm) {
        rearmJackMag();
    } else if (logEvents_) {
        TAVLO_LOG("Did not request another swipe (uniConnected:%d, jackMagDidReceiveDataNotifications:%d)",
                  uniConnected_ ? 1 : 0, jackMagDidReceiveDataNotifications_);
    }
}

void MSRMediator::rearmJackMag() {
    if (logEvents_) {
        TAVLO_LOG("Tavlo Requesting swipe (jackMagDidReceiveDataNotifications:%d)",
                  jackMagDidReceiveDataNotifications_);
    }
    jackMagDidReceiveDataNotifications_ = 0;
    swipeAgain();
}

void MSRMediator::swipeAgain() {
    if (jackMag_) {
        jackMag_->cancelSwipe();
        jackMag_->requestSwipe();
    }
}

void MSRMediator::deviceDidConnect() { post(kMsrDidConnectNotification); }

void MSRMediator::deviceDidDisconnect() { post(kMsrDidDisconnectNotification); }

void MSRMediator::magneticCardReadDidFinish(const std::string& text) { post(kMsrReceivedDataNotification, text); }

void MSRMediator::magneticCardData(const std::optional<std::string>& track1, const std::optional<std::string>& track2,
                                   const std::optional<std::string>& track3) {
    std::string joined;
    for (const auto* track : {&track1, &track2, &track3}) {
        if (*track) joined += **track;
    }
    magneticCardRawData(joined);
}

void MSRMediator::magneticCardRawData(const std::string& bytes) {
    TAVLO_LOG("Sled received raw cad data: %d characters", static_cast<int>(bytes.size()));
    post(kMsrReceivedDataNotification, bytes);
}

} // namespace tavlo
