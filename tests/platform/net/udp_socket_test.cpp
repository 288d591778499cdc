#include "platform/net/UdpSocket.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"

#include <arpa/inet.h>
#include <chrono>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <thread>

using namespace tavlo;

namespace {

// Writes down every delegate call as a line of text.
class Recorder : public UdpSocketDelegate {
public:
    std::vector<std::string> events;
    // Answers whether a datagram is taken (default: all).
    std::function<bool(const std::string&)> takes = [](const std::string&) { return true; };

    void onUdpSocketDidSendData(UdpSocket&, long tag) override { events.push_back(format("sent %ld", tag)); }
    void onUdpSocketDidNotSendData(UdpSocket&, long tag, const Error& e) override {
        events.push_back(format("not sent %ld: %@ %d %@", tag, e.domain(), e.code(), e.localizedDescription()));
    }
    bool onUdpSocketDidReceiveData(UdpSocket& socket, const std::string& data, long tag, const std::string& host,
                                   uint16_t port) override {
        bool taken = takes(data);
        events.push_back(format("%@ %ld: %@ from %@:%hu%@", taken ? "received" : "declined", tag, data, host, port,
                                socket.lastDatagramTruncated() ? " (cut)" : ""));
        return taken;
    }
    void onUdpSocketDidNotReceiveData(UdpSocket&, long tag, const Error& e) override {
        events.push_back(format("not received %ld: %@ %d %@", tag, e.domain(), e.code(), e.localizedDescription()));
    }
    void onUdpSocketDidClose(UdpSocket&) override { events.push_back("closed"); }

    std::vector<std::string> take() { return std::exchange(events, {}); }
};

using Lines = std::vector<std::string>;

class UdpSocketTest : public ::testing::Test {
protected:
    ScopedFakeClock clock;
    Recorder aEvents, bEvents;
    std::shared_ptr<UdpSocket> a, b;

    void SetUp() override {
        RunLoop::main().reset();
        a = bound(&aEvents);
        b = bound(&bEvents);
    }
    void TearDown() override {
        a.reset();
        b.reset();
        RunLoop::main().reset();
    }
    static std::shared_ptr<UdpSocket> bound(UdpSocketDelegate* delegate) {
        auto s = UdpSocket::create(delegate, nullptr, true, false);
        Error error;
        EXPECT_TRUE(s->bindToAddress("127.0.0.1", 0, &error)) << error.localizedDescription();
        return s;
    }
    static void pump() { RunLoop::main().runUntilIdle(); }
    std::string from(const std::shared_ptr<UdpSocket>& s) { return format("127.0.0.1:%hu", s->localPort()); }
    static std::string rawAddress(uint16_t port) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return std::string(reinterpret_cast<const char*>(&to), sizeof to);
    }
};

} // namespace

TEST_F(UdpSocketTest, SendsAndReceivesInOrderWithTags) {
    EXPECT_NE(a->localPort(), 0);
    EXPECT_EQ(a->localHost(), "127.0.0.1");
    EXPECT_TRUE(a->isIPv4());
    EXPECT_FALSE(a->isIPv6());

    b->receiveWithTimeout(-1, 10);
    b->receiveWithTimeout(-1, 11);
    EXPECT_TRUE(a->sendData("one", "127.0.0.1", b->localPort(), -1, 1));
    EXPECT_TRUE(a->sendData("two", rawAddress(b->localPort()), 5, 2));
    EXPECT_TRUE(a->sendData("three", "localhost", b->localPort(), -1, 3));
    pump();
    EXPECT_EQ(aEvents.take(), (Lines{"sent 1", "sent 2", "sent 3"}));
    EXPECT_EQ(bEvents.take(), (Lines{"received 10: one from " + from(a), "received 11: two from " + from(a)}));
    // The third datagram waits in the system until a receive is queued.
    b->receiveWithTimeout(-1, 12);
    pump();
    EXPECT_EQ(bEvents.take(), (Lines{"received 12: three from " + from(a)}));
}

