#pragma once

#include "platform/audio/AudioSession.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/OperationQueue.h"
#include "readers/jackmag/AudioModulation.h"
#include "readers/jackmag/BQ.h"
#include "readers/jackmag/JmRet.h"

#include <any>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tavlo::jackmag {

class TaskBase;

// What a reader task is given when it is queued; fields a task does not use stay empty.
struct TaskArgs {
    bool isUjMode = false;
    std::shared_ptr<BQ> bq;
    double duration = 0;
    Bytes cmd_cmd;
    bool fw_isEncrypted = false;
    Bytes fw_str;
    Bytes fw_file;
};

// The recorder: 8-bit mono at 48000 Hz in buffers of 0.2 s, handed to the chunk queue.
struct RecorderInfo {
    AudioInputFormat mDataFormat;
    uint32_t bufferByteSize = 0;
    std::shared_ptr<BQ> bq;
    std::unique_ptr<AudioInputQueue> mQueue;
    std::shared_ptr<std::atomic<bool>> mIsRunning;
};

// The engine of the audio-jack card reader driver, one per process. It follows whether a reader
// is plugged into the headset jack and whether it is connected, runs the reader tasks one at a
// time on its task queue, answers every start with a result code, keeps the settings the tasks
// use, plays the reader's tones and records its answers, and posts the reader's notifications
// on the main thread. Public starts, stops and the life cycle run under one process-wide lock;
// the tasks never take it.
class JackMagEngine {
public:
    static constexpr int kDefaultSwipeDuration = 20;
    static constexpr int kDefaultCmdDuration = 6;

    // The shared engine, set up on first use.
    static std::shared_ptr<JackMagEngine> init();
    // The shared engine, or a new one that is not shared when there is none.
    static std::shared_ptr<JackMagEngine> sharedJackMag();
    static std::string SDK_version() { return "7.16"; }
    static void enableLogging(bool enabled);

    ~JackMagEngine();
    JackMagEngine(const JackMagEngine&) = delete;
    JackMagEngine& operator=(const JackMagEngine&) = delete;
    // Sets the engine up again after Destroy (a facade made after another was released).
    void Create();
    // Stops the reader and releases the audio side; the object stays usable for Create.
    void Destroy();

    // --- queries
    bool isReaderAttached() const { return attached_; }
    bool getConnectionStatus() const { return connected_; }
    int getRunningTask() const { return publicTaskCode(runningTask_); }
    float getVolumeLevel() const;
    bool ujMode() const { return false; }
    int readerTp() const { return readerTp_; }
    Bytes getFlagByte() const;

    // --- settings
    void setReaderTp(int type);
    void autoDetect(bool) {}
    void setAutoConnect(bool on) { cfgEnableAutoConnect_ = on; }
    void promptForConnection(bool prompt) { cfgEnableAutoConnect_ = !prompt; }
    bool setSwipeTimeoutDuration(int seconds);
    // Stored and true only for 3 to 30 seconds.
    bool setCmdTimeoutDuration(int seconds);
    void setAutoAdjustVolume(bool on) { cfgEnableAutoAdjustVolume_ = on; }
    void setDeferredActivateAudioSession(bool on) { cfgEnableDeferredActivateAudioSession_ = on; }
    bool setFirmwareFile(const std::string& path);
    // Where the recorder's diagnostic files go (without extension); refused while a task runs.
    bool setWavePath(const std::string& path);
    // The last recording's diagnostic WAV, when one was written.
    std::optional<Bytes> getWave() const;

    // --- operations
    int startJackMag(bool start);
    int proceedPoweringUp(bool start) { return startJackMag(start); }
    void closeConnection();
    int requestSwipe();
    void cancelSwipe();
    void cancelTask() { stopTask(); }
    int sendCommandGetVersion();
    int sendCommandGetSettings();
    int sendCommandEnableTDES();
    int sendCommandEnableAES();
    int sendCommandDefaultGeneralSettings();
    int sendCommandGetSerialNumber();
    int sendCommandGetNextKSN();
    int sendCommandEnableErrNotification();
    int sendCommandDisableErrNotification();
    int sendCommandEnableExpDate();
    int sendCommandDisableExpDate();
    int sendCommandEnableForceEncryption();
    int sendCommandDisableForceEncryption();
    int sendCommandResetBaudRate();
    int getAuthentication();
    int sendCommandSetPrePAN(int n);
    int sendCommandCustom(const Bytes& command);
    int sendCommandClearBuffer();
    int sendCommandCancelJackLinkSwipe() { return JMRET_NOT_APPLICABLE; }
    int updateFirmware(const std::string& key);
    int updateFirmware2(const std::string& key, const std::string& path);
    // Cancels the queued and running tasks and waits until they have ended.
    void stopTask();
    void stopConnection();

