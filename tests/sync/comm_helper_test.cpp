#include "core/util/TavloLog.h"
#include "platform/net/NetworkProbe.h"
#include "platform/net/NetworkReachability.h"
#include "support/LogLines.h"
#include "support/LoopbackListener.h"
#include "support/NetworkNamespace.h"
#include "support/TempHome.h"
#include "sync/exchange/CommHelper.h"

#include <arpa/inet.h>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <unistd.h>

using namespace tavlo;
using tavlo::test::LoopbackListener;
using Text = std::optional<std::string>;

TEST(CommHelper, PortOfAnAddress) {
    struct Case {
        Text address;
        int port;
    };
    const Case cases[] = {
        {"10.0.0.9", 9100},     {"10.0.0.9:", 9100}, {"10.0.0.9:515", 515},  {std::nullopt, 0},
        {"printer:9101", 9101}, {"10.0.0.9:abc", 0}, {"10.0.0.9:80:90", 80}, {"", 9100},
    };
    for (const Case& c : cases) EXPECT_EQ(CommHelper::port(c.address), c.port) << c.address.value_or("nil");
}

TEST(CommHelper, ValidIPAddressesKeepTheLooseSeparators) {
    struct Case {
        Text text;
        bool valid;
    };
    const Case cases[] = {
        {"192.168.1.20", true},
        {"192a168b1c20", true},
        {"10.0.0.0", true},
        {"1.0.0.9", true},
        {"255.255.255.255", true},
        {"010.1.1.1", true},
        {"0.1.2.3", false},
        {"256.1.1.1", false},
        {"1.2.3.256", false},
        {"1.2.3", false},
        {"1.2.3.4.5", false},
        {"host", false},
        {"", false},
        {std::nullopt, false},
        {"10.0.0.9:9100", false},
    };
    for (const Case& c : cases) EXPECT_EQ(CommHelper::isValidIPAddress(c.text), c.valid) << c.text.value_or("nil");
}

