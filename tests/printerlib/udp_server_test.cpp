#include "PrinterTestSupport.h"
#include "platform/foundation/UserDefaults.h"
#include "printerlib/Common.h"
#include "printerlib/NetFunctions.h"
#include "printerlib/OVPrinter.h"
#include "printerlib/UDPServer.h"
#include "support/NetworkNamespace.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace tavlo;
using namespace tavlo::printerlib;

namespace {

// A UDP port free on loopback just now.
uint16_t freeUdpPort() {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    ::close(fd);
    return ntohs(a.sin_port);
}

// A socket bound on 127.0.0.1 that the test reads datagrams from.
struct Receiver {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    uint16_t port = 0;
    Receiver() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
        port = ntohs(a.sin_port);
    }
    ~Receiver() { ::close(fd); }
    // One datagram within a bounded real wait, with its sender.
    std::optional<std::pair<std::string, sockaddr_in>> take(int milliseconds) {
        pollfd watch{fd, POLLIN, 0};
        if (::poll(&watch, 1, milliseconds) <= 0) return std::nullopt;
        char buffer[2048];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        ssize_t got = ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 0) return std::nullopt;
        return std::make_pair(std::string(buffer, static_cast<size_t>(got)), from);
    }
};

struct RecordingUDPDelegate : UDPServerDelegate {
    std::mutex mutex;
    std::vector<std::string> datagrams;
    std::vector<uint16_t> senderPorts;
    std::atomic<int> started{0}, stopped{0};
    void didUDPReceive(const UDPPacket& packet) override {
        std::lock_guard lock(mutex);
        datagrams.emplace_back(reinterpret_cast<const char*>(packet.data), static_cast<size_t>(packet.size));
        senderPorts.push_back(ntohs(packet.addr->sin_port));
    }
    void didUDPServiceStart() override { ++started; }
    void didUDPServiceStop() override { ++stopped; }
    size_t count() {
        std::lock_guard lock(mutex);
        return datagrams.size();
    }
};

void sendTo(uint16_t port, const std::string& bytes) {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    ::close(fd);
}

TEST(UDPServerTest, AReceiveSocketHearsADatagramAndStopsCleanly) {
    RecordingUDPDelegate delegate;
    UDPServer server;
    server.setDelegate(&delegate);
    server.setPortWlan(freeUdpPort());
    server.start(UDPServer::WiFiSocket);
    ASSERT_GE(server.sockWifi(), 0);
    EXPECT_EQ(server.sockEthernet(), -1);

    sendTo(server.portWlan(), "found me");
    ASSERT_TRUE(test::runMainUntil([&] { return delegate.count() == 1; }));
    EXPECT_EQ(delegate.datagrams[0], "found me");
    EXPECT_EQ(delegate.started, 1);

    server.stop(); // the thread is blocked waiting for the next datagram
    EXPECT_EQ(server.sockWifi(), -1);
    EXPECT_EQ(delegate.stopped, 1);
    sendTo(server.portWlan(), "too late");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(delegate.count(), 1u);

    server.start(UDPServer::WiFiSocket); // and it can open again
    sendTo(server.portWlan(), "again");
    ASSERT_TRUE(test::runMainUntil([&] { return delegate.count() == 2; }));
    server.stop();
}

TEST(UDPServerTest, StartingWhileOpenOpensNothingAndPortsStayWhileOpen) {
    UDPServer server;
    EXPECT_EQ(server.portWlan(), 9000);
    EXPECT_EQ(server.portEthernet(), 48780);
    server.setPortWlan(freeUdpPort());
    server.setPortEthernet(freeUdpPort());
    server.start(UDPServer::WiFiSocket);
    int wifi = server.sockWifi();
    uint16_t port = server.portEthernet();
    server.setPortWlan(1);
    server.start();
    EXPECT_EQ(server.sockWifi(), wifi);
    EXPECT_EQ(server.sockEthernet(), -1);
    EXPECT_NE(server.portWlan(), 1);
    EXPECT_EQ(server.portEthernet(), port);
    server.stop();
}

