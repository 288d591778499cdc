#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tavlo::screens {

// The status screen's connection tests: one TCP connect per row, each on a detached thread of
// its own so that all run at once, with their states read by the screen on the main thread.
// A state is "" (not tested), "testing", "connected" or "failed". How many tests are in flight
// is counted across every status screen, so that Test comes back only when the last one ended.
class ConnectionTests : public std::enable_shared_from_this<ConnectionTests> {
public:
    static constexpr const char* kTesting = "testing";
    static constexpr const char* kConnected = "connected";
    static constexpr const char* kFailed = "failed";
    // Seconds a connect may take.
    static constexpr int kTimeout = 2;
    // Where the other terminals are reached.
    static constexpr int kTerminalPort = 4444;
    // The key of the receipt printer among the printers' states.
    static constexpr const char* kReceiptKey = "Receipt";

    // Runs on the main thread after each of this object's tests has ended, and with `last` for
    // every object that started tests or waits for them when no test is left in flight anywhere.
    using Ended = std::function<void(bool last)>;

    explicit ConnectionTests(Ended ended) : ended_(std::move(ended)) {}

    std::string internet() const;
    std::string printer(const std::string& key) const;
    std::string terminal(const std::string& terminalId) const;
    static int inFlight();

    // Tests another status screen started are still in flight: this one is told with the rest
    // when they have all ended. False when none is in flight.
    bool waitForRunningTests();

    // Each marks its row "testing" and starts its thread. Every test to run is announced with
    // expect() first, so that a quick test cannot end the count while others are still to start.
    void expect(int tests);
    // The support service's host ("name" or "name:port"; port 80 when none).
    void testInternet(const std::string& host);
    // A printer's "host:port" (port 9100 when none is given).
    void testPrinter(const std::string& key, const std::string& url);
    void testTerminal(const std::string& terminalId, const std::string& networkName);

    // Whether the host answers on the port within the time-out; a host name that is not a
    // dotted address is looked up as a local name first. False without a host.
    static bool testConnection(const std::optional<std::string>& host, int port);

private:
    enum class Kind { Internet, Printer, Terminal };
    void start(Kind kind, const std::string& key, std::string host, int port);
    void set(Kind kind, const std::string& key, const std::string& state);
    void end();

    Ended ended_;
    mutable std::mutex mutex_;
    std::string internet_;
    std::map<std::string, std::string> printers_, terminals_;
};

} // namespace tavlo::screens
