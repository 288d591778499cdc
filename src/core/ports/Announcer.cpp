#include "core/ports/Announcer.h"

#include <mutex>

namespace tavlo {

namespace {
std::mutex g_mutex;
Announcer::Maker& maker() {
    static Announcer::Maker m;
    return m;
}
} // namespace

std::unique_ptr<Announcer> Announcer::initWithSession(Session& session) {
    Maker make;
    {
        std::lock_guard lock(g_mutex);
        make = maker();
    }
    return make ? make(session) : nullptr;
}

void Announcer::setMaker(Maker m) {
    std::lock_guard lock(g_mutex);
    maker() = std::move(m);
}

} // namespace tavlo
