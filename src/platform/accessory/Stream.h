#pragma once

#include "platform/foundation/Error.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>

namespace tavlo {

class FdSource;
class RunLoop;
class Stream;

// What a stream tells its delegate, on the run loop it is scheduled on.
enum StreamEvent : unsigned {
    StreamEventNone = 0,
    StreamEventOpenCompleted = 1,
    StreamEventHasBytesAvailable = 2,
    StreamEventHasSpaceAvailable = 4,
    StreamEventErrorOccurred = 8,
    StreamEventEndEncountered = 16, // for delegates that also serve channels with an end
};

class StreamDelegate {
public:
    virtual ~StreamDelegate() = default;
    virtual void stream(Stream& stream, StreamEvent event) = 0;
};

// An owned file descriptor, closed when the last holder lets go.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// One direction of a byte channel (a serial device, a pseudo-terminal). Scheduled on a run loop,
// it tells its delegate when it opened, when bytes wait or room opened, and when the channel
// failed (a device that hung up fails: device channels have no end of their own). A bytes or space event comes once and again only after the delegate read or
// wrote, so a delegate that leaves bytes waiting is not called in a loop. Unscheduled, a stream
// can still be read or written by polling. Any thread may set the delegate, schedule, open and
// close; events arrive on the scheduled loop's thread.
class Stream : public std::enable_shared_from_this<Stream> {
public:
    enum class Status { NotOpen, Open, Closed, Error };

    virtual ~Stream();
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    void setDelegate(StreamDelegate* delegate);
    StreamDelegate* delegate() const;

    // One loop and mode at a time; scheduling again moves the stream.
    void schedule(RunLoop& loop, const std::string& mode);
    void remove(RunLoop& loop, const std::string& mode);

    void open();
    void close();
    Status status() const;
    // The failure that put the stream in Status::Error.
    Error streamError() const;

protected:
    Stream(std::shared_ptr<FileDescriptor> channel, unsigned readiness, StreamEvent readyEvent);
    int fd() const { return channel_->fd(); }
    // After a read or write: the readiness event may come again.
    void rearm();
    // A read or write failed (errno `error`): the stream is in error and tells its delegate.
    void failed(int error);
    bool isOpen() const;

private:
    void deliverLater(StreamEvent event);
    void deliver(StreamEvent event);
    void ready();

    const std::shared_ptr<FileDescriptor> channel_;
    const unsigned readiness_;
    const StreamEvent readyEvent_;
    mutable std::mutex mutex_;
    StreamDelegate* delegate_ = nullptr;
    Status status_ = Status::NotOpen;
    Error error_;
    std::shared_ptr<FdSource> source_;
    std::weak_ptr<RunLoop> loop_; // a loop whose thread ended is no loop
    std::string mode_;
};

class InputStream : public Stream {
public:
    explicit InputStream(std::shared_ptr<FileDescriptor> channel);
    // At most `capacity` bytes; 0 when nothing waits, -1 on failure (see streamError; a device
    // that hung up fails with EIO).
    ssize_t read(uint8_t* buffer, size_t capacity);
    bool hasBytesAvailable() const;
};

class OutputStream : public Stream {
public:
    explicit OutputStream(std::shared_ptr<FileDescriptor> channel);
    // The count written (possibly fewer than `length`), -1 on failure.
    ssize_t write(const uint8_t* bytes, size_t length);
    bool hasSpaceAvailable() const;
};

} // namespace tavlo