TEST_F(UdpSocketTest, ADeclinedDatagramKeepsTheReceiveWaiting) {
    bEvents.takes = [](const std::string& data) { return data != "noise"; };
    b->receiveWithTimeout(-1, 5);
    a->sendData("noise", "127.0.0.1", b->localPort(), -1, 1);
    a->sendData("signal", "127.0.0.1", b->localPort(), -1, 2);
    pump();
    EXPECT_EQ(bEvents.take(), (Lines{"declined 5: noise from " + from(a), "received 5: signal from " + from(a)}));
}

TEST_F(UdpSocketTest, ReceiveTimeOutsFollowTheClock) {
    b->receiveWithTimeout(5, 1);
    b->receiveWithTimeout(-1, 2);
    RunLoop::main().runFor(4.9);
    EXPECT_TRUE(bEvents.events.empty());
    RunLoop::main().runFor(0.2);
    EXPECT_EQ(bEvents.take(), (Lines{"not received 1: UdpSocketErrorDomain 5 Receive operation timed out"}));
    // No time-out: waits whatever the clock does.
    RunLoop::main().runFor(100000);
    EXPECT_TRUE(bEvents.events.empty());
    a->sendData("late", "127.0.0.1", b->localPort(), -1, 1);
    pump();
    EXPECT_EQ(bEvents.take(), (Lines{"received 2: late from " + from(a)}));

    // A zero time-out ends at once unless a datagram is already waiting.
    b->receiveWithTimeout(0, 3);
    RunLoop::main().runFor(0.1);
    EXPECT_EQ(bEvents.take(), (Lines{"not received 3: UdpSocketErrorDomain 5 Receive operation timed out"}));
    a->sendData("waiting", "127.0.0.1", b->localPort(), -1, 1);
    pump();
    b->receiveWithTimeout(0, 4);
    RunLoop::main().runFor(0.1);
    EXPECT_EQ(bEvents.take(), (Lines{"received 4: waiting from " + from(a)}));
}

TEST_F(UdpSocketTest, AConnectedSocketTalksToItsPeerOnly) {
    Error error;
    EXPECT_FALSE(b->sendData("x", 1, 1)); // not connected
    ASSERT_TRUE(b->connectToHost("127.0.0.1", a->localPort(), &error)) << error.localizedDescription();
    EXPECT_TRUE(b->isConnected());
    EXPECT_TRUE(b->isConnectedToHost("127.0.0.1", a->localPort()));
    EXPECT_FALSE(b->isConnectedToHost("127.0.0.1", a->localPort() + 1));
    EXPECT_EQ(b->connectedPort(), a->localPort());
    EXPECT_FALSE(b->sendData("x", "127.0.0.1", a->localPort(), -1, 1)); // connected: no other address
    EXPECT_FALSE(b->sendData("x", rawAddress(a->localPort()), -1, 1));
    EXPECT_FALSE(b->sendData("", -1, 1));

    Recorder cEvents;
    auto c = bound(&cEvents);
    b->receiveWithTimeout(-1, 1);
    c->sendData("stranger", "127.0.0.1", b->localPort(), -1, 1);
    a->sendData("peer", "127.0.0.1", b->localPort(), -1, 2);
    EXPECT_TRUE(b->sendData("to peer", -1, 3));
    a->receiveWithTimeout(-1, 4);
    pump();
    EXPECT_EQ(bEvents.take(), (Lines{"sent 3", "received 1: peer from " + from(a)}));
    EXPECT_EQ(aEvents.take(), (Lines{"sent 2", "received 4: to peer from " + from(b)}));
}

