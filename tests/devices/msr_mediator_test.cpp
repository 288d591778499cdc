#include "devices/MSRMediator.h"

#include <gtest/gtest.h>

#include <any>
#include <string>
#include <vector>

namespace tavlo {
namespace {

std::vector<std::string> postEachCardReaderNotification() {
    std::vector<std::string> names = {kMsrDidConnectNotification, kMsrDidDisconnectNotification,
                                      kMsrReceivedDataNotification, kMsrErrorNotification};
    for (const std::string& name : names) {
        NotificationCenter::defaultCenter().post(name, std::string("payload of ") + name);
    }
    return names;
}

TEST(MSRMediator, FirstTypeWinsForTheWholeProcess) {
    // A type that attaches no reader: the process's mediator stays out of the other tests' way.
    MSRMediator& first = MSRMediator::getInstance(std::string("sled"));
    MSRMediator& second = MSRMediator::getInstance(std::string("jackmag"));
    MSRMediator& plain = MSRMediator::getInstance();
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(&first, &plain);
    EXPECT_TRUE(first.isType(std::string("sled")));
    EXPECT_FALSE(first.isType(std::string("jackmag")));
    EXPECT_FALSE(first.isType(std::string("Sled")));
    EXPECT_FALSE(first.isType(std::nullopt));
}

TEST(MSRMediator, RegisteredObserverGetsAllFourUntilUnregistered) {
    MSRMediator& mediator = MSRMediator::getInstance();
    int observer = 0;
    std::vector<std::string> received;
    mediator.registerObserver(&observer, [&](const Notification& note) {
        received.push_back(note.name + ": " + std::any_cast<std::string>(note.object));
    });

    std::vector<std::string> names = postEachCardReaderNotification();
    ASSERT_EQ(received.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) { EXPECT_EQ(received[i], names[i] + ": payload of " + names[i]); }

    NotificationCenter::defaultCenter().post("someOtherNotification", std::string("raw"));
    EXPECT_EQ(received.size(), names.size()) << "only the four card-reader names reach a screen";

    received.clear();
    mediator.unregisterObserver(&observer);
    postEachCardReaderNotification();
    EXPECT_TRUE(received.empty());
    mediator.unregisterObserver(&observer); // a second time is harmless
}

TEST(MSRMediator, ObserversAreKeptApartAndReRegisteringReplaces) {
    MSRMediator& mediator = MSRMediator::getInstance();
    int signIn = 0;
    int payScreen = 0;
    int signInCalls = 0;
    int payCalls = 0;
    mediator.registerObserver(&signIn, [&](const Notification&) { ++signInCalls; });
    mediator.registerObserver(&signIn, [&](const Notification&) { ++signInCalls; });
    mediator.registerObserver(&payScreen, [&](const Notification&) { ++payCalls; });

    NotificationCenter::defaultCenter().post(kMsrErrorNotification, std::string("Invalid Swipe"));
    EXPECT_EQ(signInCalls, 1);
    EXPECT_EQ(payCalls, 1);

    mediator.unregisterObserver(&signIn);
    NotificationCenter::defaultCenter().post(kMsrErrorNotification, std::string("Swipe error"));
    EXPECT_EQ(signInCalls, 1);
    EXPECT_EQ(payCalls, 2);
    mediator.unregisterObserver(&payScreen);
}

} // namespace
} // namespace tavlo