    // --- the audio side
    void activateAudioSession(bool on);
    bool isHeadsetPluggedIn() const;
    void event_attachStateChanged(bool attached);
    void checkAndFireOnlyAttachmentEvent();
    void checkAndFireTachmentEvent();
    void beginInterruption();
    void endInterruption();
    void remoteControlEventEnable(bool on);
    void tone_setAs(int code);
    void tone_stop();
    void tone_resume();
    int tone_get() const;
    void tone_blip();
    void rec_init(bool create);
    void rec_start();
    void rec_stop();
    std::string rec_getFile() const;
    bool keepsWavePath() const;

    // --- for the tasks
    AudioSession& session() const { return *session_; }
    std::shared_ptr<BQ> recorderQueue() const;
    void setState_runningTask(int task) { runningTask_ = task; }
    void setState_isReaderConnected(bool connected) { connected_ = connected; }
    void setSwipe_statusByte(Bytes status);
    // Posts the notification on the main thread (without waiting) while the engine is shared.
    void postNote(const std::string& name, std::any object = {});

private:
    JackMagEngine() = default;
    void setUp();
    void tearDown();
    void audioRouteChangeListenerCallback(const Notification& note);
    void handleInterruptionNotification(const Notification& note);
    void startTask_hook();
    // `alsoNote`, when given, is posted after the powering notification and before the task can
    // post its own.
    int startConnect(const std::string& alsoNote = {});
    int startCommand(const std::string& hexFrame);
    int startCommandBytes(const Bytes& frame);
    int startFirmwareUpdate(bool encrypted, const std::string& key, const std::optional<std::string>& path,
                            const char* warning);
    // The first checks of every start: a reader plugged in (and connected when the task needs
    // it) and no task running.
    int readiness(bool needsConnection) const;
    static int warnIfRefused(int result, const char* start);
    // Marks the task running, activates a deferred audio session, queues the task with the
    // recorder's chunk queue and posts the start's notification (none when empty).
    int runTask(RunningTask code, std::shared_ptr<TaskBase> task, TaskArgs args, const std::string& note,
                const std::string& alsoNote = {});

    std::shared_ptr<AudioSession> session_;
    std::atomic<bool> cfgEnableAutoConnect_{false};
    std::atomic<int> cfgSwipeDuration_{kDefaultSwipeDuration};
    std::atomic<int> cfgCmdDuration_{kDefaultCmdDuration};
    std::atomic<bool> cfgEnableAutoAdjustVolume_{false};
    std::atomic<bool> cfgEnableDeferredActivateAudioSession_{false};
    std::unique_ptr<OperationQueue> taskQueue_;
    mutable std::mutex recMutex_;
    RecorderInfo recInfo_;
    mutable std::recursive_mutex toneMutex_;
    std::unique_ptr<AudioPlayer> tonePlayer_;
    int toneCode_ = 0;
    std::unique_ptr<AudioPlayer> remoteControlPlayer_;
    std::atomic<bool> haveNotStartFirstTask_{true};
    std::atomic<bool> attached_{false};
    std::atomic<bool> connected_{false};
    std::atomic<int> runningTask_{0};
    mutable std::mutex fieldsMutex_;
    Bytes swipeStatusByte_;
    unsigned swipeConsecutiveFailCount_ = 0;
    std::optional<std::string> wavePath_;
    std::optional<std::string> firmwarePath_;
    std::atomic<int> readerTp_{0};
    bool created_ = false;
    ScopedObserver routeObserver_;
    ScopedObserver interruptionObserver_;
    std::weak_ptr<JackMagEngine> self_;
};

} // namespace tavlo::jackmag
