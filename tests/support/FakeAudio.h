#pragma once

#include "platform/audio/AudioSession.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace tavlo::test {

class FakeAudioSession;

// A player that keeps the WAV it was given and tells its session when it starts playing.
class FakeAudioPlayer : public AudioPlayer {
public:
    FakeAudioPlayer(FakeAudioSession& session, std::vector<uint8_t> wav) : session_(session), wav_(std::move(wav)) {}
    const std::vector<uint8_t>& wav() const { return wav_; }

    void setNumberOfLoops(int loops) override { loops_ = loops; }
    void setVolume(float volume) override { volume_ = volume; }
    float volume() const override { return volume_; }
    bool prepareToPlay() override { return true; }
    bool play() override;
    void pause() override { playing_ = false; }
    void stop() override { playing_ = false; }
    bool isPlaying() const override { return playing_; }

private:
    FakeAudioSession& session_;
    std::vector<uint8_t> wav_;
    std::atomic<int> loops_{0};
    std::atomic<float> volume_{1.0f};
    std::atomic<bool> playing_{false};
};

// The audio session of a test: route and plug state, output volume, the mono setting, input
// availability and interruptions are set by the test; players record what they were given and
// report each play to `onPlay`; the input hands over the audio a test (or a simulated reader)
// queued, in buffers of the recorder's size, on the thread that queues or starts it.
class FakeAudioSession : public AudioSession {
public:
    // Plugs or pulls the headset and posts the route change (new device / old device unavailable).
    void plugHeadset(bool plugged);
    void setHeadsetPlugged(bool plugged) { headphones_ = plugged; } // without a notification
    void postRouteChange(int reason);
    void postInterruption(int type);
    void setVolume(float volume) { volume_ = volume; }
    void setMonoAudio(bool on) { mono_ = on; }
    void setInputAvailable(bool available) { inputAvailable_ = available; }

    // Audio to record: handed over now when the input runs, else when it next starts.
    void queueInput(const std::vector<uint8_t>& samples);
    bool isRecording() const;
    bool isActive() const { return active_; }
    bool receivesRemoteControlEvents() const { return remoteControl_; }
    std::vector<std::vector<uint8_t>> playedWaves() const;
    // Called on the playing thread with the WAV of every player that starts.
    std::function<void(const std::vector<uint8_t>& wav)> onPlay;

    bool setCategoryPlayAndRecord(Error*) override { return true; }
    bool setModeMeasurement(Error*) override { return true; }
    bool setActive(bool active, Error*) override {
        active_ = active;
        return true;
    }
    std::vector<std::string> currentRouteOutputs() const override {
        return {headphones_ ? portHeadphones : portSpeaker};
    }
    bool isInputAvailable() const override { return inputAvailable_; }
    float outputVolume() const override { return volume_; }
    bool setOutputVolume(float volume) override {
        volume_ = volume;
        return true;
    }
    bool isMonoAudioEnabled() const override { return mono_; }
    void setReceivesRemoteControlEvents(bool receives) override { remoteControl_ = receives; }
    std::unique_ptr<AudioPlayer> makePlayer(const std::vector<uint8_t>& wav, Error* error) override;
    std::unique_ptr<AudioInputQueue> makeInputQueue(const AudioInputFormat& format, AudioInputQueue::Callback callback,
                                                    Error* error) override;

private:
    friend class FakeAudioPlayer;
    friend class FakeAudioInputQueue;
    void played(const std::vector<uint8_t>& wav);
    void startInput(class FakeAudioInputQueue* input);
    void stopInput(class FakeAudioInputQueue* input);
    void deliverPending(); // to the running input, under deliverMutex_

    std::atomic<bool> headphones_{false};
    std::atomic<float> volume_{1.0f};
    std::atomic<bool> mono_{false};
    std::atomic<bool> inputAvailable_{true};
    std::atomic<bool> active_{false};
    std::atomic<bool> remoteControl_{false};
    mutable std::recursive_mutex deliverMutex_;
    class FakeAudioInputQueue* recording_ = nullptr;
    std::vector<uint8_t> pending_;
    mutable std::mutex playedMutex_;
    std::vector<std::vector<uint8_t>> played_;
};

// Installs a fresh FakeAudioSession as the process's session for a scope.
class ScopedFakeAudioSession {
public:
    ScopedFakeAudioSession();
    ~ScopedFakeAudioSession();
    FakeAudioSession& operator*() { return *session_; }
    FakeAudioSession* operator->() { return session_.get(); }

private:
    std::shared_ptr<FakeAudioSession> session_;
};

} // namespace tavlo::test
