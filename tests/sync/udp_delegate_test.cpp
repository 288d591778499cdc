#include "sync/announce/UDPDelegate.h"

#include "core/util/TavloLog.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "support/LogLines.h"
#include "support/NetworkNamespace.h"
#include "support/TempHome.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace tavlo;

namespace {

using Lines = std::vector<std::string>;

class FakeWaker : public HandlerWaker {
public:
    int store = 0;
    int orders = 0;
    void wakeStore() override { ++store; }
    void wakeOrders() override { ++orders; }
};

std::string datagram(int32_t type, const Lines& strings = {}, size_t padTo = 11) {
    return test::announcementDatagram(type, strings, padTo);
}

// What the listener wrote to the log, without time stamps: its lines all speak of UDP.
Lines listenerLog() {
    return test::loggedStartingWith({"UDP ", "Unexpected error from UDP monitor", "No data received for "});
}

struct Posted {
    std::string title, source, message;
    bool hasMessage = false;
};

// Records every "broadcastMessage" the way the sign-in screen reads it.
class MessageObserver {
public:
    std::vector<Posted> posted;
    MessageObserver()
        : observer_(UDPDelegate::kBroadcastMessageNotification, nullptr, [this](const Notification& n) {
              const auto& inner = std::any_cast<const Notification&>(n.object);
              Posted p;
              p.title = inner.name;
              p.source = std::any_cast<std::string>(inner.userInfo.at("source"));
              if (auto it = inner.userInfo.find("message"); it != inner.userInfo.end()) {
                  p.message = std::any_cast<std::string>(it->second);
                  p.hasMessage = true;
                  EXPECT_EQ(std::any_cast<std::string>(inner.object), p.message);
              } else {
                  EXPECT_FALSE(inner.object.has_value());
              }
              posted.push_back(p);
          }) {}

private:
    ScopedObserver observer_;
};

// A listener on a plain loopback socket (no multicast group): everything but the join.
class UDPDelegateTest : public ::testing::Test {
protected:
    test::TempHome home;
    ScopedFakeClock clock;
    std::shared_ptr<FakeWaker> waker = std::make_shared<FakeWaker>();
    UDPDelegate listener{waker};
    std::shared_ptr<UdpSocket> socket;
    std::shared_ptr<UdpSocket> sender;
    MessageObserver messages;
    size_t logSeen = 0;

    void SetUp() override {
        RunLoop::main().reset();
        listener.setAnnounceBroadcasts(true);
        socket = UdpSocket::initIPv4();
        ASSERT_TRUE(socket->bindToAddress("127.0.0.1", 0));
        socket->setDelegate(&listener);
        socket->receiveWithTimeout(-1.0, 0);
        sender = UdpSocket::initIPv4();
    }
    void TearDown() override {
        socket.reset();
        sender.reset();
        RunLoop::main().reset();
    }
    void send(const std::string& d) {
        ASSERT_TRUE(sender->sendData(d, "127.0.0.1", socket->localPort(), -1, 0));
        RunLoop::main().runUntilIdle();
    }
    Lines newLogLines() {
        Lines all = listenerLog();
        Lines fresh(all.begin() + static_cast<long>(std::min(logSeen, all.size())), all.end());
        logSeen = all.size();
        return fresh;
    }
};

// Occupies a UDP port on every address the way another program would (no address reuse), so
// that binding it fails before any group is joined.
class BusyPort {
public:
    BusyPort() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        socklen_t length = sizeof a;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length);
        port_ = ntohs(a.sin_port);
    }
    ~BusyPort() { ::close(fd_); }
    int port() const { return port_; }

private:
    int fd_;
    int port_;
};

} // namespace

