#pragma once

#include "readers/jackmag/JackMagEngine.h"

#include <memory>
#include <optional>
#include <string>

namespace tavlo::jackmag {

// The audio-jack card reader as the rest of the terminal sees it. Every operation goes to the
// one engine, which the first JackMag creates and every later one re-arms; releasing any of
// them disarms it (the engine itself is kept for the process).
class JackMag {
public:
    JackMag();
    ~JackMag();
    JackMag(const JackMag&) = delete;
    JackMag& operator=(const JackMag&) = delete;

    static std::string SDK_version() { return JackMagEngine::SDK_version(); }
    static void enableLogging(bool enabled) { JackMagEngine::enableLogging(enabled); }

    int readerType() const { return readerType_; }
    void setReaderType(int type);

    bool isReaderAttached() const { return engine().isReaderAttached(); }
    bool getConnectionStatus() const { return engine().getConnectionStatus(); }
    int getRunningTask() const { return engine().getRunningTask(); }
    float getVolumeLevel() const { return engine().getVolumeLevel(); }
    void setAutoConnect(bool on) { engine().setAutoConnect(on); }
    bool setSwipeTimeoutDuration(int seconds) { return engine().setSwipeTimeoutDuration(seconds); }
    bool setCmdTimeoutDuration(int seconds) { return engine().setCmdTimeoutDuration(seconds); }
    void setAutoAdjustVolume(bool on) { engine().setAutoAdjustVolume(on); }
    void setDeferredActivateAudioSession(bool on) { engine().setDeferredActivateAudioSession(on); }
    void cancelTask() { engine().cancelTask(); }
    int startJackMag(bool start) { return engine().startJackMag(start); }
    int proceedPoweringUp(bool start) { return engine().proceedPoweringUp(start); }
    int requestSwipe() { return engine().requestSwipe(); }
    Bytes getFlagByte() const { return engine().getFlagByte(); }
    int sendCommandGetVersion() { return engine().sendCommandGetVersion(); }
    int sendCommandGetSettings() { return engine().sendCommandGetSettings(); }
    int sendCommandEnableTDES() { return engine().sendCommandEnableTDES(); }
    int sendCommandEnableAES() { return engine().sendCommandEnableAES(); }
    int sendCommandDefaultGeneralSettings() { return engine().sendCommandDefaultGeneralSettings(); }
    int sendCommandGetSerialNumber() { return engine().sendCommandGetSerialNumber(); }
    int sendCommandGetNextKSN() { return engine().sendCommandGetNextKSN(); }
    int sendCommandEnableErrNotification() { return engine().sendCommandEnableErrNotification(); }
    int sendCommandDisableErrNotification() { return engine().sendCommandDisableErrNotification(); }
    int sendCommandEnableExpDate() { return engine().sendCommandEnableExpDate(); }
    int sendCommandDisableExpDate() { return engine().sendCommandDisableExpDate(); }
    int sendCommandEnableForceEncryption() { return engine().sendCommandEnableForceEncryption(); }
    int sendCommandDisableForceEncryption() { return engine().sendCommandDisableForceEncryption(); }
    int sendCommandClearBuffer() { return engine().sendCommandClearBuffer(); }
    int sendCommandResetBaudRate() { return engine().sendCommandResetBaudRate(); }
    int getAuthentication() { return engine().getAuthentication(); }
    int sendCommandSetPrePAN(int n) { return engine().sendCommandSetPrePAN(n); }
    int sendCommandCustom(const Bytes& command) { return engine().sendCommandCustom(command); }
    bool setFirmwareFile(const std::string& path) { return engine().setFirmwareFile(path); }
    int updateFirmware(const std::string& key) { return engine().updateFirmware(key); }
    int updateFirmware2(const std::string& key, const std::string& path) { return engine().updateFirmware2(key, path); }
    std::optional<Bytes> getWave() const { return engine().getWave(); }
    bool setWavePath(const std::string& path) { return engine().setWavePath(path); }
    void autoDetect(bool on) { engine().autoDetect(on); }
    void promptForConnection(bool prompt) { engine().promptForConnection(prompt); }
    void closeConnection() { engine().closeConnection(); }
    void cancelSwipe() { engine().cancelSwipe(); }

private:
    static JackMagEngine& engine();
    int readerType_ = 0;
};

} // namespace tavlo::jackmag
