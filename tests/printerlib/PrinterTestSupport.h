#pragma once

#include "platform/foundation/Error.h"
#include "platform/foundation/RunLoop.h"
#include "printerlib/iController.h"
#include "printerlib/interfaceFunctions.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tavlo::test {

// Serves the main run loop (where the library delivers its delegate calls) until the condition
// holds or `seconds` of real time have passed; false when it never held.
inline bool runMainUntil(const std::function<bool()>& condition, double seconds = 10.0) {
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        RunLoop::main().runUntilIdle();
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// What a transport reported, in order, with the thread it came on.
struct RecordingTransportDelegate : printerlib::InterfaceFunctionsDelegate {
    std::vector<std::string> events;
    std::vector<Error> errors;
    bool allOnMainThread = true;

    void note(const std::string& event) {
        allOnMainThread = allOnMainThread && RunLoop::isMainThread();
        events.push_back(event);
    }
    void willConnect() override { note("willConnect"); }
    void didConnect() override { note("didConnect"); }
    void didNotConnectWithError(const Error& error) override {
        note("didNotConnectWithError");
        errors.push_back(error);
    }
    void didBeBrokenConnection(const Error& error) override {
        note("didBeBrokenConnection");
        errors.push_back(error);
    }
    void didDisconnect() override { note("didDisconnect"); }
    void bluetoothReadAvailableProcess() override { note("bytesAvailable"); }
};

// What a controller reported, in order.
struct RecordingControllerDelegate : printerlib::iControllerDelegate {
    std::vector<std::string> events;
    std::vector<Error> errors;
    std::vector<long> states;

    void willConnect(printerlib::iController&) override { events.push_back("willConnect"); }
    void didConnect(printerlib::iController&) override { events.push_back("didConnect"); }
    void didNotConnectWithError(printerlib::iController&, const Error& error) override {
        events.push_back("didNotConnectWithError");
        errors.push_back(error);
    }
    void didBeBrokenConnection(printerlib::iController&, const Error& error) override {
        events.push_back("didBeBrokenConnection");
        errors.push_back(error);
    }
    void didDisconnect(printerlib::iController&) override { events.push_back("didDisconnect"); }
    void didUpdateStatus(printerlib::iController&, long status) override { states.push_back(status); }
    void msrArrived(printerlib::iController&, long track) override {
        events.push_back("msrArrived");
        cardTracks.push_back(track);
    }
    void msrTerminated(printerlib::iController&) override { events.push_back("msrTerminated"); }
    std::vector<long> cardTracks;
};

} // namespace tavlo::test
