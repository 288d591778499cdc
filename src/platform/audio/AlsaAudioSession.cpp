#include "platform/audio/AlsaAudioSession.h"

#include "platform/audio/WavFile.h"
#include "platform/foundation/NotificationCenter.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tavlo {

namespace {

bool fail(Error* error, int code, const std::string& what) {
    Error::set(error, AudioSession::errorDomain, code, what + ": " + snd_strerror(code));
    return false;
}

// The state of the first headphone jack control of any card; nothing when no card senses one.
std::optional<bool> headphoneJack() {
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        snd_hctl_t* hctl = nullptr;
        std::string name = "hw:" + std::to_string(card);
        if (snd_hctl_open(&hctl, name.c_str(), 0) < 0) continue;
        std::optional<bool> plugged;
        if (snd_hctl_load(hctl) == 0) {
            for (snd_hctl_elem_t* e = snd_hctl_first_elem(hctl); e && !plugged; e = snd_hctl_elem_next(e)) {
                std::string elem = snd_hctl_elem_get_name(e);
                if (snd_hctl_elem_get_interface(e) != SND_CTL_ELEM_IFACE_CARD) continue;
                if (elem.find("Headphone") == std::string::npos || elem.find("Jack") == std::string::npos) continue;
                snd_ctl_elem_value_t* value = nullptr;
                snd_ctl_elem_value_alloca(&value);
                if (snd_hctl_elem_read(e, value) == 0) plugged = snd_ctl_elem_value_get_boolean(value, 0) != 0;
            }
        }
        snd_hctl_close(hctl);
        if (plugged) return plugged;
    }
    return std::nullopt;
}

// The mixer's playback volume element, opened for one call.
class Mixer {
public:
    Mixer() {
        if (snd_mixer_open(&mixer_, 0) < 0) return;
        if (snd_mixer_attach(mixer_, "default") < 0 || snd_mixer_selem_register(mixer_, nullptr, nullptr) < 0 ||
            snd_mixer_load(mixer_) < 0) {
            return;
        }
        for (const char* name : {"Master", "PCM"}) {
            snd_mixer_selem_id_t* id = nullptr;
            snd_mixer_selem_id_alloca(&id);
            snd_mixer_selem_id_set_name(id, name);
            elem_ = snd_mixer_find_selem(mixer_, id);
            if (elem_ && snd_mixer_selem_has_playback_volume(elem_)) break;
            elem_ = nullptr;
        }
        if (elem_) snd_mixer_selem_get_playback_volume_range(elem_, &min_, &max_);
    }
    ~Mixer() {
        if (mixer_) snd_mixer_close(mixer_);
    }
    bool valid() const { return elem_ && max_ > min_; }
    float volume() const {
        long value = 0;
        snd_mixer_selem_get_playback_volume(elem_, SND_MIXER_SCHN_FRONT_LEFT, &value);
        return static_cast<float>(value - min_) / static_cast<float>(max_ - min_);
    }
    bool setVolume(float volume) {
        long value = min_ + std::lround(std::clamp(volume, 0.0f, 1.0f) * static_cast<float>(max_ - min_));
        return snd_mixer_selem_set_playback_volume_all(elem_, value) == 0;
    }

private:
    snd_mixer_t* mixer_ = nullptr;
    snd_mixer_elem_t* elem_ = nullptr;
    long min_ = 0;
    long max_ = 0;
};

class AlsaAudioPlayer : public AudioPlayer {
public:
    AlsaAudioPlayer(std::string device, WavPcm pcm) : device_(std::move(device)), pcm_(std::move(pcm)) {}
    ~AlsaAudioPlayer() override { stop(); }