TEST(UDPServerTest, NothingIsBroadcastWithoutAnInterfaceAddress) {
    test::TempHome home;
    UserDefaults::standardUserDefaults().setObject(std::string("no-such-interface0"), NetFunctions::kWiFiInterfaceKey);
    Receiver receiver;
    UDPServer server;
    server.setBroadcastAddress("127.0.0.1");
    const uint8_t lookup[] = {'O', 'V', 1};
    EXPECT_FALSE(server.broadcast(receiver.port, freeUdpPort(), lookup, sizeof lookup, 1));
    EXPECT_FALSE(receiver.take(50));
    EXPECT_FALSE(Common::localIPAddress());
}

// In a namespace of the test's own: the lookup goes from the configured interface's address and
// the source port to the injected destination, and to nowhere else.
void broadcastInNamespace() {
    test::TempHome home;
    UserDefaults::standardUserDefaults().setObject(std::string("ovtest0"), NetFunctions::kWiFiInterfaceKey);
    EXPECT_EQ(NetFunctions::localWiFiAddress(), "192.0.2.10");
    EXPECT_EQ(Common::localIPAddress(), std::optional<std::string>("192.0.2.10"));
    Receiver receiver;
    UDPServer server;
    server.setBroadcastAddress("127.0.0.1");
    uint16_t source = freeUdpPort();
    const uint8_t lookup[] = {'O', 'V', 'L', 0x01};
    EXPECT_TRUE(server.broadcast(receiver.port, source, lookup, sizeof lookup, 1));
    auto datagram = receiver.take(2000);
    ASSERT_TRUE(datagram);
    EXPECT_EQ(datagram->first, std::string("OVL\x01", 4));
    EXPECT_EQ(ntohs(datagram->second.sin_port), source);
    char from[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &datagram->second.sin_addr, from, sizeof from);
    EXPECT_STREQ(from, "192.0.2.10");
}

TEST(UDPServerInNamespace, TheBroadcastGoesFromTheInterfaceToTheInjectedDestination) {
    test::NamespaceRun run = test::runInNetworkNamespace(
        [] {
            std::string failure = test::bringLoopbackUp();
            return failure.empty() ? test::makeTapInterface("ovtest0", "192.0.2.10") : failure;
        },
        broadcastInNamespace);
    if (!run.unavailable.empty())
        GTEST_SKIP() << "no network namespace with an interface of its own: " << run.unavailable;
    EXPECT_EQ(run.exitCode, 0) << "the broadcast in its namespace failed (see its output above)";
}

TEST(OVPrinterTest, ANewRecordIsEmptyWithZeroedBlocks) {
    OVPrinter printer;
    EXPECT_EQ(printer.mac(), OVPrinter::Mac{});
    EXPECT_EQ(printer.gateway(), OVPrinter::Quad{});
    EXPECT_EQ(printer.subnet(), OVPrinter::Quad{});
    EXPECT_FALSE(printer.name());
    EXPECT_FALSE(printer.address());
    EXPECT_EQ(printer.port(), 0);
    EXPECT_EQ(printer.connectionClass(), OVPrinter::WiFi);
}

TEST(CommonTest, ADispatchRunsLaterOnTheMainThreadWithoutWaiting) {
    RunLoop::main().reset();
    std::atomic<bool> ran{false};
    std::atomic<bool> onMain{false};
    std::thread([&] {
        Common::dispatchSelector(
            [&] {
                onMain = RunLoop::isMainThread();
                ran = true;
            },
            true);
    }).join();
    EXPECT_FALSE(ran);
    ASSERT_TRUE(test::runMainUntil([&] { return ran.load(); }));
    EXPECT_TRUE(onMain);
    Common::dispatchSelector(nullptr, true); // nothing to call: nothing happens
    RunLoop::main().runUntilIdle();
}

} // namespace
