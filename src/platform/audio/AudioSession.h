#pragma once

#include "platform/foundation/Error.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tavlo {

// Plays one WAV file (PCM, 8 or 16 bits), once or looping, at a volume.
class AudioPlayer {
public:
    virtual ~AudioPlayer() = default;
    // -1 loops without end; n plays n + 1 times.
    virtual void setNumberOfLoops(int loops) = 0;
    virtual void setVolume(float volume) = 0;
    virtual float volume() const = 0;
    virtual bool prepareToPlay() = 0;
    // Starts or resumes where a pause left it.
    virtual bool play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;
};

// Records the input in buffers of a fixed size and hands each filled buffer to its callback on
// the queue's own thread.
class AudioInputQueue {
public:
    using Callback = std::function<void(const uint8_t* data, size_t size)>;
    virtual ~AudioInputQueue() = default;
    virtual bool start(Error* error) = 0;
    // Stops at once; no callback runs after it returns.
    virtual void stop() = 0;
};

// The input format the reader records: unsigned 8-bit mono samples.
struct AudioInputFormat {
    double sampleRate = 48000.0;
    size_t bufferBytes = 9600;
};

// The device's audio: route (what is plugged in), activation, output volume, players and input.
// One session serves the process (`shared()`); tests install a fake. Route changes and
// interruptions are posted to the default notification centre with the session as sender.
class AudioSession {
public:
    static inline const std::string routeChangeNotification = "AudioSessionRouteChangeNotification";
    static inline const std::string routeChangeReasonKey = "AudioSessionRouteChangeReasonKey"; // int
    static inline const std::string interruptionNotification = "AudioSessionInterruptionNotification";
    static inline const std::string interruptionTypeKey = "AudioSessionInterruptionTypeKey"; // int
    static inline const std::string portHeadphones = "Headphones";
    static inline const std::string portSpeaker = "Speaker";
    static constexpr int kErrorDomainCodeBusy = 0x21616374; // '!act': deactivated while in use
    static inline const std::string errorDomain = "AudioSessionErrorDomain";

    enum RouteChangeReason { ReasonUnknown = 0, NewDeviceAvailable = 1, OldDeviceUnavailable = 2, CategoryChange = 3 };
    enum InterruptionType { InterruptionEnded = 0, InterruptionBegan = 1 };

    virtual ~AudioSession() = default;

    static std::shared_ptr<AudioSession> shared();
    // Installs the process's session; null goes back to the ALSA one.
    static void install(std::shared_ptr<AudioSession> session);

    virtual bool setCategoryPlayAndRecord(Error* error) = 0;
    virtual bool setModeMeasurement(Error* error) = 0;
    virtual bool setActive(bool active, Error* error) = 0;
    // Port types of the current route's outputs (portHeadphones when a headset is plugged in).
    virtual std::vector<std::string> currentRouteOutputs() const = 0;
    virtual bool isInputAvailable() const = 0;
    // 0.0 to 1.0.
    virtual float outputVolume() const = 0;
    virtual bool setOutputVolume(float volume) = 0;
    // The accessibility setting that mixes both channels into one.
    virtual bool isMonoAudioEnabled() const = 0;
    virtual void setReceivesRemoteControlEvents(bool receives) = 0;

    virtual std::unique_ptr<AudioPlayer> makePlayer(const std::vector<uint8_t>& wav, Error* error) = 0;
    virtual std::unique_ptr<AudioInputQueue> makeInputQueue(const AudioInputFormat& format,
                                                            AudioInputQueue::Callback callback, Error* error) = 0;

    bool isHeadphonesPlugged() const;
};

} // namespace tavlo
