#include "platform/foundation/Clock.h"

#include <atomic>
#include <cmath>
#include <thread>

namespace tavlo {

namespace {
std::mutex g_clockMutex;
std::shared_ptr<Clock> g_clock = std::make_shared<SystemClock>();
} // namespace

// Holds the clock for the call: a test may put another one in its place meanwhile.
Date Date::now() { return Clock::currentShared()->now(); }

int64_t Date::wholeSeconds() const { return static_cast<int64_t>(std::floor(seconds_)); }

int64_t Date::milliseconds() const { return static_cast<int64_t>(std::floor(seconds_ * 1000.0 + 1e-6)); }

std::shared_ptr<Clock> Clock::currentShared() {
    std::lock_guard lock(g_clockMutex);
    return g_clock;
}

Clock& Clock::current() {
    // The installed clock outlives every caller in practice (installed at start or per test).
    std::lock_guard lock(g_clockMutex);
    return *g_clock;
}

void Clock::install(std::shared_ptr<Clock> clock) {
    std::lock_guard lock(g_clockMutex);
    g_clock = clock ? std::move(clock) : std::make_shared<SystemClock>();
}

Date SystemClock::now() const {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    return Date(std::chrono::duration<double>(since).count());
}

void SystemClock::sleepFor(double seconds) {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

Date FakeClock::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void FakeClock::advance(double seconds) {
    std::lock_guard lock(mutex_);
    now_ = now_.addingSeconds(seconds);
}

void FakeClock::set(Date date) {
    std::lock_guard lock(mutex_);
    now_ = date;
}

ScaledClock::ScaledClock(double factor, Date start)
    : factor_(factor > 0 ? factor : 1.0), start_(start), origin_(std::chrono::steady_clock::now()) {}

Date ScaledClock::now() const {
    std::chrono::duration<double> real = std::chrono::steady_clock::now() - origin_;
    return start_.addingSeconds(real.count() * factor_);
}

void ScaledClock::sleepFor(double seconds) {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(realSeconds(seconds)));
}

ScopedScaledClock::ScopedScaledClock(double factor) : previous_(Clock::currentShared()) {
    Clock::install(std::make_shared<ScaledClock>(factor));
}

ScopedScaledClock::~ScopedScaledClock() { Clock::install(previous_); }

ScopedFakeClock::ScopedFakeClock(Date start)
    : clock_(std::make_shared<FakeClock>(start)), previous_(Clock::currentShared()) {
    Clock::install(clock_);
}

ScopedFakeClock::~ScopedFakeClock() { Clock::install(previous_); }

} // namespace tavlo
