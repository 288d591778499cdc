#pragma once

#include "platform/foundation/Error.h"

#include <optional>
#include <string>

// The audio-jack reader's notifications, posted on the main thread to the default centre.
namespace tavlo::jackmag::notes {

inline const std::string kAttachment = "jackMagAttachmentNotification";
inline const std::string kDetachment = "jackMagDetachmentNotification";
inline const std::string kPowering = "jackMagPoweringNotification";
inline const std::string kMonoAudioError = "jackMagMonoAudioErrorNotification";
// A connect the reader's plugging in started was refused: the output volume is too low to power it.
inline const std::string kLowVolume = "jackMagLowVolumeNotification";
// A swipe was read but its data is not valid (the swipe goes on listening).
inline const std::string kInvalidSwipe = "jackMagInvalidSwipeNotification";
inline const std::string kDidConnect = "jackMagDidConnectNotification";
inline const std::string kDidDisconnect = "jackMagDidDisconnectNotification";
inline const std::string kTimeout = "jackMagTimeoutNotification";
inline const std::string kSwipe = "jackMagSwipeNotification";
inline const std::string kDataProcessing = "jackMagDataProcessingNotification";
inline const std::string kDidReceiveData = "jackMagDidReceiveDataNotification"; // object: Bytes
inline const std::string kTimeoutSwipe = "jackMagTimeoutSwipe";
inline const std::string kCmdSending = "jackMagCmdSendingNotification";
inline const std::string kDidReceiveCmd = "jackMagDidReceiveCmdNotification"; // object: Bytes
inline const std::string kCommandTimeout = "jackMagCommandTimeout";
inline const std::string kSystemMessage = "jackMagSystemMessageNotification"; // object: SystemMessage

inline const std::string kSystemMessageDomain = "jackmag.mobile.reader";

} // namespace tavlo::jackmag::notes

namespace tavlo::jackmag {

// A firmware update's progress or failure: an error of the domain "jackmag.mobile.reader" with
// the message code and text, and the block it is about ("block_num") when there is one.
struct SystemMessage {
    Error error;
    std::optional<int> blockNum;
};

} // namespace tavlo::jackmag
