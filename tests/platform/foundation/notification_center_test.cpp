#include "platform/foundation/NotificationCenter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace tavlo;

TEST(NotificationCenter, ObserversFilterByNameAndSender) {
    NotificationCenter center;
    int printer = 0, drawer = 0;
    std::vector<std::string> everything;
    std::string received;
    center.addObserver("printerChange", nullptr, [&](const Notification& n) {
        received = std::any_cast<std::string>(n.object) + "/" + std::any_cast<std::string>(n.userInfo.at("state"));
    });
    center.addObserver("", &printer, [&](const Notification& n) { everything.push_back(n.name); });
    center.addObserver("drawerOpen", &drawer, [&](const Notification& n) { everything.push_back("drawer:" + n.name); });

    center.post("printerChange", std::string("kitchen"), {{"state", std::any(std::string("offline"))}}, &printer);
    center.post("drawerOpen", {}, {}, &printer);
    center.post("drawerOpen", {}, {}, &drawer);
    center.post("other");
    EXPECT_EQ(received, "kitchen/offline");
    EXPECT_EQ(everything, (std::vector<std::string>{"printerChange", "drawerOpen", "drawer:drawerOpen"}));
}

TEST(NotificationCenter, ObserverRemovedInsideACallbackIsNotCalledAgain) {
    NotificationCenter center;
    int first = 0, second = 0;
    NotificationCenter::Token a = 0, b = 0;
    a = center.addObserver("tick", nullptr, [&](const Notification&) {
        ++first;
        center.removeObserver(a);
        center.removeObserver(b); // removed before its turn in this very post
    });
    b = center.addObserver("tick", nullptr, [&](const Notification&) { ++second; });
    center.post("tick");
    center.post("tick");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);

    int scoped = 0;
    {
        ScopedObserver observer(
            "tick", nullptr, [&](const Notification&) { ++scoped; }, center);
        center.post("tick");
    }
    center.post("tick");
    EXPECT_EQ(scoped, 1);
}

TEST(NotificationCenter, PostingFromTwoThreadsWhileObserversComeAndGo) {
    NotificationCenter center;
    std::atomic<int> delivered{0};
    center.addObserver("ordersChange", nullptr, [&](const Notification&) { ++delivered; });
    std::atomic<bool> posting{true};
    std::thread churn([&] {
        while (posting) center.removeObserver(center.addObserver("ordersChange", nullptr, [](const Notification&) {}));
    });
    auto post = [&] {
        for (int i = 0; i < 2000; ++i) center.post("ordersChange");
    };
    std::thread one(post), two(post);
    one.join();
    two.join();
    posting = false;
    churn.join();
    EXPECT_EQ(delivered, 4000);
}
