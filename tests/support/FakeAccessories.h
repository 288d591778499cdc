#pragma once

#include "platform/accessory/Accessory.h"
#include "platform/accessory/AccessoryManager.h"
#include "platform/foundation/RunLoop.h"
#include "support/PseudoTerminalPeer.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tavlo::test {

// An accessory back end in the test's hand: the test plugs accessories in and out (the manager
// posts its notifications), and each session opened talks to a PseudoTerminalPeer the test
// drives: bytes from the device, scripted answers, a hang-up for a stream error. Sessions may be
// refused, as a device does that is busy or broken.
class FakeAccessories : public AccessoryBackend, public std::enable_shared_from_this<FakeAccessories> {
public:
    static std::shared_ptr<FakeAccessories> create() { return std::shared_ptr<FakeAccessories>(new FakeAccessories()); }

    std::shared_ptr<Accessory> plugIn(const std::string& name, const std::vector<std::string>& protocolStrings,
                                      const std::string& macAddress = {}, const std::string& modelNumber = {});
    void pullOut(const std::shared_ptr<Accessory>& accessory);

    void setRefusesSessions(bool refuses);
    // Sessions opened so far with this accessory.
    int sessionsOpened(const Accessory& accessory) const;
    // The peer of the accessory's latest session (null when none was opened).
    std::shared_ptr<PseudoTerminalPeer> peer(const Accessory& accessory) const;

    int openChannel(const Accessory& accessory, const std::string& protocol, Error* error) override;

private:
    FakeAccessories() = default;

    mutable std::mutex mutex_;
    bool refuses_ = false;
    std::map<uint32_t, std::vector<std::shared_ptr<PseudoTerminalPeer>>> peers_;
};

// A test with fake accessories: no accessory attached and an empty main loop before and after.
class AccessoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        AccessoryManager::shared().reset();
        RunLoop::main().reset();
    }
    void TearDown() override {
        AccessoryManager::shared().reset();
        RunLoop::main().reset();
    }

    std::shared_ptr<FakeAccessories> fake = FakeAccessories::create();
};

} // namespace tavlo::test
