#pragma once

#include "PrinterTestSupport.h"
#include "platform/foundation/Clock.h"
#include "printerlib/iController.h"
#include "support/PrinterPeer.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tavlo::test {

using printerlib::iController;
using printerlib::OVPrinter;

// A model whose card reader can be armed, whose printer can be refused, and which takes card
// records (0x02, the track, 0x03) from what the printer sends.
class TestModel : public iController {
public:
    bool armed = false;
    bool available = true;
    std::vector<long> coverChecks; // answers of checkPrinter(1), in turn; 0 once used up

    bool msrIsReady() override { return armed; }
    bool isAvailablePrinter() override { return available; }
    long checkPrinter(long mask) override {
        if (mask != 1) return iController::checkPrinter(mask);
        ++checks;
        if (coverChecks.empty()) return 0;
        long answer = coverChecks.front();
        if (coverChecks.size() > 1) coverChecks.erase(coverChecks.begin());
        return answer;
    }
    long processDataMsr(const uint8_t* bytes, long length) override {
        if (length == 0 || bytes[0] != 0x02) return 0;
        const uint8_t* end = std::find(bytes, bytes + length, 0x03);
        if (end == bytes + length) return -1;
        std::lock_guard lock(mutex);
        tracks.emplace_back(bytes + 1, end);
        return (end - bytes) + 1;
    }
    std::vector<std::string> cardTracks() {
        std::lock_guard lock(mutex);
        return tracks;
    }
    int checks = 0;

private:
    std::mutex mutex;
    std::vector<std::string> tracks;
};

// A model object whose target is the loopback printer peer.
template <class Model> class ModelFixture : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().reset();
        target->setAddress(std::string("127.0.0.1"));
        target->setPort(static_cast<uint16_t>(printer.port()));
        target->setConnectionClass(OVPrinter::Tcp);
        controller.setTarget(target);
        controller.setDelegate(&events);
    }
    void TearDown() override {
        controller.setDelegate(nullptr);
        controller.disconnect();
        RunLoop::main().reset();
    }
    void keepConnection() {
        controller.setAutoConnection(iController::kKeepConnection);
        ASSERT_TRUE(controller.connect());
        ASSERT_TRUE(printer.waitUntil([&] { return printer.clientConnected(); }));
    }
    PrinterBytes lastConnection() const {
        auto all = printer.connections();
        return all.empty() ? PrinterBytes{} : all.back();
    }
    // The bytes of a command's own connection (AutoConnection below 100), once the controller
    // has closed it.
    PrinterBytes sentBy(const std::function<long()>& command, long expected = printerlib::OVL_SUCCESS) {
        size_t before = printer.connections().size();
        EXPECT_EQ(command(), expected);
        EXPECT_FALSE(controller.transport().isConnected());
        // The printer has taken the connection and read it to its end.
        EXPECT_TRUE(printer.waitUntil(
            [&] { return printer.connections().size() == before + 1 && !printer.clientConnected(); }));
        return lastConnection();
    }
    static PrinterBytes bytes(std::initializer_list<int> values) {
        PrinterBytes out;
        for (int v : values) out.push_back(static_cast<uint8_t>(v));
        return out;
    }
    static PrinterBytes concat(std::initializer_list<PrinterBytes> parts) {
        PrinterBytes out;
        for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    }

    ScopedScaledClock clock{10.0};
    TempHome home;
    PrinterPeer printer;
    std::shared_ptr<OVPrinter> target = std::make_shared<OVPrinter>();
    Model controller;
    RecordingControllerDelegate events;
};

using ControllerFixture = ModelFixture<TestModel>;

} // namespace tavlo::test
