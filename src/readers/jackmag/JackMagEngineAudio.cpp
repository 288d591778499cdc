// The audio side of the engine: the audio session while a reader is plugged in, headset route
// changes and interruptions, the looping tones and the recorder feeding the chunk queue.
#include "readers/jackmag/JackMagEngine.h"

#include "platform/foundation/Directories.h"
#include "readers/jackmag/JmRet.h"
#include "readers/jackmag/Notifications.h"
#include "readers/jackmag/ReaderLog.h"
#include "readers/jackmag/SdkLock.h"
#include "readers/jackmag/ToneWaves.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace tavlo::jackmag {

namespace {

int intInfo(const Notification& note, const std::string& key) {
    auto it = note.userInfo.find(key);
    if (it == note.userInfo.end()) return -1;
    if (auto* value = std::any_cast<int>(&it->second)) return *value;
    return -1;
}

constexpr double kChunkSeconds = 0.2;

} // namespace

void JackMagEngine::activateAudioSession(bool on) {
    rec_init(false);
    tone_setAs(kToneNone);
    Error error;
    if (!session_->setActive(false, &error) && error.code() != AudioSession::kErrorDomainCodeBusy) {
        logError("ActivateAS: AVAudioSession deactivate failed: %@", error.localizedDescription());
    }
    if (!on) return;
    Error category;
    if (!session_->setCategoryPlayAndRecord(&category)) {
        logError("ActivateAS: AVAudioSession setCategory failed: %@", category.localizedDescription());
    }
    Error active;
    if (!session_->setActive(true, &active)) {
        logError("ActivateAS: AVAudioSession setActive failed: %@", active.localizedDescription());
    }
    if (!session_->setModeMeasurement(nullptr)) logWarning("ActivateAS: AVAudioSession setMode returned %d", 0);
    rec_init(true);
}

bool JackMagEngine::isHeadsetPluggedIn() const { return session_->isHeadphonesPlugged(); }

void JackMagEngine::audioRouteChangeListenerCallback(const Notification& note) {
    SdkLock lock(sdkLock());
    if (!created_) return;
    switch (intInfo(note, AudioSession::routeChangeReasonKey)) {
    case AudioSession::NewDeviceAvailable: event_attachStateChanged(true); break;
    case AudioSession::OldDeviceUnavailable: event_attachStateChanged(false); break;
    case AudioSession::CategoryChange:
        if (isHeadsetPluggedIn()) event_attachStateChanged(true);
        break;
    default: break;
    }
}

void JackMagEngine::handleInterruptionNotification(const Notification& note) {
    SdkLock lock(sdkLock());
    if (!created_) return;
    int type = intInfo(note, AudioSession::interruptionTypeKey);
    if (type == AudioSession::InterruptionBegan) beginInterruption();
    else if (type == AudioSession::InterruptionEnded) endInterruption();
}

void JackMagEngine::beginInterruption() {
    stopConnection();
    stopTask();
}

void JackMagEngine::endInterruption() { logInfo("SysEvent: audio interruption ends"); }

void JackMagEngine::event_attachStateChanged(bool attached) {
    if (!attached) {
        tone_resume();
        tone_stop();
    }
    if (attached == attached_) return;
    attached_ = attached;
    if (attached) {
        haveNotStartFirstTask_ = true;
        {
            std::lock_guard lock(fieldsMutex_);
            swipeConsecutiveFailCount_ = 0;
        }
        if (!cfgEnableDeferredActivateAudioSession_) activateAudioSession(true);
        remoteControlEventEnable(true);
        int connect = cfgEnableAutoConnect_ ? startConnect(notes::kAttachment) : JMRET_SUCCESS;
        // A started connect has told its powering, then the attachment, before its task can
        // answer.
        if (!cfgEnableAutoConnect_ || connect != JMRET_SUCCESS) postNote(notes::kAttachment);
        // A connect refused at plug-in is told, so that the person can act on it (the mono-audio
        // refusal has told already).
        if (connect == JMRET_LOW_VOLUME) {
            logWarning("StartConnect: %@", jmRetText(connect));
            postNote(notes::kLowVolume);
        }
        return;
    }
    stopConnection();
    stopTask();
    activateAudioSession(false);
    remoteControlEventEnable(false);
    postNote(notes::kDetachment);
}

void JackMagEngine::checkAndFireOnlyAttachmentEvent() {
    if (isHeadsetPluggedIn()) event_attachStateChanged(true);
}

void JackMagEngine::checkAndFireTachmentEvent() { event_attachStateChanged(isHeadsetPluggedIn()); }

