#include "readers/jackmag/JackMag.h"

#include <mutex>

namespace tavlo::jackmag {

namespace {
std::mutex g_mutex;
std::shared_ptr<JackMagEngine> g_engine; // shared by every JackMag, kept for the process
} // namespace

JackMag::JackMag() {
    std::lock_guard lock(g_mutex);
    if (!g_engine) g_engine = JackMagEngine::init();
    else g_engine->Create();
}

JackMag::~JackMag() {
    std::lock_guard lock(g_mutex);
    if (g_engine) g_engine->Destroy();
}

JackMagEngine& JackMag::engine() {
    std::lock_guard lock(g_mutex);
    return *g_engine;
}

void JackMag::setReaderType(int type) {
    engine().setReaderTp(type);
    readerType_ = type;
}

} // namespace tavlo::jackmag
