#include "devices/AudioJackReader.h"

#include "readers/jackmag/JackMag.h"

#include <mutex>

namespace tavlo {

namespace {

constexpr int kSwipeTimeoutSeconds = 15;

class FacadeReader : public AudioJackReader {
public:
    FacadeReader() {
        jackMag_.autoDetect(true);
        jackMag_.promptForConnection(false);
        jackMag_.setSwipeTimeoutDuration(kSwipeTimeoutSeconds);
    }
    bool isReaderAttached() const override { return jackMag_.isReaderAttached(); }
    void requestSwipe() override { jackMag_.requestSwipe(); }
    void cancelSwipe() override { jackMag_.cancelSwipe(); }

private:
    jackmag::JackMag jackMag_;
};

std::mutex g_makerMutex;
AudioJackReader::Maker g_maker;

} // namespace

std::unique_ptr<AudioJackReader> AudioJackReader::make() {
    Maker maker;
    {
        std::lock_guard lock(g_makerMutex);
        maker = g_maker;
    }
    return maker ? maker() : std::make_unique<FacadeReader>();
}

void AudioJackReader::setMaker(Maker maker) {
    std::lock_guard lock(g_makerMutex);
    g_maker = std::move(maker);
}

} // namespace tavlo