TEST(CommHelper, EmailAddressesOfTheMailForm) {
    struct Case {
        Text text;
        bool valid;
    };
    const Case cases[] = {
        {"ada@harbour.test", true},
        {"Ada.Quill+tips@Mail.Harbour-Grill.example", true},
        {"o'brien!#$%&*/=?^_`{|}~-@a.bc", true},
        {"\"ada quill\"@harbour.test", true},
        {"\"a\\\"b\"@harbour.test", true}, // an escaped quote inside quotes
        {"ada@[10.0.0.9]", true},
        {"ada@1.2.3.4", true},  // digits make a domain name too
        {"ada@harbour", false}, // one label
        {"ada@[256.0.0.9]", false},
        {"ada@[10.0.0]", false},
        {"ada.@harbour.test", false},
        {".ada@harbour.test", false},
        {"ad..a@harbour.test", false},
        {"ada quill@harbour.test", false},
        {"ada@harbour..test", false},
        {"ada@-harbour.test", false},
        {"ada@harbour-.test", false},
        {"ada@@harbour.test", false},
        {"ada", false},
        {"@harbour.test", false},
        {"\"ada\"quill@harbour.test", false},
        {"caf\xC3\xA9@harbour.test", false},
        {" ada@harbour.test", false},
        {"", false},
        {std::nullopt, false},
        {std::string(245, 'a') + "@harbour.test", false}, // 258 characters
        {std::string(241, 'a') + "@harbour.test", true},  // 254 characters
        {std::string(100000, 'a') + "@harbour.test", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CommHelper::isValidEmailAddress(c.text), c.valid) << c.text.value_or("nil").substr(0, 80);
}

TEST(CommHelper, FormatLocalUrlAddsLocalToBareHostNamesOnly) {
    struct Case {
        Text address;
        Text expected;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt},
        {"", ""},
        {"printer", "printer.local"},
        {"printer:9100", "printer.local:9100"},
        {"server/pos", "server.local/pos"},
        {"ftp://server", "ftp://server.local"},
        {"http://server", "http://server"},
        {"PRINTER.LOCAL", "PRINTER.LOCAL"},
        {"my-localhost-box", "my-localhost-box"},
        {"10.0.0.5", "10.0.0.5"},
        // A numeric host stays numeric whatever follows it.
        {"10.0.0.5:8080", "10.0.0.5:8080"},
        {"192.168.1.20/pos", "192.168.1.20/pos"},
        {"10.0.0.5a", "10.0.0.5a.local"},
        {"...", "....local"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CommHelper::formatLocalURL(c.address), c.expected) << c.address.value_or("nil");
}

TEST(CommHelper, IpAddressKeepsNumericHostsAndLooksUpNames) {
    EXPECT_EQ(CommHelper::ipAddress("10.0.0.9:9100"), "10.0.0.9");
    EXPECT_EQ(CommHelper::ipAddress("10.0.0.9"), "10.0.0.9");
    EXPECT_EQ(CommHelper::ipAddress("localhost:9100"), "127.0.0.1");
    EXPECT_EQ(CommHelper::ipAddress(std::nullopt), std::nullopt);
    EXPECT_EQ(CommHelper::ipAddress("no-such-printer.invalid:9100"), std::nullopt);
    EXPECT_EQ(CommHelper::getIPAddressFromName("localhost"), "127.0.0.1");
}

namespace {

// What the connection attempts wrote to the log, without time stamps.
std::vector<std::string> helperLog() {
    return test::loggedStartingWith({"Got error from getsockopt: ", "Unable to connect to "});
}

} // namespace

TEST(CommHelper, OpenSocketToAListeningAndToAClosedPort) {
    test::TempHome home;
    LoopbackListener listener;
    int fd = CommHelper::openSocket("127.0.0.1", listener.port(), 2);
    ASSERT_GE(fd, 0);
    int peer = listener.accept();
    EXPECT_GE(peer, 0);
    close(peer);
    close(fd);
    fd = CommHelper::openSocket("localhost", listener.port(), 2);
    EXPECT_GE(fd, 0);
    close(fd);

    const int before = LoopbackListener::openDescriptorCount();
    EXPECT_EQ(CommHelper::openSocket("127.0.0.1", LoopbackListener::closedPort(), 2), -1);
    EXPECT_EQ(CommHelper::openSocket("no-such-printer.invalid", listener.port(), 2), -1);
    // Passes the loose address check but is no address: refused before any connect.
    EXPECT_EQ(CommHelper::openSocket("127a0b0c1", listener.port(), 2), -1);
    EXPECT_EQ(LoopbackListener::openDescriptorCount(), before);

    EXPECT_TRUE(CommHelper::canConnect("127.0.0.1", listener.port(), 2));
    EXPECT_FALSE(CommHelper::canConnect("127.0.0.1", LoopbackListener::closedPort(), 2));
    EXPECT_FALSE(CommHelper::canConnect("no-such-printer.invalid", 9100, 2));
    EXPECT_EQ(LoopbackListener::openDescriptorCount(), before);
    // Refusals are logged with their error number; a name that cannot be resolved is not.
    EXPECT_EQ(helperLog(), (std::vector<std::string>{"Got error from getsockopt: 111", "Got error from getsockopt: 111",
                                                     "Unable to connect to 127.0.0.1"}));
}

TEST(CommHelper, NetworkStateComesFromTheInstalledProbe) {
    NetworkProbe::install(std::make_shared<FixedNetworkProbe>(true, "10.20.30.40", "Dining room"));
    EXPECT_TRUE(CommHelper::isWiFiConnected());
    EXPECT_EQ(CommHelper::localIPAddress(), "10.20.30.40");
    EXPECT_EQ(CommHelper::ssid(), "Dining room");
    NetworkProbe::install(std::make_shared<FixedNetworkProbe>(false, "unresolved"));
    EXPECT_FALSE(CommHelper::isWiFiConnected());
    EXPECT_EQ(CommHelper::localIPAddress(), "unresolved");
    EXPECT_EQ(CommHelper::ssid(), "");
    NetworkProbe::install(nullptr);
}

TEST(CommHelper, ReachabilityOfAddressesAndNames) {
    const int before = LoopbackListener::openDescriptorCount();
    EXPECT_TRUE(CommHelper::isReachableByAddress("127.0.0.1"));
    EXPECT_TRUE(CommHelper::isReachableByName("localhost"));
    auto loopback = NetworkReachability::withName("localhost");
    EXPECT_TRUE(CommHelper::isReachable(loopback.get()));
    EXPECT_FALSE(CommHelper::isReachable(nullptr));
    // Not an address, no name, and socket addresses of no family or of the wrong length.
    EXPECT_FALSE(CommHelper::isReachableByAddress("127a0b0c1"));
    EXPECT_FALSE(CommHelper::isReachableByName(""));
    EXPECT_EQ(NetworkReachability::withAddress(std::string(16, '\0')), nullptr);
    sockaddr_in loopback4{};
    loopback4.sin_family = AF_INET;
    loopback4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string ipv4(reinterpret_cast<const char*>(&loopback4), sizeof loopback4);
    EXPECT_TRUE(CommHelper::isReachable(NetworkReachability::withAddress(ipv4).get()));
    EXPECT_EQ(NetworkReachability::withAddress(ipv4 + "xx"), nullptr);
    EXPECT_EQ(LoopbackListener::openDescriptorCount(), before);
}

TEST(CommHelperInNamespace, NothingIsReachableWithoutARoute) {
    test::NamespaceRun run = test::runInNetworkNamespace({}, [] {
        // The namespace's loopback starts down: no route to anything.
        EXPECT_FALSE(CommHelper::isReachableByAddress("127.0.0.1"));
        EXPECT_FALSE(CommHelper::isReachableByName("localhost"));
        ASSERT_EQ(test::bringLoopbackUp(), "");
        EXPECT_TRUE(CommHelper::isReachableByAddress("127.0.0.1"));
        EXPECT_TRUE(CommHelper::isReachableByName("localhost"));
        // Loopback is the only way out of this namespace.
        EXPECT_FALSE(CommHelper::isReachableByAddress("10.1.2.3"));
    });
    if (!run.unavailable.empty()) GTEST_SKIP() << "no network namespace can be made here: " << run.unavailable;
    EXPECT_EQ(run.exitCode, 0) << "the reachability checks in the namespace failed (see the output above)";
}
