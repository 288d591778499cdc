#pragma once

#include "platform/foundation/Clock.h"
#include "platform/foundation/Operation.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/NetworkProbe.h"
#include "support/LogLines.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tavlo::test {

// The names of the operations that ran, in the order they started (any thread).
class OperationLog {
public:
    void add(const std::string& name) {
        std::lock_guard lock(mutex_);
        names_.push_back(name);
    }
    std::vector<std::string> names() const {
        std::lock_guard lock(mutex_);
        return names_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> names_;
};

// Holds operations at their start until opened.
class Gate {
public:
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    void pass() {
        std::unique_lock lock(mutex_);
        ++waiting_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
    }
    // Blocks until an operation waits at the gate.
    void awaitArrival() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return waiting_ > 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    int waiting_ = 0;
};

// An operation that writes its name into a log when it runs, after passing its gate if it has one.
class RecordingOperation : public Operation {
public:
    RecordingOperation(std::string name, std::shared_ptr<OperationLog> log, std::shared_ptr<Gate> gate = nullptr)
        : name_(std::move(name)), log_(std::move(log)), gate_(std::move(gate)) {}
    void main() override {
        if (gate_) gate_->pass();
        log_->add(name_);
    }

private:
    std::string name_;
    std::shared_ptr<OperationLog> log_;
    std::shared_ptr<Gate> gate_;
};

// The main loop and the clock of a handler test: time is fake and moves only through pump().
class HandlerClock {
public:
    HandlerClock() { RunLoop::main().reset(); }
    ~HandlerClock() { RunLoop::main().reset(); }
    // Runs the main loop over `seconds` of fake time: every timer due meanwhile fires.
    void pump(double seconds) { RunLoop::main().runFor(seconds); }
    Date now() const { return Date::now(); }
    FakeClock& clock() { return *clock_; }

private:
    ScopedFakeClock clock_;
};

// Answers the Wi-Fi question for the length of a scope.
class WiFiScope {
public:
    explicit WiFiScope(bool on) { set(on); }
    ~WiFiScope() { NetworkProbe::install(nullptr); }
    void set(bool on) { NetworkProbe::install(std::make_shared<FixedNetworkProbe>(on, "127.0.0.1", "test")); }
};

} // namespace tavlo::test
