#include "screens/status/ConnectionTests.h"

#include "platform/foundation/RunLoop.h"
#include "sync/exchange/CommHelper.h"

#include <thread>
#include <vector>

namespace tavlo::screens {

namespace {

std::mutex countMutex;
int testsInFlight = 0;
// Everyone to tell when the count comes down to zero.
std::vector<std::weak_ptr<ConnectionTests>> waiting;

void addWaiting(const std::shared_ptr<ConnectionTests>& tests) {
    for (const auto& known : waiting)
        if (known.lock() == tests) return;
    waiting.push_back(tests);
}

std::string stateIn(const std::map<std::string, std::string>& states, const std::string& key) {
    auto found = states.find(key);
    return found == states.end() ? std::string() : found->second;
}

} // namespace

std::string ConnectionTests::internet() const {
    std::lock_guard lock(mutex_);
    return internet_;
}

std::string ConnectionTests::printer(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return stateIn(printers_, key);
}

std::string ConnectionTests::terminal(const std::string& terminalId) const {
    std::lock_guard lock(mutex_);
    return stateIn(terminals_, terminalId);
}

int ConnectionTests::inFlight() {
    std::lock_guard lock(countMutex);
    return testsInFlight;
}

bool ConnectionTests::waitForRunningTests() {
    std::lock_guard lock(countMutex);
    if (testsInFlight == 0) return false;
    addWaiting(shared_from_this());
    return true;
}

void ConnectionTests::expect(int tests) {
    std::lock_guard lock(countMutex);
    testsInFlight += tests;
    addWaiting(shared_from_this());
}

void ConnectionTests::testInternet(const std::string& host) {
    const size_t colon = host.find(':');
    const int port = colon == std::string::npos ? 80 : CommHelper::port(host);
    start(Kind::Internet, {}, host.substr(0, colon), port);
}

void ConnectionTests::testPrinter(const std::string& key, const std::string& url) {
    start(Kind::Printer, key, url.substr(0, url.find(':')), CommHelper::port(url));
}

void ConnectionTests::testTerminal(const std::string& terminalId, const std::string& networkName) {
    start(Kind::Terminal, terminalId, networkName, kTerminalPort);
}

bool ConnectionTests::testConnection(const std::optional<std::string>& host, int port) {
    if (!host || host->empty()) return false;
    std::string address = *host;
    if (!CommHelper::isValidIPAddress(address))
        if (std::optional<std::string> local = CommHelper::formatLocalURL(address)) address = *local;
    return CommHelper::canConnect(address, port, kTimeout);
}

void ConnectionTests::start(Kind kind, const std::string& key, std::string host, int port) {
    set(kind, key, kTesting);
    std::thread([self = shared_from_this(), kind, key, host = std::move(host), port] {
        self->set(kind, key, testConnection(host, port) ? kConnected : kFailed);
        self->end();
    }).detach();
}

void ConnectionTests::set(Kind kind, const std::string& key, const std::string& state) {
    std::lock_guard lock(mutex_);
    switch (kind) {
    case Kind::Internet: internet_ = state; break;
    case Kind::Printer: printers_[key] = state; break;
    case Kind::Terminal: terminals_[key] = state; break;
    }
}

void ConnectionTests::end() {
    std::vector<std::weak_ptr<ConnectionTests>> told;
    {
        std::lock_guard lock(countMutex);
        if (--testsInFlight <= 0) {
            testsInFlight = 0;
            told.swap(waiting);
        }
    }
    auto self = shared_from_this();
    RunLoop::main().perform([self, told = std::move(told)] {
        bool selfTold = false;
        for (const auto& weak : told)
            if (auto tests = weak.lock()) {
                selfTold = selfTold || tests == self;
                if (tests->ended_) tests->ended_(true);
            }
        if (!selfTold && self->ended_) self->ended_(false);
    });
}

} // namespace tavlo::screens