TEST_F(UdpSocketTest, ClosesAfterPendingSendsAndReceives) {
    for (long tag = 1; tag <= 3; ++tag) a->sendData("d", "127.0.0.1", a->localPort(), -1, tag);
    a->closeAfterSending();
    EXPECT_FALSE(a->sendData("late", "127.0.0.1", b->localPort(), -1, 9));
    EXPECT_FALSE(a->isClosed());
    pump();
    EXPECT_EQ(aEvents.take(), (Lines{"sent 1", "sent 2", "sent 3", "closed"}));
    EXPECT_TRUE(a->isClosed());

    b->receiveWithTimeout(-1, 1);
    b->receiveWithTimeout(-1, 2);
    b->closeAfterReceiving();
    b->receiveWithTimeout(-1, 3); // ignored: queued after the close was asked for
    pump();
    EXPECT_FALSE(b->isClosed());
    Recorder cEvents;
    auto c = bound(&cEvents);
    for (const char* d : {"x", "y", "z"}) c->sendData(d, "127.0.0.1", b->localPort(), -1, 0);
    pump();
    EXPECT_EQ(bEvents.take(), (Lines{"received 1: x from " + from(c), "received 2: y from " + from(c), "closed"}));
    EXPECT_TRUE(b->isClosed());

    // Nothing pending: both sides at once.
    c->closeAfterSendingAndReceiving();
    pump();
    EXPECT_EQ(cEvents.take(), (Lines{"sent 0", "sent 0", "sent 0", "closed"}));
}

TEST_F(UdpSocketTest, CloseTellsOnceAndLaterAndReleaseTellsNothing) {
    b->receiveWithTimeout(5, 1);
    a->sendData("never", "127.0.0.1", b->localPort(), -1, 1);
    a->close();
    a->close();
    EXPECT_TRUE(a->isClosed());
    EXPECT_TRUE(aEvents.events.empty()); // the current send ends without a word; the close comes later
    pump();
    EXPECT_EQ(aEvents.take(), (Lines{"closed"}));
    EXPECT_FALSE(a->isIPv4());
    EXPECT_EQ(a->localPort(), 0);
    EXPECT_FALSE(a->sendData("x", "127.0.0.1", b->localPort(), -1, 1));
    a->receiveWithTimeout(-1, 1);
    EXPECT_THROW(a->bindToPort(0), UdpSocketException);
    try {
        a->connectToHost("127.0.0.1", 9);
        FAIL();
    } catch (const UdpSocketException& e) { EXPECT_STREQ(e.what(), "The socket is closed."); }

    b->close();
    b.reset(); // released before its close was told: nothing is
    RunLoop::main().runFor(10);
    EXPECT_TRUE(bEvents.events.empty());
    EXPECT_TRUE(aEvents.events.empty());
}

TEST_F(UdpSocketTest, MisuseRaisesTheSocketsExceptions) {
    auto message = [](auto&& action) -> std::string {
        try {
            action();
        } catch (const UdpSocketException& e) { return e.what(); }
        return "no exception";
    };
    auto fresh = UdpSocket::initIPv4();
    EXPECT_EQ(message([&] { fresh->joinMulticastGroup("230.0.0.1"); }),
              "Must bind a socket before joining a multicast group.");
    EXPECT_EQ(message([&] { a->bindToPort(0); }), "Cannot bind a socket more than once.");
    EXPECT_EQ(message([&] { a->bindToAddress("127.0.0.1", 0); }), "Cannot bind a socket more than once.");
    ASSERT_TRUE(a->connectToHost("127.0.0.1", b->localPort()));
    EXPECT_EQ(message([&] { a->connectToHost("127.0.0.1", b->localPort()); }),
              "Cannot connect a socket more than once.");
    EXPECT_EQ(message([&] { a->connectToAddress(rawAddress(b->localPort())); }),
              "Cannot connect a socket more than once.");
    EXPECT_EQ(message([&] { a->joinMulticastGroup("230.0.0.1"); }), "Cannot join a multicast group if connected.");
    ASSERT_TRUE(fresh->connectToAddress(rawAddress(b->localPort())));
    EXPECT_EQ(message([&] { fresh->bindToPort(0); }),
              "Cannot bind after connecting. If needed, bind first, then connect.");
}