TEST_F(UDPDelegateTest, EachDatagramByTypeAndLength) {
    const std::string big = datagram(1, {}, 100);
    const std::string full = datagram(3, {}, 64);
    struct Case {
        const char* what;
        std::string datagram;
        int store, orders;
        Lines logWhenLogging, logOtherwise;
        std::optional<std::string> posted; // "title|source|message"
    };
    const std::string truncated = datagram(16, {"Office", std::string(40, 'm')}).substr(0, 50);
    const Case cases[] = {
        {"10 bytes",
         datagram(1).substr(0, 10),
         0,
         0,
         {"UDP datagram dropped: 10 bytes is too short"},
         {"UDP datagram dropped: 10 bytes is too short"},
         std::nullopt},
        {"11 bytes, store", datagram(1), 1, 0, {"UDP store change"}, {}, std::nullopt},
        {"menu", datagram(2), 1, 0, {"UDP menu change"}, {}, std::nullopt},
        {"order", datagram(3), 0, 1, {"UDP order change"}, {}, std::nullopt},
        {"heartbeat", datagram(-1), 0, 0, {"UDP heartbeat"}, {}, std::nullopt},
        {"type 0", datagram(0), 0, 0, {"UDP unrecognized 0"}, {}, std::nullopt},
        {"type 4", datagram(4), 0, 0, {"UDP unrecognized 4"}, {}, std::nullopt},
        {"type -2", datagram(-2), 0, 0, {"UDP unrecognized -2"}, {}, std::nullopt},
        {"41-byte message", datagram(16, {"A", "B"}, 41), 0, 0, {}, {}, std::nullopt},
        {"42-byte message",
         datagram(16, {"A", "B", "C"}, 42),
         0,
         0,
         {"UDP broadcast message"},
         {"UDP broadcast message"},
         "Message from: A|A|B C"},
        {"no string record",
         datagram(16, {}, 42),
         0,
         0,
         {"UDP broadcast message"},
         {"UDP broadcast message"},
         std::nullopt},
        {"truncated record",
         truncated,
         0,
         0,
         {"UDP broadcast message", "UDP broadcast message dropped: a record runs past the end of its 50 bytes"},
         {"UDP broadcast message", "UDP broadcast message dropped: a record runs past the end of its 50 bytes"},
         std::nullopt},
        {"longer than the buffer",
         big,
         0,
         0,
         {"UDP datagram dropped: cut to the 64 bytes of the receive buffer"},
         {"UDP datagram dropped: cut to the 64 bytes of the receive buffer"},
         std::nullopt},
        {"fills the buffer exactly", full, 0, 1, {"UDP order change"}, {}, std::nullopt},
    };
    socket->setMaxReceiveBufferSize(64);
    for (bool logging : {true, false}) {
        listener.setLogging(logging);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (logging ? " (logging)" : ""));
            waker->store = waker->orders = 0;
            messages.posted.clear();
            send(c.datagram);
            EXPECT_EQ(waker->store, c.store);
            EXPECT_EQ(waker->orders, c.orders);
            EXPECT_EQ(newLogLines(), logging ? c.logWhenLogging : c.logOtherwise);
            if (c.posted) {
                ASSERT_EQ(messages.posted.size(), 1u);
                const Posted& p = messages.posted[0];
                EXPECT_EQ(p.title + "|" + p.source + "|" + p.message, *c.posted);
            } else {
                EXPECT_TRUE(messages.posted.empty());
            }
        }
    }
}

TEST_F(UDPDelegateTest, ADatagramOfTheWholeDefaultBufferIsRead) {
    listener.setLogging(true);
    send(datagram(16, {"Office", std::string(9000, 'm')}, UdpSocket::kDefaultMaxReceiveBufferSize));
    ASSERT_EQ(messages.posted.size(), 1u);
    EXPECT_EQ(messages.posted[0].message, std::string(9000, 'm'));
    send(datagram(16, {"Office", std::string(9000, 'm')}, UdpSocket::kDefaultMaxReceiveBufferSize + 1));
    EXPECT_EQ(messages.posted.size(), 1u);
    EXPECT_EQ(newLogLines(),
              (Lines{"UDP broadcast message", "UDP datagram dropped: cut to the 9216 bytes of the receive buffer"}));
}

TEST_F(UDPDelegateTest, MessagesWithASourceOnlyAndWhenNotAnnounced) {
    send(datagram(16, {"Kitchen"}, 42));
    ASSERT_EQ(messages.posted.size(), 1u);
    EXPECT_EQ(messages.posted[0].source, "Kitchen");
    EXPECT_FALSE(messages.posted[0].hasMessage);

    listener.setAnnounceBroadcasts(false);
    listener.setLogging(true);
    newLogLines();
    send(datagram(16, {"Kitchen", "Out of fries"}, 42));
    send(datagram(16, {"Kitchen", "Out of fries"}).substr(0, 45));
    EXPECT_EQ(messages.posted.size(), 1u);
    EXPECT_TRUE(newLogLines().empty());
    // The listener still listens.
    send(datagram(3));
    EXPECT_EQ(waker->orders, 1);
}

