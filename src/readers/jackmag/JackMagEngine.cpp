#include "readers/jackmag/JackMagEngine.h"

#include "platform/foundation/RunLoop.h"
#include "readers/jackmag/CommandFrames.h"
#include "readers/jackmag/Notifications.h"
#include "readers/jackmag/ReaderLog.h"
#include "readers/jackmag/SdkLock.h"
#include "readers/jackmag/TaskClearBuffer.h"
#include "readers/jackmag/TaskCmd.h"
#include "readers/jackmag/TaskConnect.h"
#include "readers/jackmag/TaskSwipe.h"
#include "readers/jackmag/TaskUpdateFirmware.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace tavlo::jackmag {

namespace {

std::mutex g_sharedMutex;
// The process's shared engine lives until the process ends and is never torn down at exit: its
// tear-down would reach the audio session and the notification centre in whatever state the
// ending process left them.
std::shared_ptr<JackMagEngine>& g_shared = *new std::shared_ptr<JackMagEngine>;

constexpr float kMinimumVolume = 0.8f;
constexpr float kRaiseVolumeBelow = 0.78125f;

std::shared_ptr<JackMagEngine> sharedEngine() {
    std::lock_guard lock(g_sharedMutex);
    return g_shared;
}

void setSharedEngine(std::shared_ptr<JackMagEngine> engine) {
    std::lock_guard lock(g_sharedMutex);
    g_shared = std::move(engine);
}

} // namespace

std::recursive_mutex& sdkLock() {
    static std::recursive_mutex lock;
    return lock;
}

std::shared_ptr<JackMagEngine> JackMagEngine::init() {
    SdkLock lock(sdkLock());
    if (auto shared = sharedEngine()) {
        logInfo("SDK: initialized (from singleton)");
        return shared;
    }
    std::shared_ptr<JackMagEngine> engine(new JackMagEngine());
    engine->self_ = engine;
    engine->setUp();
    return engine;
}

std::shared_ptr<JackMagEngine> JackMagEngine::sharedJackMag() {
    if (auto shared = sharedEngine()) return shared;
    std::shared_ptr<JackMagEngine> engine(new JackMagEngine());
    engine->self_ = engine;
    return engine;
}

void JackMagEngine::enableLogging(bool enabled) { ReaderLog::setEnabled(enabled); }

void JackMagEngine::setUp() {
    attached_ = false;
    connected_ = false;
    runningTask_ = 0;
    cfgEnableAutoConnect_ = false;
    cfgSwipeDuration_ = kDefaultSwipeDuration;
    cfgCmdDuration_ = kDefaultCmdDuration;
    cfgEnableAutoAdjustVolume_ = false;
    cfgEnableDeferredActivateAudioSession_ = false;
    taskQueue_ = std::make_unique<OperationQueue>();
    {
        std::lock_guard lock(recMutex_);
        recInfo_ = RecorderInfo();
    }
    {
        std::lock_guard lock(toneMutex_);
        tonePlayer_.reset();
        toneCode_ = 0;
    }
    haveNotStartFirstTask_ = true;
    {
        std::lock_guard lock(fieldsMutex_);
        swipeStatusByte_.clear();
        wavePath_.reset();
        firmwarePath_.reset();
    }
    session_ = AudioSession::shared();
    setSharedEngine(self_.lock());
    logInfo("SDK: initialized");
    checkAndFireOnlyAttachmentEvent();
    const void* sender = session_.get();
    routeObserver_ = ScopedObserver(AudioSession::routeChangeNotification, sender,
                                    [this](const Notification& note) { audioRouteChangeListenerCallback(note); });
    interruptionObserver_ = ScopedObserver(AudioSession::interruptionNotification, sender,
                                           [this](const Notification& note) { handleInterruptionNotification(note); });
    created_ = true;
}

void JackMagEngine::tearDown() {
    if (sharedEngine().get() == this) setSharedEngine(nullptr);
    stopConnection();
    stopTask();
    routeObserver_.reset();
    interruptionObserver_.reset();
    activateAudioSession(false);
    remoteControlEventEnable(false);
    taskQueue_.reset();
    rec_init(false);
    {
        std::lock_guard lock(toneMutex_);
        tonePlayer_.reset();
        toneCode_ = 0;
    }
    {
        std::lock_guard lock(fieldsMutex_);
        swipeStatusByte_.clear();
        wavePath_.reset();
        firmwarePath_.reset();
    }
    created_ = false;
}

void JackMagEngine::Create() {
    SdkLock lock(sdkLock());
    if (!created_) setUp();
}

void JackMagEngine::Destroy() {
    SdkLock lock(sdkLock());
    if (created_) tearDown();
}

JackMagEngine::~JackMagEngine() {
    SdkLock lock(sdkLock());
    if (created_) tearDown();
}

// --- queries and settings

float JackMagEngine::getVolumeLevel() const { return session_ ? session_->outputVolume() : 0.0f; }

