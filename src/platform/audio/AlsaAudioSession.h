#pragma once

#include "platform/audio/AudioSession.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace tavlo {

// The audio session on ALSA. Players and the input queue open the PCM device ("default" unless
// told otherwise) on threads of their own. The route follows the sound card's headphone jack
// control, watched twice a second; a card that cannot sense its jack counts as having the
// headset plugged in (a terminal with a sound card of its own for the reader). The output
// volume is the mixer's "Master" (else "PCM") playback volume. Linux has no mono-audio setting
// and no remote-control events.
class AlsaAudioSession : public AudioSession {
public:
    explicit AlsaAudioSession(std::string device = "default");
    ~AlsaAudioSession() override;

    // Whether the machine has any sound card at all.
    static bool hasSoundCard();

    bool setCategoryPlayAndRecord(Error* error) override;
    bool setModeMeasurement(Error* error) override;
    bool setActive(bool active, Error* error) override;
    std::vector<std::string> currentRouteOutputs() const override;
    bool isInputAvailable() const override;
    float outputVolume() const override;
    bool setOutputVolume(float volume) override;
    bool isMonoAudioEnabled() const override { return false; }
    void setReceivesRemoteControlEvents(bool receives) override { receivesRemoteControl_ = receives; }

    std::unique_ptr<AudioPlayer> makePlayer(const std::vector<uint8_t>& wav, Error* error) override;
    std::unique_ptr<AudioInputQueue> makeInputQueue(const AudioInputFormat& format, AudioInputQueue::Callback callback,
                                                    Error* error) override;

private:
    bool headphonesNow() const;
    void watchRoute();

    std::string device_;
    std::atomic<bool> active_{false};
    std::atomic<bool> receivesRemoteControl_{false};
    std::atomic<bool> headphones_{false};
    std::mutex watchMutex_;
    std::condition_variable watchWake_;
    bool closing_ = false;
    std::thread watcher_;
};

} // namespace tavlo