void JackMagEngine::remoteControlEventEnable(bool on) {
    session_->setReceivesRemoteControlEvents(on);
    if (!on) {
        remoteControlPlayer_.reset();
        return;
    }
    Error error;
    remoteControlPlayer_ = session_->makePlayer(silentWave(), &error);
    if (!remoteControlPlayer_) {
        logError("Remote control enable: player init failed: %@", error.localizedDescription());
        return;
    }
    remoteControlPlayer_->setVolume(0.0f);
    remoteControlPlayer_->play();
}

// --- tones

void JackMagEngine::tone_setAs(int code) {
    std::lock_guard lock(toneMutex_);
    if (code == toneCode_) return;
    toneCode_ = code;
    tonePlayer_.reset();
    if (code == kToneNone) return;
    Error error;
    tonePlayer_ = session_->makePlayer(toneWave(code), &error);
    if (!tonePlayer_) {
        logError("PlayTone: player init failed: %@", error.localizedDescription());
        return;
    }
    tonePlayer_->setNumberOfLoops(-1);
    tonePlayer_->setVolume(1.0f);
    tonePlayer_->prepareToPlay();
}

void JackMagEngine::tone_stop() {
    std::lock_guard lock(toneMutex_);
    if (tonePlayer_) tonePlayer_->pause();
}

void JackMagEngine::tone_resume() {
    std::lock_guard lock(toneMutex_);
    if (tonePlayer_) tonePlayer_->play();
}

int JackMagEngine::tone_get() const {
    std::lock_guard lock(toneMutex_);
    return toneCode_;
}

void JackMagEngine::tone_blip() {
    std::lock_guard lock(toneMutex_);
    if (!tonePlayer_) return;
    tonePlayer_->setVolume(0.0f);
    tonePlayer_->play();
    tonePlayer_->pause();
    tonePlayer_->setVolume(1.0f);
}

// --- recorder

void JackMagEngine::rec_init(bool create) {
    std::lock_guard lock(recMutex_);
    if (!create) {
        if (recInfo_.mQueue) {
            if (*recInfo_.mIsRunning) {
                *recInfo_.mIsRunning = false;
                recInfo_.mQueue->stop();
            }
        }
        recInfo_ = RecorderInfo();
        return;
    }
    if (recInfo_.mQueue) return;
    recInfo_.mDataFormat = AudioInputFormat{static_cast<double>(kRecordSampleRate), 0};
    recInfo_.bufferByteSize = static_cast<uint32_t>(kRecordSampleRate * 1 * kChunkSeconds);
    recInfo_.mDataFormat.bufferBytes = recInfo_.bufferByteSize;
    recInfo_.bq = std::make_shared<BQ>();
    recInfo_.mIsRunning = std::make_shared<std::atomic<bool>>(false);
    // The callback holds what it feeds, so a recorder released meanwhile is never written to.
    auto bq = recInfo_.bq;
    auto running = recInfo_.mIsRunning;
    Error error;
    recInfo_.mQueue = session_->makeInputQueue(
        recInfo_.mDataFormat,
        [bq, running](const uint8_t* data, size_t size) {
            if (*running) bq->put(Bytes(data, data + size));
        },
        &error);
    if (!recInfo_.mQueue) logError("rec: create audio queue failed (%d)", error.code());
}

void JackMagEngine::rec_start() {
    std::lock_guard lock(recMutex_);
    if (!recInfo_.mQueue) return;
    // A new recording hears only what comes after it started: stale chunks could otherwise be
    // read as the answer to this command.
    recInfo_.bq->clear();
    *recInfo_.mIsRunning = true;
    Error error;
    if (!recInfo_.mQueue->start(&error)) logError("rec start: failed (%d)", error.code());
}

void JackMagEngine::rec_stop() {
    std::lock_guard lock(recMutex_);
    if (!recInfo_.mQueue || !*recInfo_.mIsRunning) return;
    *recInfo_.mIsRunning = false;
    recInfo_.mQueue->stop();
}

std::shared_ptr<BQ> JackMagEngine::recorderQueue() const {
    std::lock_guard lock(recMutex_);
    return recInfo_.bq;
}

std::string JackMagEngine::rec_getFile() const {
    std::lock_guard lock(fieldsMutex_);
    if (wavePath_) return *wavePath_;
    return (temporaryDirectory() / "audio").string();
}

bool JackMagEngine::keepsWavePath() const {
    std::lock_guard lock(fieldsMutex_);
    return wavePath_.has_value();
}

std::optional<Bytes> JackMagEngine::getWave() const {
    std::ifstream in(rec_getFile() + ".wav", std::ios::binary);
    if (!in) return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

bool JackMagEngine::setWavePath(const std::string& path) {
    if (runningTask_ != 0) {
        logWarning("setWavePath: failed. Recorder in use");
        return false;
    }
    std::filesystem::path p(path);
    std::lock_guard lock(fieldsMutex_);
    wavePath_ = (p.parent_path() / p.stem()).string();
    return true;
}

} // namespace tavlo::jackmag
