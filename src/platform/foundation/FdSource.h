#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace tavlo {

class RunLoop;

// A file descriptor watched by a run loop for read and write readiness (poll(2)). The callback
// gets the ready events among those enabled; an error or hang-up counts as ready for both, so the
// owner finds it on its next read or write. The source never closes the descriptor.
class FdSource {
public:
    enum Event : unsigned { Read = 1, Write = 2 };
    using Callback = std::function<void(unsigned events)>;

    // With autoReenable false, an event once delivered stays disabled until enable() turns it
    // on again (a socket that reads only while a receive is wanted).
    static std::shared_ptr<FdSource> create(int fd, unsigned events, Callback callback, bool autoReenable = true);

    ~FdSource();
    FdSource(const FdSource&) = delete;
    FdSource& operator=(const FdSource&) = delete;

    int fd() const { return fd_; }
    void enable(unsigned events);  // any thread
    void disable(unsigned events); // any thread
    unsigned enabledEvents() const { return enabled_.load(); }
    // Takes the source off its run loop for good and drops its callback. Any thread.
    void invalidate();
    bool isValid() const { return valid_.load(); }

private:
    friend class RunLoop;
    FdSource(int fd, unsigned events, Callback callback, bool autoReenable);
    void wakeLoop() const;

    const int fd_;
    const bool autoReenable_;
    std::atomic<unsigned> enabled_;
    std::atomic<bool> valid_{true};

    mutable std::mutex mutex_;
    Callback callback_;
    std::weak_ptr<RunLoop> loop_;
    std::set<std::string> modes_;
    int firing_ = 0; // not serviced again by a nested run inside its own callback
};

} // namespace tavlo
