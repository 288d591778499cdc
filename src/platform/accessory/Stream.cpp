#include "platform/accessory/Stream.h"

#include "platform/foundation/FdSource.h"
#include "platform/foundation/RunLoop.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>
#include <utility>

namespace tavlo {

namespace {

const char* const kStreamErrorDomain = "StreamErrorDomain";

bool pollsReady(int fd, short events) {
    pollfd entry{fd, events, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & events) != 0;
}

// The device side is gone (a pulled-out device, a closed pseudo-terminal master).
bool hungUp(int fd) {
    pollfd entry{fd, 0, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

} // namespace

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

Stream::Stream(std::shared_ptr<FileDescriptor> channel, unsigned readiness, StreamEvent readyEvent)
    : channel_(std::move(channel)), readiness_(readiness), readyEvent_(readyEvent) {}

Stream::~Stream() {
    if (source_) source_->invalidate();
}

void Stream::setDelegate(StreamDelegate* delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
    // An event that found no delegate disabled its readiness; the new delegate hears it again.
    if (delegate && source_ && status_ == Status::Open) source_->enable(readiness_);
}

StreamDelegate* Stream::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void Stream::schedule(RunLoop& loop, const std::string& mode) {
    std::weak_ptr<Stream> weak = weak_from_this();
    auto source = FdSource::create(
        fd(), 0,
        [weak](unsigned) {
            if (auto stream = weak.lock()) stream->ready();
        },
        false);
    std::shared_ptr<FdSource> previous;
    {
        std::lock_guard lock(mutex_);
        previous = std::exchange(source_, source);
        loop_ = loop.weak_from_this();
        mode_ = mode;
        if (status_ == Status::Open) source->enable(readiness_);
    }
    if (previous) previous->invalidate();
    loop.addSource(source, {mode});
}

void Stream::remove(RunLoop& loop, const std::string& mode) {
    std::shared_ptr<FdSource> source;
    {
        std::lock_guard lock(mutex_);
        if (loop_.lock().get() != &loop || mode_ != mode) return;
        source = std::exchange(source_, nullptr);
        loop_.reset();
        mode_.clear();
    }
    if (source) source->invalidate();
}

void Stream::open() {
    {
        std::lock_guard lock(mutex_);
        if (status_ != Status::NotOpen) return;
        status_ = Status::Open;
        if (source_) source_->enable(readiness_);
    }
    deliverLater(StreamEventOpenCompleted);
}

void Stream::close() {
    std::lock_guard lock(mutex_);
    if (status_ == Status::Closed) return;
    status_ = Status::Closed;
    if (source_) source_->disable(readiness_);
}

Stream::Status Stream::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

Error Stream::streamError() const {
    std::lock_guard lock(mutex_);
    return error_;
}

bool Stream::isOpen() const {
    std::lock_guard lock(mutex_);
    return status_ == Status::Open;
}

void Stream::rearm() {
    std::lock_guard lock(mutex_);
    if (source_ && status_ == Status::Open) source_->enable(readiness_);
}

void Stream::failed(int error) {
    {
        std::lock_guard lock(mutex_);
        if (status_ != Status::Open) return;
        status_ = Status::Error;
        error_ = Error(kStreamErrorDomain, error, std::strerror(error));
    }
    deliverLater(StreamEventErrorOccurred);
}

void Stream::deliverLater(StreamEvent event) {
    std::shared_ptr<RunLoop> loop;
    std::string mode;
    {
        std::lock_guard lock(mutex_);
        loop = loop_.lock();
        if (!loop) return;
        mode = mode_;
    }
    std::weak_ptr<Stream> weak = weak_from_this();
    loop->perform(
        [weak, event] {
            if (auto stream = weak.lock()) stream->deliver(event);
        },
        false, {mode});
}

void Stream::deliver(StreamEvent event) {
    StreamDelegate* delegate = nullptr;
    {
        std::lock_guard lock(mutex_);
        // A stream taken off its loop or closed since the event was queued tells nothing more.
        if (loop_.expired() || status_ == Status::Closed || status_ == Status::NotOpen) return;
        delegate = delegate_;
    }
    if (delegate) delegate->stream(*this, event);
}

void Stream::ready() {
    if (!isOpen()) return;
    deliver(readyEvent_);
}

InputStream::InputStream(std::shared_ptr<FileDescriptor> channel)
    : Stream(std::move(channel), FdSource::Read, StreamEventHasBytesAvailable) {}

ssize_t InputStream::read(uint8_t* buffer, size_t capacity) {
    if (!isOpen()) return -1;
    ssize_t count = ::read(fd(), buffer, capacity);
    // A terminal device in raw mode answers 0 both for "nothing yet" and after a hang-up, so a
    // hang-up is told by poll and reported as the failure it is for a device.
    if (count > 0) {
        rearm();
    } else if (count == 0 || errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        if (hungUp(fd())) {
            failed(EIO);
        } else {
            rearm();
        }
    } else {
        failed(errno);
    }
    return count;
}

bool InputStream::hasBytesAvailable() const { return isOpen() && pollsReady(fd(), POLLIN); }

OutputStream::OutputStream(std::shared_ptr<FileDescriptor> channel)
    : Stream(std::move(channel), FdSource::Write, StreamEventHasSpaceAvailable) {}

ssize_t OutputStream::write(const uint8_t* bytes, size_t length) {
    if (!isOpen()) return -1;
    ssize_t count = ::write(fd(), bytes, length);
    if (count >= 0) {
        rearm();
    } else if ((errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) && !hungUp(fd())) {
        rearm();
        count = 0;
    } else {
        failed(errno);
    }
    return count;
}

bool OutputStream::hasSpaceAvailable() const { return isOpen() && pollsReady(fd(), POLLOUT); }

} // namespace tavlo
