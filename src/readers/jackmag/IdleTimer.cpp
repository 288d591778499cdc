#include "readers/jackmag/IdleTimer.h"

#include <mutex>

namespace tavlo::jackmag {

namespace {
std::mutex g_mutex;
std::shared_ptr<IdleTimer> g_timer;
} // namespace

void IdleTimer::install(std::shared_ptr<IdleTimer> timer) {
    std::lock_guard lock(g_mutex);
    g_timer = std::move(timer);
}

std::shared_ptr<IdleTimer> IdleTimer::current() {
    std::lock_guard lock(g_mutex);
    return g_timer;
}

} // namespace tavlo::jackmag
