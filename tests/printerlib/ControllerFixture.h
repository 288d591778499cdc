#pragma once

#include "LoopbackPrinter.h"
#include "PrinterTestSupport.h"
#include "platform/foundation/Clock.h"
#include "printerlib/iController.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <memory>

namespace tavlo::test {

using printerlib::iController;
using printerlib::OVPrinter;

// A model whose card reader can be armed and whose printer can be refused.
class TestModel : public iController {
public:
    bool armed = false;
    bool available = true;
    bool msrIsReady() override { return armed; }
    bool isAvailablePrinter() override { return available; }
};

class ControllerFixture : public ::testing::Test {
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
        controller.setAutoConnection(iController::KeepConnection);
        ASSERT_TRUE(controller.connect());
        ASSERT_TRUE(printer.waitUntil([&] { return printer.clientConnected(); }));
    }
    PrinterBytes lastConnection() const {
        auto all = printer.connections();
        return all.empty() ? PrinterBytes{} : all.back();
    }

    ScopedScaledClock clock{10.0};
    TempHome home;
    LoopbackPrinter printer;
    std::shared_ptr<OVPrinter> target = std::make_shared<OVPrinter>();
    TestModel controller;
    RecordingControllerDelegate events;
};

} // namespace tavlo::test
