#pragma once

#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "readers/ReaderSimulator.h"
#include "readers/jackmag/CommandFrames.h"
#include "readers/jackmag/JackMagEngine.h"
#include "readers/jackmag/Notifications.h"
#include "support/FakeAudio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace tavlo::test {

// The reader's notifications as the main thread receives them.
class NoteLog {
public:
    NoteLog()
        : observer_("", nullptr, [this](const Notification& note) {
              if (note.name.rfind("jackMag", 0) == 0) notes_.push_back(note);
          }) {}
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& n : notes_) out.push_back(n.name);
        return out;
    }
    size_t count(const std::string& name) const {
        return static_cast<size_t>(
            std::count_if(notes_.begin(), notes_.end(), [&](const auto& n) { return n.name == name; }));
    }
    const Notification* last(const std::string& name) const {
        for (auto it = notes_.rbegin(); it != notes_.rend(); ++it) {
            if (it->name == name) return &*it;
        }
        return nullptr;
    }
    std::vector<Notification> all(const std::string& name) const {
        std::vector<Notification> out;
        for (const auto& n : notes_) {
            if (n.name == name) out.push_back(n);
        }
        return out;
    }
    void clear() { notes_.clear(); }

private:
    std::vector<Notification> notes_;
    ScopedObserver observer_;
};

// An engine on the fake audio session with a simulated reader and the clock in the test's hand.
class JackMagFixture : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().runUntilIdle();
        engine = jackmag::JackMagEngine::init();
    }
    void TearDown() override {
        engine->Destroy();
        engine.reset();
        RunLoop::main().runUntilIdle();
    }

    // Runs the main loop until the notification has arrived `times` times (a real-time limit
    // only keeps a broken test from hanging).
    bool waitFor(const std::string& name, size_t times = 1) {
        for (int i = 0; i < 20000; ++i) {
            RunLoop::main().runUntilIdle();
            if (notes.count(name) >= times) return true;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return false;
    }
    // Until no task runs and everything posted has been delivered.
    void settle() {
        engine->stopTask();
        RunLoop::main().runUntilIdle();
    }
    void waitUntilRecording() {
        for (int i = 0; i < 20000 && !audio->isRecording(); ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(500));
    }

    // A plugged-in reader that answers the channel request with 06 'V', connected.
    void plugAndConnect() {
        audio->plugHeadset(true);
        auto previous = reader.answer;
        reader.answer = [](const Bytes& command) -> std::optional<Bytes> {
            if (command == *jackmag::bytesFromHex(jackmag::frames::kSetChannel)) return Bytes{0x06, 'V'};
            return std::nullopt;
        };
        ASSERT_EQ(engine->startJackMag(true), jackmag::JMRET_SUCCESS);
        ASSERT_TRUE(waitFor(jackmag::notes::kDidConnect));
        settle();
        reader.answer = previous;
    }

    ScopedFakeAudioSession audio;
    ScopedFakeClock clock;
    ReaderSimulator reader{*audio};
    NoteLog notes;
    std::shared_ptr<jackmag::JackMagEngine> engine;
};

} // namespace tavlo::test
