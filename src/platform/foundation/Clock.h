#pragma once

#include <chrono>
#include <compare>
#include <cstdint>
#include <memory>
#include <mutex>

namespace tavlo {

// A moment: seconds since 1970 (UTC) with sub-second precision.
class Date {
public:
    constexpr Date() = default;
    constexpr explicit Date(double secondsSince1970) : seconds_(secondsSince1970) {}

    static Date now(); // from the current clock
    static constexpr Date fromMilliseconds(int64_t ms) { return Date(static_cast<double>(ms) / 1000.0); }

    constexpr double timeIntervalSince1970() const { return seconds_; }
    int64_t wholeSeconds() const; // floor
    int64_t milliseconds() const; // floor
    Date wholeSecondsDate() const { return Date(static_cast<double>(wholeSeconds())); }
    constexpr Date addingSeconds(double s) const { return Date(seconds_ + s); }
    constexpr double secondsSince(Date other) const { return seconds_ - other.seconds_; }

    constexpr auto operator<=>(const Date&) const = default;

private:
    double seconds_ = 0;
};

// The one source of time for dates, timers, retries and waits; tests install a FakeClock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual Date now() const = 0;
    // Blocks the calling thread for `seconds` of this clock's time.
    virtual void sleepFor(double seconds) = 0;
    // True when time only moves by hand (waits should not block on the wall clock).
    virtual bool isManual() const { return false; }
    // The real seconds that pass while this clock moves `seconds` (a wait that blocks in the
    // kernel, as poll(2) or select(2) do, is given this).
    virtual double realSeconds(double seconds) const { return seconds; }

    static Clock& current();
    static std::shared_ptr<Clock> currentShared();
    // Installs a clock for the whole process; null restores the system clock.
    static void install(std::shared_ptr<Clock> clock);
};

class SystemClock : public Clock {
public:
    Date now() const override;
    void sleepFor(double seconds) override;
};

// Time that moves only when told; a sleep advances it at once.
class FakeClock : public Clock {
public:
    explicit FakeClock(Date start = Date(1'700'000'000.0)) : now_(start) {}
    Date now() const override;
    void sleepFor(double seconds) override { advance(seconds); }
    bool isManual() const override { return true; }
    void advance(double seconds);
    void set(Date date);

private:
    mutable std::mutex mutex_;
    Date now_;
};

// Real time run faster by a factor: a wait of 2 seconds of this clock takes 2 / factor real
// seconds. Tests of code that waits on sockets and threads use it, where a FakeClock cannot
// stand in for time that other threads and the kernel spend.
class ScaledClock : public Clock {
public:
    explicit ScaledClock(double factor, Date start = Date(1'700'000'000.0));
    Date now() const override;
    void sleepFor(double seconds) override;
    double realSeconds(double seconds) const override { return seconds / factor_; }

private:
    const double factor_;
    const Date start_;
    const std::chrono::steady_clock::time_point origin_;
};

// Installs a ScaledClock for the life of a scope (tests).
class ScopedScaledClock {
public:
    explicit ScopedScaledClock(double factor);
    ~ScopedScaledClock();
    ScopedScaledClock(const ScopedScaledClock&) = delete;
    ScopedScaledClock& operator=(const ScopedScaledClock&) = delete;

private:
    std::shared_ptr<Clock> previous_;
};

// Installs a FakeClock for the life of a scope (tests).
class ScopedFakeClock {
public:
    explicit ScopedFakeClock(Date start = Date(1'700'000'000.0));
    ~ScopedFakeClock();
    FakeClock& operator*() { return *clock_; }
    FakeClock* operator->() { return clock_.get(); }

private:
    std::shared_ptr<FakeClock> clock_;
    std::shared_ptr<Clock> previous_;
};

} // namespace tavlo
