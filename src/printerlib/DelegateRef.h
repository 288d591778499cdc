#pragma once

#include "printerlib/Common.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace tavlo::printerlib {

// A delegate that is not owned and is called on the main thread, later, from any thread. Calls
// already on their way when the delegate is changed or cleared go to the new one or to nobody,
// never to one that has gone: whoever owns the reference clears it before the delegate goes, and
// clearing it waits for a call in progress on another thread. The delegate runs with no lock of
// the reference held, so that it may call back into the library.
template <class Delegate> class DelegateRef {
public:
    DelegateRef() : shared_(std::make_shared<Shared>()) {}
    ~DelegateRef() { set(nullptr); }
    DelegateRef(const DelegateRef&) = delete;
    DelegateRef& operator=(const DelegateRef&) = delete;

    Delegate* get() const {
        std::lock_guard lock(shared_->mutex);
        return shared_->delegate;
    }
    // Waits for a call in progress on another thread to end (a delegate may change the reference
    // from inside its own call).
    void set(Delegate* delegate) {
        std::unique_lock lock(shared_->mutex);
        shared_->delegate = delegate;
        if (shared_->callingThread == std::this_thread::get_id()) return;
        shared_->idle.wait(lock, [&] { return shared_->calls == 0; });
    }
    // Hands `call` the delegate on the main thread, when there still is one then.
    template <class Call> void dispatch(Call call) const {
        if (!get()) return;
        Common::dispatchSelector(
            [shared = shared_, call = std::move(call)] {
                Delegate* delegate = shared->enter();
                if (!delegate) return;
                struct Leave {
                    Shared& shared;
                    ~Leave() { shared.leave(); }
                } leave{*shared};
                call(*delegate);
            },
            true);
    }

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable idle;
        Delegate* delegate = nullptr;
        int calls = 0;                 // calls running now (nested ones on the main thread)
        std::thread::id callingThread; // where they run

        Delegate* enter() {
            std::lock_guard lock(mutex);
            if (!delegate) return nullptr;
            ++calls;
            callingThread = std::this_thread::get_id();
            return delegate;
        }
        void leave() {
            std::lock_guard lock(mutex);
            if (--calls == 0) {
                callingThread = std::thread::id();
                idle.notify_all();
            }
        }
    };
    std::shared_ptr<Shared> shared_;
};

} // namespace tavlo::printerlib