TEST_F(UDPDelegateTest, ReArmsAfterAReceiveErrorAndLogsTheClose) {
    listener.setLogging(true);
    auto idle = UdpSocket::initIPv4();
    ASSERT_TRUE(idle->bindToAddress("127.0.0.1", 0));
    idle->setDelegate(&listener);
    listener.onUdpSocketDidNotReceiveData(*idle, 0, Error(UdpSocket::kErrorDomain, 5, "Receive operation timed out"));
    ASSERT_TRUE(sender->sendData(datagram(1), "127.0.0.1", idle->localPort(), -1, 0));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(waker->store, 1);
    idle->close();
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(newLogLines(),
              (Lines{"No data received for 0: Error Domain=UdpSocketErrorDomain Code=5 \"Receive operation timed out\"",
                     "UDP store change", "UDP Socket close!!!!"}));
}

TEST_F(UDPDelegateTest, ABusyPortStallsTheListenerBeforeAnyJoin) {
    BusyPort busy;
    auto started = UDPDelegate::startListening(std::nullopt, std::to_string(busy.port()), "YES", waker);
    ASSERT_NE(started, nullptr);
    EXPECT_TRUE(started->logging());
    EXPECT_TRUE(started->announceBroadcasts());
    ASSERT_NE(started->udpSocket(), nullptr);
    EXPECT_EQ(newLogLines(), (Lines{"Unexpected error from UDP monitor (port: " + std::to_string(busy.port()) +
                                    "): Error Domain=UdpSocketErrorDomain Code=-1 \"General CFSocket error\""}));
    // The port's low 16 bits are used.
    started->monitor(busy.port() + 65536);
    EXPECT_EQ(newLogLines().size(), 1u);
    // Released with whoever started it: the socket closes without a word.
    started.reset();
    RunLoop::main().runFor(1);
    EXPECT_TRUE(newLogLines().empty());

    EXPECT_EQ(UDPDelegate::startListening("true", std::nullopt, std::nullopt, waker), nullptr);
    EXPECT_EQ(UDPDelegate::startListening("YES", "4408", "YES", waker), nullptr);
}

namespace {

void sendToGroup(const std::string& d) {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(UDPDelegate::kDefaultPort);
    to.sin_addr.s_addr = inet_addr(UDPDelegate::kGroup);
    EXPECT_EQ(sendto(fd, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              static_cast<ssize_t>(d.size()))
        << std::strerror(errno);
    ::close(fd);
}

// Runs in a child process inside a network namespace of its own: the real monitor, joined to
// the group on the namespace's loopback, on the main run loop.
void listenInNamespace() {
    RunLoop::main().reset();
    auto waker = std::make_shared<FakeWaker>();
    MessageObserver messages;
    auto listener = UDPDelegate::startListening(std::nullopt, std::nullopt, "true", waker);
    ASSERT_NE(listener, nullptr);
    ASSERT_NE(listener->udpSocket(), nullptr);
    EXPECT_EQ(listener->udpSocket()->localPort(), UDPDelegate::kDefaultPort);
    EXPECT_TRUE(listener->udpSocket()->isIPv4());
    EXPECT_FALSE(listener->udpSocket()->isIPv6());

    sendToGroup(datagram(1));
    sendToGroup(datagram(2));
    sendToGroup(datagram(3));
    sendToGroup(datagram(16, {"Manager", "Staff meeting", "at four"}, 42));
    const Date giveUp = Date::now().addingSeconds(20);
    while (messages.posted.empty() && Date::now() < giveUp) RunLoop::main().runOnce(RunLoop::defaultMode, 0.5);

    EXPECT_EQ(waker->store, 2);
    EXPECT_EQ(waker->orders, 1);
    ASSERT_EQ(messages.posted.size(), 1u);
    EXPECT_EQ(messages.posted[0].title, "Message from: Manager");
    EXPECT_EQ(messages.posted[0].source, "Manager");
    EXPECT_EQ(messages.posted[0].message, "Staff meeting at four");
    Lines log = listenerLog();
    EXPECT_EQ(log, (Lines{"UDP store change", "UDP menu change", "UDP order change", "UDP broadcast message"}));
}

} // namespace

TEST(UDPDelegateInNamespace, MonitorHearsTheGroupAndWakesTheHandlers) {
    test::TempHome home;
    test::NamespaceRun run = test::runInNetworkNamespace(test::bringLoopbackUpForMulticast, listenInNamespace);
    if (!run.unavailable.empty()) GTEST_SKIP() << "no network namespace can be made here: " << run.unavailable;
    EXPECT_EQ(run.exitCode, 0) << "the listener in its namespace failed (see its output above)";
}
