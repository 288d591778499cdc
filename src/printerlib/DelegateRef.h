#pragma once

#include "printerlib/Common.h"

#include <memory>
#include <mutex>

namespace tavlo::printerlib {

// A delegate that is not owned and is called on the main thread, later, from any thread. Calls
// already on their way when the delegate is changed or cleared go to the new one or to nobody,
// never to one that has gone: whoever owns the reference clears it before the delegate goes.
template <class Delegate>
class DelegateRef {
public:
    DelegateRef() : shared_(std::make_shared<Shared>()) {}
    ~DelegateRef() { set(nullptr); }
    DelegateRef(const DelegateRef&) = delete;
    DelegateRef& operator=(const DelegateRef&) = delete;

    Delegate* get() const {
        std::lock_guard lock(shared_->mutex);
        return shared_->delegate;
    }
    // Waits for a call in progress on another thread to end.
    void set(Delegate* delegate) {
        std::lock_guard lock(shared_->mutex);
        shared_->delegate = delegate;
    }
    // Hands `call` the delegate on the main thread, when there still is one then.
    template <class Call>
    void dispatch(Call call) const {
        if (!get()) return;
        Common::dispatchSelector(
            [shared = shared_, call = std::move(call)] {
                std::lock_guard lock(shared->mutex);
                if (shared->delegate) call(*shared->delegate);
            },
            true);
    }

private:
    struct Shared {
        // Recursive: a delegate may change the reference from inside its own call.
        std::recursive_mutex mutex;
        Delegate* delegate = nullptr;
    };
    std::shared_ptr<Shared> shared_;
};

} // namespace tavlo::printerlib