Bytes JackMagEngine::getFlagByte() const {
    std::lock_guard lock(fieldsMutex_);
    return swipeStatusByte_;
}

void JackMagEngine::setSwipe_statusByte(Bytes status) {
    std::lock_guard lock(fieldsMutex_);
    swipeStatusByte_ = std::move(status);
}

void JackMagEngine::setReaderTp(int type) {
    if (type == readerTp_) {
        logInfo("SDK: reader type set to %@%@", readerTypeText(type), " (no change)");
        return;
    }
    logInfo("SDK: reader type set to %@%@", readerTypeText(type), "");
    startJackMag(false);
    readerTp_ = type;
}

bool JackMagEngine::setSwipeTimeoutDuration(int seconds) {
    cfgSwipeDuration_ = seconds;
    return true;
}

bool JackMagEngine::setCmdTimeoutDuration(int seconds) {
    if (seconds < 3 || seconds > 30) return false;
    cfgCmdDuration_ = seconds;
    return true;
}

bool JackMagEngine::setFirmwareFile(const std::string& path) {
    std::lock_guard lock(fieldsMutex_);
    firmwarePath_ = path;
    return true;
}

// --- starting tasks

void JackMagEngine::startTask_hook() {
    if (cfgEnableDeferredActivateAudioSession_ && haveNotStartFirstTask_) activateAudioSession(true);
    haveNotStartFirstTask_ = false;
}

int JackMagEngine::readiness(bool needsConnection) const {
    if (!attached_) return JMRET_NO_READER;
    if (needsConnection && !connected_) return JMRET_NOT_CONNECTED;
    if (runningTask_ != 0) return JMRET_SDK_BUSY;
    return JMRET_SUCCESS;
}

int JackMagEngine::warnIfRefused(int result, const char* start) {
    if (result != JMRET_SUCCESS) logWarning("%@: %@", start, jmRetText(result));
    return result;
}

int JackMagEngine::runTask(RunningTask code, std::shared_ptr<TaskBase> task, TaskArgs args, const std::string& note,
                           const std::string& alsoNote) {
    runningTask_ = static_cast<int>(code);
    startTask_hook();
    args.bq = recorderQueue();
    task->setArgs(std::move(args));
    // Posted before the task can end and post its own.
    if (!note.empty()) postNote(note);
    if (!alsoNote.empty()) postNote(alsoNote);
    taskQueue_->addOperation(std::move(task));
    return JMRET_SUCCESS;
}

int JackMagEngine::startConnect(const std::string& alsoNote) {
    if (int result = readiness(false); result != JMRET_SUCCESS) return result;
    if (connected_) return JMRET_ALREADY_CONNECTED;
    startTask_hook();
    float volume = session_->outputVolume();
    if (!cfgEnableAutoAdjustVolume_) {
        if (volume < kMinimumVolume) return JMRET_LOW_VOLUME;
    } else if (volume < kRaiseVolumeBelow) {
        session_->setOutputVolume(1.0f);
    }
    if (session_->isMonoAudioEnabled()) {
        postNote(notes::kMonoAudioError);
        return JMRET_MONO_AUDIO;
    }
    return runTask(RunningTask::Connect, std::make_shared<TaskConnect>(*this), {}, notes::kPowering, alsoNote);
}

int JackMagEngine::startJackMag(bool start) {
    SdkLock lock(sdkLock());
    if (!start) {
        stopConnection();
        stopTask();
        return JMRET_SUCCESS;
    }
    return warnIfRefused(startConnect(), "StartConnect");
}

void JackMagEngine::closeConnection() {
    SdkLock lock(sdkLock());
    stopConnection();
    stopTask();
}

int JackMagEngine::requestSwipe() {
    SdkLock lock(sdkLock());
    if (int result = readiness(true); result != JMRET_SUCCESS) return warnIfRefused(result, "StartSwipe");
    TaskArgs args;
    args.duration = cfgSwipeDuration_;
    return runTask(RunningTask::Swipe, std::make_shared<TaskSwipe>(*this), std::move(args), notes::kSwipe);
}

void JackMagEngine::cancelSwipe() {
    SdkLock lock(sdkLock());
    stopTask();
}

int JackMagEngine::startCommand(const std::string& hexFrame) {
    auto frame = bytesFromHex(hexFrame);
    return frame ? startCommandBytes(*frame) : JMRET_INVALID_ARG;
}

int JackMagEngine::startCommandBytes(const Bytes& frame) {
    SdkLock lock(sdkLock());
    if (int result = readiness(false); result != JMRET_SUCCESS) return warnIfRefused(result, "StartCmd");
    if (session_->isMonoAudioEnabled()) {
        postNote(notes::kMonoAudioError);
        return JMRET_MONO_AUDIO;
    }
    TaskArgs args;
    args.duration = cfgCmdDuration_;
    args.cmd_cmd = frame;
    return runTask(RunningTask::Command, std::make_shared<TaskCmd>(*this), std::move(args), notes::kCmdSending);
}

