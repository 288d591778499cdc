#include "platform/net/NetworkProbe.h"
#include "platform/net/Sockets.h"
#include "support/LoopbackListener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

using namespace tavlo;
using tavlo::test::LoopbackListener;

TEST(Sockets, ParsesOnlyFourDecimalOctets) {
    struct Case {
        const char* text;
        const char* parsed;
    };
    const Case cases[] = {
        {"127.0.0.1", "127.0.0.1"},
        {"10.0.0.9", "10.0.0.9"},
        {"255.255.255.255", "255.255.255.255"},
        {"192.168.001.010", "192.168.1.10"}, // decimal, never octal
        {"0.0.0.0", "0.0.0.0"},
        {"256.1.1.1", nullptr},
        {"1.2.3", nullptr},
        {"1.2.3.4.5", nullptr},
        {"1.2.3.4 ", nullptr},
        {"1..3.4", nullptr},
        {"1.2.3.0004", nullptr},
        {"192a168b1c20", nullptr},
        {"", nullptr},
        {"-1.2.3.4", nullptr},
        {"0x7f.0.0.1", nullptr},
    };
    for (const Case& c : cases) {
        std::optional<uint32_t> address = Sockets::parseIPv4(c.text);
        if (c.parsed) {
            ASSERT_TRUE(address.has_value()) << c.text;
            EXPECT_EQ(Sockets::dottedText(*address), c.parsed) << c.text;
        } else {
            EXPECT_FALSE(address.has_value()) << c.text;
        }
    }
}

TEST(Sockets, ConnectsToAListeningPortAndStaysNonBlocking) {
    LoopbackListener listener;
    int error = -1;
    int fd = Sockets::openTcp("127.0.0.1", listener.port(), 2, &error);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(error, 0);
    EXPECT_NE(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    int peer = listener.accept();
    ASSERT_GE(peer, 0);
    ASSERT_EQ(write(fd, "ping", 4), 4);
    char got[4] = {};
    ASSERT_EQ(read(peer, got, 4), 4);
    EXPECT_EQ(std::string(got, 4), "ping");
    close(peer);
    close(fd);
}

TEST(Sockets, WritingToAPeerThatHungUpFailsWithoutASignal) {
    LoopbackListener listener;
    int fd = Sockets::openTcp("127.0.0.1", listener.port(), 2);
    ASSERT_GE(fd, 0);
    close(listener.accept());
    pollfd hangup{fd, POLLIN, 0};
    ASSERT_EQ(poll(&hangup, 1, 5000), 1);
    // The first write draws the reset; a later one must fail with EPIPE (a signal would end the test).
    ssize_t written = 0;
    int tries = 0;
    while ((written = write(fd, "x", 1)) >= 0 && ++tries < 100) {
        pollfd wait{fd, POLLERR, 0};
        poll(&wait, 1, 50);
    }
    EXPECT_EQ(written, -1);
    EXPECT_EQ(errno, EPIPE);
    close(fd);
}

TEST(Sockets, FailuresAnswerMinusOneAndLeaveNoDescriptor) {
    const int before = LoopbackListener::openDescriptorCount();
    int error = 0;
    EXPECT_EQ(Sockets::openTcp("127.0.0.1", LoopbackListener::closedPort(), 2, &error), -1);
    EXPECT_EQ(error, ECONNREFUSED);
    EXPECT_EQ(Sockets::openTcp("not an address", 80, 2, &error), -1);
    EXPECT_EQ(error, EINVAL);
    EXPECT_EQ(Sockets::openTcp("127.0.0.1", 0, 2, &error), -1);
    EXPECT_EQ(error, EINVAL);
    EXPECT_EQ(LoopbackListener::openDescriptorCount(), before);
}

TEST(Sockets, AConnectionThatIsNeverAcceptedTimesOut) {
    // A backlog of 0 takes one connection; the kernel drops the handshake of the next.
    LoopbackListener listener(0);
    int first = Sockets::openTcp("127.0.0.1", listener.port(), 2);
    ASSERT_GE(first, 0);
    const int before = LoopbackListener::openDescriptorCount();
    int error = 0;
    EXPECT_EQ(Sockets::openTcp("127.0.0.1", listener.port(), 1, &error), -1);
    EXPECT_EQ(error, ETIMEDOUT);
    EXPECT_EQ(LoopbackListener::openDescriptorCount(), before);
    close(first);
}

TEST(Sockets, LooksUpNamesAndListsInterfaces) {
    EXPECT_EQ(Sockets::lookupIPv4("localhost"), "127.0.0.1");
    EXPECT_FALSE(Sockets::lookupIPv4("").has_value());
    EXPECT_FALSE(Sockets::lookupIPv4("no-such-host.invalid").has_value());

    bool sawLoopback = false;
    for (const InterfaceAddress& i : Sockets::interfaceAddresses()) {
        EXPECT_TRUE(Sockets::parseIPv4(i.address).has_value()) << i.name << " " << i.address;
        if (i.loopback && i.address == "127.0.0.1") sawLoopback = true;
    }
    EXPECT_TRUE(sawLoopback);
}

TEST(NetworkProbe, TheLanInterfaceIsTheFirstUpNonLoopbackOne) {
    using List = std::vector<InterfaceAddress>;
    struct Case {
        const char* what;
        List interfaces;
        const char* expected;
    };
    const Case cases[] = {
        {"nothing", {}, nullptr},
        {"loopback only", {{"lo", "127.0.0.1", true, true}}, nullptr},
        {"down", {{"lo", "127.0.0.1", true, true}, {"eth0", "10.1.2.3", false, false}}, nullptr},
        {"zero address", {{"eth0", "0.0.0.0", true, false}}, nullptr},
        {"first wins",
         {{"lo", "127.0.0.1", true, true},
          {"eth0", "0.0.0.0", true, false},
          {"wlan0", "10.1.2.3", true, false},
          {"eth1", "10.9.9.9", true, false}},
         "10.1.2.3"},
    };
    for (const Case& c : cases) {
        std::optional<InterfaceAddress> lan = SystemNetworkProbe::lanInterface(c.interfaces);
        if (c.expected) {
            ASSERT_TRUE(lan.has_value()) << c.what;
            EXPECT_EQ(lan->address, c.expected) << c.what;
        } else {
            EXPECT_FALSE(lan.has_value()) << c.what;
        }
    }
}

TEST(NetworkProbe, AnInstalledProbeAnswersUntilRemoved) {
    auto fixed = std::make_shared<FixedNetworkProbe>(true, "10.4.4.4", "Floor");
    NetworkProbe::install(fixed);
    EXPECT_EQ(NetworkProbe::current(), fixed);
    NetworkProbe::install(nullptr);
    auto system = NetworkProbe::current();
    EXPECT_NE(dynamic_cast<SystemNetworkProbe*>(system.get()), nullptr);
    EXPECT_EQ(system->ssid(), "");
    std::string local = system->localIPAddress();
    EXPECT_TRUE(local == "unresolved" || Sockets::parseIPv4(local).has_value()) << local;
    EXPECT_EQ(system->isWiFiConnected(), local != "unresolved");
}
