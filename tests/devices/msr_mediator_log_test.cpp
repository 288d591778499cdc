#include "core/util/TavloLog.h"
#include "devices/MediatorFixture.h"
#include "platform/foundation/NotificationCenter.h"
#include "readers/dockmag/DockMag.h"
#include "readers/jackmag/Notifications.h"
#include "support/LogLines.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace tavlo {
namespace {

using test::runMainUntil;

const std::string kNumber = "4111111111111111";
const std::string kHolder = "TRACK/TEST";
const std::string kTrack1 = "%B" + kNumber + "^" + kHolder + "^2512101?";
const std::string kTrack2 = ";" + kNumber + "=2512101?";

// Sends the process's standard error into the log file, as the program does, for one test.
class StandardErrorIntoLog {
public:
    StandardErrorIntoLog() : saved_(::dup(STDERR_FILENO)) { TavloLog::redirectStandardError(); }
    ~StandardErrorIntoLog() {
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }

private:
    int saved_;
};

class MSRMediatorLog : public test::MediatorFixture {};

TEST_F(MSRMediatorLog, SwipesThroughEveryReaderLeaveNoTrackTextInTheLog) {
    StandardErrorIntoLog intoLog;
    dockmag::DockMag::enableLogging(true);
    int swipes = 0;
    auto swipesSeen = [&] {
        return static_cast<int>(std::count_if(screen.begin(), screen.end(), [](const test::CardReaderNote& note) {
            return note.name == kMsrReceivedDataNotification;
        }));
    };
    {
        auto reader = fake->plugIn("reader", {dockmag::kReaderProtocol});
        MSRMediator mediator(std::string("dockmag"));
        mediator.setLogEvents(true);
        registerScreen(mediator);
        fake->peer(*reader)->send(kTrack1);
        ASSERT_TRUE(runMainUntil([&] { return swipesSeen() == 1; }));
        mediator.unregisterObserver(this);
        ++swipes;
    }
    {
        MSRMediator mediator(std::string("jackmag"));
        mediator.setLogEvents(true);
        registerScreen(mediator);
        auto& center = NotificationCenter::defaultCenter();
        center.post(jackmag::notes::kDidConnect);
        for (const std::string& data :
             {"CLDMSR1000701" + kTrack1, kTrack2, std::string("Timeout"), kTrack2 + "Timeout"}) {
            center.post(jackmag::notes::kDidReceiveData, std::vector<uint8_t>(data.begin(), data.end()));
        }
        mediator.unregisterObserver(this);
        swipes += 2;
    }
    {
        auto vdock = fake->plugIn("vdock", {"com.varda.vdock"});
        MSRMediator mediator(std::string("varda"));
        mediator.setLogEvents(true);
        registerScreen(mediator);
        fake->peer(*vdock)->send(kTrack1 + std::string(1, '\0'));
        ASSERT_TRUE(runMainUntil([&] { return swipesSeen() == swipes + 1; }));
        mediator.unregisterObserver(this);
        ++swipes;
    }
    {
        MSRMediator mediator(std::string("sled"));
        mediator.setLogEvents(true);
        registerScreen(mediator);
        mediator.magneticCardData(kTrack1, kTrack2, std::nullopt);
        mediator.magneticCardRawData(kTrack2);
        mediator.magneticCardReadDidFinish(kTrack1);
        mediator.unregisterObserver(this);
        swipes += 3;
    }
    dockmag::DockMag::enableLogging(false);
    std::fflush(stderr);

    EXPECT_EQ(swipesSeen(), swipes) << "every swipe reached the screen";

    std::string log = test::logText();
    EXPECT_NE(log.find("Received: "), std::string::npos) << "the mediator's lines are in the log";
    EXPECT_NE(log.find("-> card len: "), std::string::npos) << "the reader's console lines are in the log";
    EXPECT_NE(log.find("[DM Info] "), std::string::npos);
    EXPECT_EQ(log.find(kNumber), std::string::npos) << log;
    EXPECT_EQ(log.find(kNumber.substr(0, 6)), std::string::npos) << "not even the first digits";
    EXPECT_EQ(log.find(kHolder), std::string::npos);
    EXPECT_EQ(log.find("2512101"), std::string::npos);
}

} // namespace
} // namespace tavlo