int JackMagEngine::sendCommandGetVersion() { return startCommand(frames::kGetVersion); }
int JackMagEngine::sendCommandGetSettings() { return startCommand(frames::kGetSettings); }
int JackMagEngine::sendCommandEnableTDES() { return startCommand(frames::kEnableTDES); }
int JackMagEngine::sendCommandEnableAES() { return startCommand(frames::kEnableAES); }
int JackMagEngine::sendCommandDefaultGeneralSettings() { return startCommand(frames::kDefaultGeneralSettings); }
int JackMagEngine::sendCommandGetSerialNumber() { return startCommand(frames::kGetSerialNumber); }
int JackMagEngine::sendCommandGetNextKSN() { return startCommand(frames::kGetNextKSN); }
int JackMagEngine::sendCommandEnableErrNotification() { return startCommand(frames::kEnableErrNotification); }
int JackMagEngine::sendCommandDisableErrNotification() { return startCommand(frames::kDisableErrNotification); }
int JackMagEngine::sendCommandEnableExpDate() { return startCommand(frames::kEnableExpDate); }
int JackMagEngine::sendCommandDisableExpDate() { return startCommand(frames::kDisableExpDate); }
int JackMagEngine::sendCommandEnableForceEncryption() { return startCommand(frames::kEnableForceEncryption); }
int JackMagEngine::sendCommandDisableForceEncryption() { return startCommand(frames::kDisableForceEncryption); }
int JackMagEngine::sendCommandResetBaudRate() { return startCommand(frames::kResetBaudRate); }
int JackMagEngine::getAuthentication() { return startCommand(frames::kGetAuthentication); }

int JackMagEngine::sendCommandSetPrePAN(int n) {
    if (n < 4 || n > 6) return JMRET_INVALID_ARG;
    return startCommandBytes(setPrePANFrame(n));
}

int JackMagEngine::sendCommandCustom(const Bytes& command) {
    if (command.empty()) return JMRET_INVALID_ARG;
    return startCommandBytes(commandFrame(command));
}

int JackMagEngine::sendCommandClearBuffer() {
    SdkLock lock(sdkLock());
    if (int result = readiness(false); result != JMRET_SUCCESS) return warnIfRefused(result, "StartClearBuffer");
    return runTask(RunningTask::Command, std::make_shared<TaskClearBuffer>(*this), {}, notes::kCmdSending);
}

int JackMagEngine::startFirmwareUpdate(bool encrypted, const std::string& key, const std::optional<std::string>& path,
                                       const char* warning) {
    SdkLock lock(sdkLock());
    auto refuse = [&](int result) { return warnIfRefused(result, warning); };
    if (int result = readiness(false); result != JMRET_SUCCESS) return refuse(result);
    Bytes keyBytes;
    if (!key.empty()) {
        auto bytes = bytesFromHex(key);
        if (key.size() != (encrypted ? 48u : 16u) || !bytes) return refuse(JMRET_UF_INVALID_STR);
        keyBytes = std::move(*bytes);
    }
    if (!path || path->empty() || !std::filesystem::is_regular_file(*path)) return refuse(JMRET_UF_NO_FILE);
    std::ifstream in(*path, std::ios::binary);
    if (!in) return refuse(JMRET_UF_NO_FILE);
    Bytes image((std::istreambuf_iterator<char>(in)), {});
    size_t blockSize = encrypted ? 258 : 256;
    if (image.empty() || image.size() % blockSize != 0) return refuse(JMRET_UF_INVALID_FILE);

    TaskArgs args;
    args.fw_isEncrypted = encrypted;
    args.fw_str = std::move(keyBytes);
    args.fw_file = std::move(image);
    return runTask(RunningTask::FirmwareUpdate, std::make_shared<TaskUpdateFirmware>(*this), std::move(args), "");
}

int JackMagEngine::updateFirmware(const std::string& key) {
    std::optional<std::string> path;
    {
        std::lock_guard lock(fieldsMutex_);
        path = firmwarePath_;
    }
    return startFirmwareUpdate(false, key, path, "StartFirmwareUpdate");
}

int JackMagEngine::updateFirmware2(const std::string& key, const std::string& path) {
    return startFirmwareUpdate(true, key, path, "StartFirmwareUpdate2");
}

void JackMagEngine::stopTask() {
    if (!taskQueue_) return;
    taskQueue_->cancelAllOperations();
    taskQueue_->waitUntilAllOperationsAreFinished();
    runningTask_ = 0; // also when a task was cancelled before it could start
}

void JackMagEngine::stopConnection() {
    if (!connected_) return;
    connected_ = false;
    if (runningTask_ == 0) tone_stop();
    postNote(notes::kDidDisconnect);
}

void JackMagEngine::postNote(const std::string& name, std::any object) {
    if (!sharedEngine()) return;
    performOnMainThread([name, object = std::move(object)] { NotificationCenter::defaultCenter().post(name, object); });
}

} // namespace tavlo::jackmag