    void setNumberOfLoops(int loops) override { loops_ = loops; }
    void setVolume(float volume) override { volume_ = std::clamp(volume, 0.0f, 1.0f); }
    float volume() const override { return volume_; }
    bool prepareToPlay() override { return !pcm_.data.empty(); }
    bool play() override {
        std::lock_guard lock(mutex_);
        if (thread_.joinable()) {
            if (playing_) return true;
            thread_.join();
        }
        snd_pcm_t* pcm = nullptr;
        if (snd_pcm_open(&pcm, device_.c_str(), SND_PCM_STREAM_PLAYBACK, 0) < 0) return false;
        snd_pcm_format_t format = pcm_.bytesPerSample == 1 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
        if (snd_pcm_set_params(pcm, format, SND_PCM_ACCESS_RW_INTERLEAVED, pcm_.channels, pcm_.sampleRate, 1, 100000) <
            0) {
            snd_pcm_close(pcm);
            return false;
        }
        playing_ = true;
        thread_ = std::thread([this, pcm] { run(pcm); });
        return true;
    }
    void pause() override { halt(); }
    void stop() override {
        halt();
        position_ = 0;
    }
    bool isPlaying() const override { return playing_; }

private:
    void halt() {
        std::lock_guard lock(mutex_);
        playing_ = false;
        if (thread_.joinable()) thread_.join();
    }

    void run(snd_pcm_t* pcm) {
        const size_t frameBytes = pcm_.frameBytes();
        const size_t totalFrames = pcm_.data.size() / frameBytes;
        int played = 0;
        std::vector<uint8_t> block;
        while (playing_) {
            if (position_ >= totalFrames) {
                ++played;
                if (loops_ >= 0 && played > loops_) break;
                position_ = 0;
            }
            size_t frames = std::min<size_t>(1024, totalFrames - position_);
            block.assign(pcm_.data.begin() + static_cast<long>(position_ * frameBytes),
                         pcm_.data.begin() + static_cast<long>((position_ + frames) * frameBytes));
            applyVolume(block);
            snd_pcm_sframes_t written = snd_pcm_writei(pcm, block.data(), frames);
            if (written < 0) {
                if (snd_pcm_recover(pcm, static_cast<int>(written), 1) < 0) break;
                continue;
            }
            position_ += static_cast<size_t>(written);
        }
        if (playing_) snd_pcm_drain(pcm);
        else snd_pcm_drop(pcm);
        snd_pcm_close(pcm);
        if (playing_) position_ = 0;
        playing_ = false;
    }

    void applyVolume(std::vector<uint8_t>& block) const {
        float v = volume_;
        if (v >= 1.0f) return;
        if (pcm_.bytesPerSample == 1) {
            for (auto& s : block) s = static_cast<uint8_t>(128 + std::lround((s - 128) * v));
            return;
        }
        for (size_t i = 0; i + 1 < block.size(); i += 2) {
            auto s = static_cast<int16_t>(block[i] | block[i + 1] << 8);
            auto scaled = static_cast<int16_t>(std::lround(s * v));
            block[i] = static_cast<uint8_t>(scaled & 0xFF);
            block[i + 1] = static_cast<uint8_t>((scaled >> 8) & 0xFF);
        }
    }

    std::string device_;
    WavPcm pcm_;
    std::atomic<int> loops_{0};
    std::atomic<float> volume_{1.0f};
    std::atomic<bool> playing_{false};
    std::atomic<size_t> position_{0};
    std::mutex mutex_;
    std::thread thread_;
};

class AlsaAudioInputQueue : public AudioInputQueue {
public:
    AlsaAudioInputQueue(std::string device, AudioInputFormat format, Callback callback)
        : device_(std::move(device)), format_(format), callback_(std::move(callback)) {}
    ~AlsaAudioInputQueue() override { stop(); }

    bool start(Error* error) override {
        std::lock_guard lock(mutex_);
        if (running_) return true;
        snd_pcm_t* pcm = nullptr;
        int rc = snd_pcm_open(&pcm, device_.c_str(), SND_PCM_STREAM_CAPTURE, 0);
        if (rc < 0) return fail(error, rc, "Could not open the audio input " + device_);
        rc = snd_pcm_set_params(pcm, SND_PCM_FORMAT_U8, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                                static_cast<unsigned>(format_.sampleRate), 1, 200000);
        if (rc < 0) {
            snd_pcm_close(pcm);
            return fail(error, rc, "The audio input does not record 8-bit mono");
        }
        running_ = true;
        thread_ = std::thread([this, pcm] { run(pcm); });
        return true;
    }

