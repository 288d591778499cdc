#include "support/FakeAudio.h"

#include "platform/foundation/NotificationCenter.h"

#include <algorithm>

namespace tavlo::test {

class FakeAudioInputQueue : public AudioInputQueue {
public:
    FakeAudioInputQueue(FakeAudioSession& session, AudioInputFormat format, Callback callback)
        : session_(session), format_(format), callback_(std::move(callback)) {}
    ~FakeAudioInputQueue() override { stop(); }
    bool start(Error*) override {
        session_.startInput(this);
        return true;
    }
    void stop() override { session_.stopInput(this); }
    size_t bufferBytes() const { return format_.bufferBytes; }
    void hand(const uint8_t* data, size_t size) { callback_(data, size); }

private:
    FakeAudioSession& session_;
    AudioInputFormat format_;
    Callback callback_;
};

bool FakeAudioPlayer::play() {
    playing_ = true;
    session_.played(wav_);
    return true;
}

void FakeAudioSession::plugHeadset(bool plugged) {
    headphones_ = plugged;
    postRouteChange(plugged ? NewDeviceAvailable : OldDeviceUnavailable);
}

void FakeAudioSession::postRouteChange(int reason) {
    NotificationCenter::defaultCenter().post(routeChangeNotification, {}, UserInfo{{routeChangeReasonKey, reason}},
                                             this);
}

void FakeAudioSession::postInterruption(int type) {
    NotificationCenter::defaultCenter().post(interruptionNotification, {}, UserInfo{{interruptionTypeKey, type}}, this);
}

void FakeAudioSession::queueInput(const std::vector<uint8_t>& samples) {
    std::lock_guard lock(deliverMutex_);
    pending_.insert(pending_.end(), samples.begin(), samples.end());
    if (recording_) deliverPending();
}

bool FakeAudioSession::isRecording() const {
    std::lock_guard lock(deliverMutex_);
    return recording_ != nullptr;
}

std::vector<std::vector<uint8_t>> FakeAudioSession::playedWaves() const {
    std::lock_guard lock(playedMutex_);
    return played_;
}

std::unique_ptr<AudioPlayer> FakeAudioSession::makePlayer(const std::vector<uint8_t>& wav, Error* error) {
    if (wav.size() < 44) {
        Error::set(error, errorDomain, -1, "Not a WAV file");
        return nullptr;
    }
    return std::make_unique<FakeAudioPlayer>(*this, wav);
}

std::unique_ptr<AudioInputQueue> FakeAudioSession::makeInputQueue(const AudioInputFormat& format,
                                                                  AudioInputQueue::Callback callback, Error*) {
    return std::make_unique<FakeAudioInputQueue>(*this, format, std::move(callback));
}

void FakeAudioSession::played(const std::vector<uint8_t>& wav) {
    {
        std::lock_guard lock(playedMutex_);
        played_.push_back(wav);
    }
    if (onPlay) onPlay(wav);
}

void FakeAudioSession::startInput(FakeAudioInputQueue* input) {
    std::lock_guard lock(deliverMutex_);
    recording_ = input;
    deliverPending();
}

void FakeAudioSession::stopInput(FakeAudioInputQueue* input) {
    std::lock_guard lock(deliverMutex_);
    if (recording_ == input) recording_ = nullptr;
}

void FakeAudioSession::deliverPending() {
    std::vector<uint8_t> samples;
    samples.swap(pending_);
    size_t size = recording_->bufferBytes();
    for (size_t at = 0; at < samples.size() && recording_; at += size) {
        std::vector<uint8_t> buffer(size, 128); // a recorder hands over full buffers
        std::copy_n(samples.begin() + static_cast<long>(at), std::min(size, samples.size() - at), buffer.begin());
        recording_->hand(buffer.data(), buffer.size());
    }
}

ScopedFakeAudioSession::ScopedFakeAudioSession() : session_(std::make_shared<FakeAudioSession>()) {
    AudioSession::install(session_);
}

ScopedFakeAudioSession::~ScopedFakeAudioSession() { AudioSession::install(nullptr); }

} // namespace tavlo::test
