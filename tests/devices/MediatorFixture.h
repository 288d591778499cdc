#pragma once

#include "devices/AudioJackReader.h"
#include "devices/MSRMediator.h"
#include "devices/PrinterCardReader.h"
#include "platform/accessory/AccessoryManager.h"
#include "platform/foundation/RunLoop.h"
#include "support/FakeAccessories.h"
#include "support/RunMainUntil.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <any>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tavlo::test {

// The audio-jack reader as the mediator drives it: what it was asked, in order.
class RecordingJackReader : public AudioJackReader {
public:
    explicit RecordingJackReader(std::vector<std::string>& calls) : calls_(calls) {}
    bool isReaderAttached() const override { return attached; }
    void requestSwipe() override { calls_.push_back("request"); }
    void cancelSwipe() override { calls_.push_back("cancel"); }
    bool attached = false;

private:
    std::vector<std::string>& calls_;
};

class RecordingPrinterReader : public PrinterCardReader {
public:
    void startRead() override { calls.push_back("start"); }
    void cancelRead() override { calls.push_back("cancel"); }
    std::vector<std::string> calls;
};

// A card-reader notification as a screen receives it: name and object (text, or "" for none).
struct CardReaderNote {
    std::string name;
    std::string object;
    bool operator==(const CardReaderNote&) const = default;
};

inline void PrintTo(const CardReaderNote& note, std::ostream* out) { *out << note.name << "(" << note.object << ")"; }

class MediatorFixture : public AccessoryTest {
protected:
    void SetUp() override {
        AccessoryTest::SetUp();
        AudioJackReader::setMaker([this] { return std::make_unique<RecordingJackReader>(jackCalls); });
    }
    void TearDown() override {
        AudioJackReader::setMaker(nullptr);
        PrinterCardReader::setMaker(nullptr);
        AccessoryTest::TearDown();
    }

    // Registers as a screen would.
    void registerScreen(MSRMediator& mediator) {
        mediator.registerObserver(this, [this](const Notification& note) {
            std::string object;
            if (const auto* text = std::any_cast<std::string>(&note.object)) object = *text;
            screen.push_back({note.name, object});
        });
    }

    TempHome home;
    std::vector<std::string> jackCalls;
    std::vector<CardReaderNote> screen;
};

} // namespace tavlo::test