    void stop() override {
        std::lock_guard lock(mutex_);
        running_ = false;
        if (thread_.joinable()) thread_.join();
    }

private:
    void run(snd_pcm_t* pcm) {
        std::vector<uint8_t> buffer(format_.bufferBytes);
        size_t filled = 0;
        while (running_) {
            snd_pcm_sframes_t got = snd_pcm_readi(pcm, buffer.data() + filled, buffer.size() - filled);
            if (got < 0) {
                if (snd_pcm_recover(pcm, static_cast<int>(got), 1) < 0) break;
                continue;
            }
            filled += static_cast<size_t>(got);
            if (filled == buffer.size() && running_) {
                callback_(buffer.data(), buffer.size());
                filled = 0;
            }
        }
        snd_pcm_drop(pcm);
        snd_pcm_close(pcm);
    }

    std::string device_;
    AudioInputFormat format_;
    Callback callback_;
    std::mutex mutex_;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

} // namespace

AlsaAudioSession::AlsaAudioSession(std::string device) : device_(std::move(device)) {
    headphones_ = headphonesNow();
    if (hasSoundCard()) watcher_ = std::thread([this] { watchRoute(); });
}

AlsaAudioSession::~AlsaAudioSession() {
    {
        std::lock_guard lock(watchMutex_);
        closing_ = true;
    }
    watchWake_.notify_all();
    if (watcher_.joinable()) watcher_.join();
}

bool AlsaAudioSession::hasSoundCard() {
    int card = -1;
    return snd_card_next(&card) == 0 && card >= 0;
}

bool AlsaAudioSession::headphonesNow() const {
    if (!hasSoundCard()) return false;
    return headphoneJack().value_or(true);
}

void AlsaAudioSession::watchRoute() {
    std::unique_lock lock(watchMutex_);
    while (!watchWake_.wait_for(lock, std::chrono::milliseconds(500), [this] { return closing_; })) {
        lock.unlock();
        bool now = headphonesNow();
        if (now != headphones_.exchange(now)) {
            UserInfo info{{routeChangeReasonKey, static_cast<int>(now ? NewDeviceAvailable : OldDeviceUnavailable)}};
            NotificationCenter::defaultCenter().post(routeChangeNotification, {}, info, this);
        }
        lock.lock();
    }
}

bool AlsaAudioSession::setCategoryPlayAndRecord(Error*) { return true; }

bool AlsaAudioSession::setModeMeasurement(Error*) { return true; }

bool AlsaAudioSession::setActive(bool active, Error* error) {
    if (!active) {
        active_ = false;
        return true;
    }
    snd_pcm_t* pcm = nullptr;
    int rc = snd_pcm_open(&pcm, device_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (rc < 0) return fail(error, rc, "Could not open the audio device " + device_);
    snd_pcm_close(pcm);
    active_ = true;
    return true;
}

std::vector<std::string> AlsaAudioSession::currentRouteOutputs() const {
    return {headphones_ ? portHeadphones : portSpeaker};
}

bool AlsaAudioSession::isInputAvailable() const {
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, device_.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0) return false;
    snd_pcm_close(pcm);
    return true;
}

float AlsaAudioSession::outputVolume() const {
    Mixer mixer;
    return mixer.valid() ? mixer.volume() : 1.0f;
}

bool AlsaAudioSession::setOutputVolume(float volume) {
    Mixer mixer;
    return mixer.valid() && mixer.setVolume(volume);
}

std::unique_ptr<AudioPlayer> AlsaAudioSession::makePlayer(const std::vector<uint8_t>& wav, Error* error) {
    auto pcm = readWav(wav);
    if (!pcm) {
        Error::set(error, errorDomain, -1, "Not a PCM WAV file of 8 or 16 bits");
        return nullptr;
    }
    return std::make_unique<AlsaAudioPlayer>(device_, std::move(*pcm));
}

std::unique_ptr<AudioInputQueue> AlsaAudioSession::makeInputQueue(const AudioInputFormat& format,
                                                                  AudioInputQueue::Callback callback, Error* error) {
    if (format.bufferBytes == 0 || format.sampleRate <= 0) {
        Error::set(error, errorDomain, -1, "An audio input needs a sample rate and a buffer size");
        return nullptr;
    }
    return std::make_unique<AlsaAudioInputQueue>(device_, format, std::move(callback));
}

} // namespace tavlo