TEST_F(UdpSocketTest, SetUpErrors) {
    struct Case {
        const char* what;
        std::function<bool(Error*)> action;
        std::string domain;
        int code;
        std::string text;
    };
    auto v4 = UdpSocket::initIPv4();
    auto v6 = UdpSocket::initIPv6();
    auto joined = UdpSocket::initIPv4();
    ASSERT_TRUE(joined->bindToAddress("127.0.0.1", 0));
    const char* noV6 =
        "IPv6 is unavailable due to binding/connecting using IPv4 only or is not supported on this platform";
    const Case cases[] = {
        {"address of 5 bytes", [&](Error* e) { return v4->connectToAddress("12345", e); }, "UdpSocketErrorDomain", 1,
         "remoteAddr parameter is not a valid address"},
        {"IPv6 address, IPv4 socket", [&](Error* e) { return v4->connectToAddress(std::string(28, '\0'), e); },
         "UdpSocketErrorDomain", 3, noV6},
        {"IPv4 address, IPv6 socket", [&](Error* e) { return v6->connectToAddress(rawAddress(9), e); },
         "UdpSocketErrorDomain", 2, "IPv4 is unavailable due to binding/connecting using IPv6 only"},
        {"bind IPv4 socket to ::1", [&](Error* e) { return v4->bindToAddress("::1", 0, e); }, "UdpSocketErrorDomain", 3,
         noV6},
        {"IPv6 group on IPv4 socket", [&](Error* e) { return joined->joinMulticastGroup("ff02::1", e); },
         "UdpSocketErrorDomain", 1, "Invalid group and/or address, not matching existing socket(s)"},
        {"connect to no host", [&](Error* e) { return v4->connectToHost("", 9, e); }, "kCFStreamErrorDomainNetDB", 8,
         "Name or service not known"},
    };
    for (const Case& c : cases) {
        Error error;
        EXPECT_FALSE(c.action(&error)) << c.what;
        EXPECT_EQ(error.domain(), c.domain) << c.what;
        EXPECT_EQ(error.code(), c.code) << c.what;
        EXPECT_EQ(error.localizedDescription(), c.text) << c.what;
    }
    Error error;
    EXPECT_FALSE(v4->bindToAddress("no-such-host.invalid", 0, &error));
    EXPECT_EQ(error.domain(), "kCFStreamErrorDomainNetDB");
    EXPECT_FALSE(joined->joinMulticastGroup("no-such-group.invalid", &error));
    EXPECT_EQ(error.domain(), "kCFStreamErrorDomainNetDB");
    EXPECT_TRUE(error.localizedDescription().starts_with("Invalid parameter 'group': "))
        << error.localizedDescription();
    EXPECT_FALSE(v4->sendData("x", std::optional<std::string>(""), 9, -1, 1));
    EXPECT_FALSE(v4->sendData("x", std::string(28, '\0'), -1, 1));
    EXPECT_TRUE(v4->enableBroadcast(true, &error));
    EXPECT_TRUE(v6->enableBroadcast(true, &error)); // no IPv4 socket: nothing to do
}

TEST_F(UdpSocketTest, BindingOneFamilysAddressClosesTheOther) {
    auto both = UdpSocket::create();
    if (!both->isIPv6()) GTEST_SKIP() << "no IPv6 sockets on this machine";
    ASSERT_TRUE(both->bindToAddress("127.0.0.1", 0));
    EXPECT_TRUE(both->isIPv4());
    EXPECT_FALSE(both->isIPv6());
}

TEST_F(UdpSocketTest, LongDatagramsArriveCutToTheBufferSizeAndSaySo) {
    b->setMaxReceiveBufferSize(4);
    for (long tag : {1, 2, 3}) b->receiveWithTimeout(-1, tag);
    a->sendData("abcdefgh", "127.0.0.1", b->localPort(), -1, 1);
    a->sendData("wxyz", "127.0.0.1", b->localPort(), -1, 2);
    a->sendData("abcde", "127.0.0.1", b->localPort(), -1, 3);
    pump();
    EXPECT_EQ(bEvents.take(), (Lines{"received 1: abcd from " + from(a) + " (cut)", "received 2: wxyz from " + from(a),
                                     "received 3: abcd from " + from(a) + " (cut)"}));

    // A datagram of the default buffer's size arrives whole.
    auto c = bound(&bEvents);
    c->receiveWithTimeout(-1, 4);
    const std::string full(UdpSocket::kDefaultMaxReceiveBufferSize, 'f');
    a->sendData(full, "127.0.0.1", c->localPort(), -1, 4);
    pump();
    EXPECT_EQ(bEvents.take(), (Lines{"received 4: " + full + " from " + from(a)}));
}

