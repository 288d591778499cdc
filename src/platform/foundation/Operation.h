#pragma once

#include <atomic>
#include <memory>

namespace tavlo {

// A unit of work. Subclasses override main(); start() runs it on the calling thread (directly, or
// on a queue's thread when added to an OperationQueue). A cancelled operation finishes without
// running main(); main() itself checks isCancelled() to stop early.
class Operation : public std::enable_shared_from_this<Operation> {
public:
    Operation() = default;
    virtual ~Operation() = default;
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    // Runs main() once; a second start does nothing.
    virtual void start();
    virtual void main() {}

    void cancel() { cancelled_ = true; }
    bool isCancelled() const { return cancelled_; }
    bool isExecuting() const { return state_ == State::Executing; }
    bool isFinished() const { return state_ == State::Finished; }

private:
    enum class State { Ready, Executing, Finished };
    std::atomic<bool> cancelled_{false};
    std::atomic<State> state_{State::Ready};
};

} // namespace tavlo
