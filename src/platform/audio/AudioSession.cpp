#include "platform/audio/AudioSession.h"

#include "platform/audio/AlsaAudioSession.h"

#include <algorithm>
#include <mutex>

namespace tavlo {

namespace {
std::mutex g_sessionMutex;
std::shared_ptr<AudioSession> g_session;
} // namespace

std::shared_ptr<AudioSession> AudioSession::shared() {
    std::lock_guard lock(g_sessionMutex);
    if (!g_session) g_session = std::make_shared<AlsaAudioSession>();
    return g_session;
}

void AudioSession::install(std::shared_ptr<AudioSession> session) {
    std::lock_guard lock(g_sessionMutex);
    g_session = std::move(session);
}

bool AudioSession::isHeadphonesPlugged() const {
    auto outputs = currentRouteOutputs();
    return std::find(outputs.begin(), outputs.end(), portHeadphones) != outputs.end();
}

} // namespace tavlo
