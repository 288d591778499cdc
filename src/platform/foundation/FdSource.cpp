#include "platform/foundation/FdSource.h"

#include "platform/foundation/RunLoop.h"

namespace tavlo {

FdSource::FdSource(int fd, unsigned events, Callback callback, bool autoReenable)
    : fd_(fd), autoReenable_(autoReenable), enabled_(events & (Read | Write)), callback_(std::move(callback)) {}

FdSource::~FdSource() = default;

std::shared_ptr<FdSource> FdSource::create(int fd, unsigned events, Callback callback, bool autoReenable) {
    return std::shared_ptr<FdSource>(new FdSource(fd, events, std::move(callback), autoReenable));
}

void FdSource::wakeLoop() const {
    std::shared_ptr<RunLoop> loop;
    {
        std::lock_guard lock(mutex_);
        loop = loop_.lock();
    }
    if (loop) loop->wakeUp();
}

void FdSource::enable(unsigned events) {
    enabled_ |= events & (Read | Write);
    wakeLoop();
}

void FdSource::disable(unsigned events) {
    enabled_ &= ~events;
    wakeLoop();
}

void FdSource::invalidate() { RunLoop::invalidate(*this); }

} // namespace tavlo