TEST_F(UdpSocketTest, MaximumTransmissionUnitOfTheSocketsInterface) {
    int loopbackMtu = 0;
    std::ifstream("/sys/class/net/lo/mtu") >> loopbackMtu;
    ASSERT_GT(loopbackMtu, 0) << "the loopback interface's MTU cannot be read here";

    EXPECT_EQ(a->maximumTransmissionUnit(), loopbackMtu);
    auto anywhere = UdpSocket::initIPv4();
    EXPECT_EQ(anywhere->maximumTransmissionUnit(), 0) << "not bound yet";
    ASSERT_TRUE(anywhere->bindToPort(0));
    EXPECT_EQ(anywhere->maximumTransmissionUnit(), 0) << "every address is no one interface";
    ASSERT_TRUE(anywhere->connectToHost("127.0.0.1", b->localPort()));
    EXPECT_EQ(anywhere->maximumTransmissionUnit(), loopbackMtu) << "connected through loopback";
    anywhere->close();
    EXPECT_EQ(anywhere->maximumTransmissionUnit(), 0) << "no socket";

    auto v6 = UdpSocket::initIPv6();
    if (v6->isIPv6() && v6->bindToAddress("::1", 0)) { EXPECT_EQ(v6->maximumTransmissionUnit(), loopbackMtu); }
}

TEST_F(UdpSocketTest, WorkHappensOnlyInTheSocketsModesAndRunLoop) {
    EXPECT_FALSE(b->setRunLoopModes({}));
    EXPECT_TRUE(b->setRunLoopModes({RunLoop::defaultMode}));
    EXPECT_TRUE(b->setRunLoopModes({"tracking"}));
    EXPECT_EQ(b->runLoopModes(), RunLoop::Modes{"tracking"});
    b->receiveWithTimeout(-1, 1);
    a->sendData("m", "127.0.0.1", b->localPort(), -1, 1);
    pump();
    EXPECT_TRUE(bEvents.events.empty());
    RunLoop::main().runUntilIdle("tracking");
    EXPECT_EQ(bEvents.take(), (Lines{"received 1: m from " + from(a)}));

    // Moved to another thread's loop, the socket works there and reports there.
    std::promise<RunLoop*> started;
    std::thread worker([&] {
        started.set_value(&RunLoop::current());
        RunLoop::current().run();
    });
    RunLoop* other = started.get_future().get();
    EXPECT_FALSE(b->moveToRunLoop(nullptr));
    EXPECT_TRUE(b->moveToRunLoop(&RunLoop::main()));
    EXPECT_TRUE(b->moveToRunLoop(other));
    std::promise<std::thread::id> delivered;
    bEvents.takes = [&](const std::string&) {
        delivered.set_value(std::this_thread::get_id());
        return true;
    };
    other->perform(
        [&] {
            b->setRunLoopModes({RunLoop::defaultMode});
            b->receiveWithTimeout(-1, 2);
        },
        true);
    a->sendData("n", "127.0.0.1", b->localPort(), -1, 2);
    pump();
    auto reported = delivered.get_future();
    bool ready = reported.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    EXPECT_TRUE(ready);
    if (ready) { EXPECT_EQ(reported.get(), worker.get_id()); }
    Lines seen;
    other->perform([&] { seen = bEvents.take(); }, true);
    EXPECT_EQ(seen, (Lines{"received 2: n from " + from(a)}));
    other->perform([&] { b.reset(); }, true);
    other->stop();
    worker.join();
}

TEST_F(UdpSocketTest, SettingModesOffTheSocketsThreadIsAnError) {
    std::string what;
    std::thread([&] {
        try {
            b->setRunLoopModes({"elsewhere"});
        } catch (const InconsistencyError& e) { what = e.what(); }
    }).join();
    EXPECT_EQ(what, "setRunLoopModes must be called from within the current RunLoop!");
}
