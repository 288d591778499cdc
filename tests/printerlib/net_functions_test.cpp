#include "PrinterTestSupport.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "printerlib/NetFunctions.h"
#include "support/LoopbackListener.h"
#include "support/PrinterPeer.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <atomic>

#include <chrono>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace tavlo;
using namespace tavlo::printerlib;

namespace {

// A TCP transport that notes the size of every chunk it writes.
class ChunkNotingNetFunctions : public NetFunctions {
public:
    std::vector<long> chunks;

protected:
    long writeChunk(int descriptor, const uint8_t* bytes, long size) override {
        chunks.push_back(size);
        return NetFunctions::writeChunk(descriptor, bytes, size);
    }
};

class NetFunctionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().reset();
        net.setDelegate(&events);
    }
    void TearDown() override {
        net.setDelegate(nullptr);
        RunLoop::main().reset();
    }
    // Connects to a plain loopback listener and answers the accepted end.
    int connectToListener() {
        EXPECT_TRUE(net.connect("", "127.0.0.1", static_cast<uint16_t>(listener.port())));
        int peer = listener.accept();
        EXPECT_GE(peer, 0);
        return peer;
    }

    ScopedScaledClock clock{10.0};
    test::TempHome home;
    test::LoopbackListener listener;
    ChunkNotingNetFunctions net;
    test::RecordingTransportDelegate events;
};

TEST_F(NetFunctionsTest, ASendGoesOutInChunksOf1024Bytes) {
    int peer = connectToListener();
    std::vector<uint8_t> bytes(3000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    EXPECT_EQ(net.send(bytes.data(), 3000), 3000);
    EXPECT_EQ(net.chunks, (std::vector<long>{1024, 1024, 952}));

    std::vector<uint8_t> seen(3000);
    size_t got = 0;
    while (got < seen.size()) {
        ssize_t n = ::recv(peer, seen.data() + got, seen.size() - got, 0);
        ASSERT_GT(n, 0);
        got += static_cast<size_t>(n);
    }
    EXPECT_EQ(seen, bytes);
    ::close(peer);
}

TEST_F(NetFunctionsTest, AReceiveHandsOverWhatCameOnceItsTimeIsUp) {
    int peer = connectToListener();
    ASSERT_EQ(::send(peer, "0123456789", 10, 0), 10);
    std::vector<uint8_t> buffer(4096);
    Date start = Date::now();
    EXPECT_EQ(net.recv(buffer.data(), 4096, 1.0f), 10);
    EXPECT_GE(Date::now().secondsSince(start), 1.0);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 10), "0123456789");
    EXPECT_TRUE(net.isConnected());
    ::close(peer);
}

TEST_F(NetFunctionsTest, PassesEndWithTheFirstQuietWait) {
    int peer = connectToListener();
    ASSERT_EQ(::send(peer, "AB", 2, 0), 2);
    std::vector<uint8_t> buffer(64);
    EXPECT_EQ(net.recv(buffer.data(), 64, 1.0f, 5), 2);
    EXPECT_EQ(net.recv(buffer.data(), 64, 1.0f, 5), 0);
    ::close(peer);
}

TEST_F(NetFunctionsTest, ThePrinterClosingGivesZeroAndClosesTheConnection) {
    int peer = connectToListener();
    ::close(peer);
    std::vector<uint8_t> buffer(16);
    EXPECT_EQ(net.recv(buffer.data(), 16, 1.0f), 0);
    EXPECT_FALSE(net.isConnected());
    EXPECT_EQ(net.recv(buffer.data(), 16, 1.0f), -1);
    EXPECT_EQ(net.send(buffer.data(), 16), 0);
    ASSERT_TRUE(test::runMainUntil([&] { return events.events.size() >= 4; }));
    EXPECT_EQ(events.events,
              (std::vector<std::string>{"willConnect", "didConnect", "didBeBrokenConnection", "didDisconnect"}));
    EXPECT_EQ(events.errors.at(0).domain(), "OVL");
}

TEST_F(NetFunctionsTest, AWatchedConnectionIsFoundClosedWithoutARead) {
    int peer = connectToListener();
    net.addWorker();
    ASSERT_EQ(::send(peer, "AB", 2, 0), 2); // bytes nobody has read yet are left where they are
    RunLoop::main().runFor(0.3);
    EXPECT_TRUE(net.isConnected());
    std::vector<uint8_t> buffer(2);
    EXPECT_EQ(net.recv(buffer.data(), 2, 1.0f), 2);
    ::close(peer);
    ASSERT_TRUE(test::runMainUntil([&] { return !net.isConnected(); }));
    ASSERT_TRUE(test::runMainUntil([&] { return events.events.size() >= 4; }));
    EXPECT_EQ(events.events[2], "didBeBrokenConnection");
}

TEST_F(NetFunctionsTest, RemovingTheWorkerClosesWithoutTellingAndWorkerRunsTheThreadsLoop) {
    int peer = connectToListener();
    net.addWorker();
    net.removeWorker();
    EXPECT_FALSE(net.isConnected());
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(events.events, (std::vector<std::string>{"willConnect", "didConnect"}));
    ::close(peer);

    std::atomic<RunLoop*> loop{nullptr};
    std::thread thread([&] {
        loop = &RunLoop::current();
        NetFunctions::worker();
    });
    while (!loop) std::this_thread::yield();
    bool ran = false;
    loop.load()->perform([&] { ran = true; }, true);
    EXPECT_TRUE(ran);
    loop.load()->stop();
    thread.join();
}

TEST_F(NetFunctionsTest, ARefusedConnectReportsWithTheLibrarysDomain) {
    EXPECT_FALSE(net.connect("", "127.0.0.1", static_cast<uint16_t>(test::LoopbackListener::closedPort())));
    EXPECT_FALSE(net.isConnected());
    EXPECT_EQ(net.socket(), -1);
    ASSERT_TRUE(test::runMainUntil([&] { return events.events.size() >= 2; }));
    EXPECT_EQ(events.events, (std::vector<std::string>{"willConnect", "didNotConnectWithError"}));
    ASSERT_EQ(events.errors.size(), 1u);
    EXPECT_EQ(events.errors[0].domain(), "OVL");
    EXPECT_EQ(events.errors[0].code(), NetFunctions::kConnectFailed);
    EXPECT_TRUE(events.allOnMainThread);
}

TEST_F(NetFunctionsTest, ConnectingWhileConnectedClosesTheOldConnectionFirst) {
    int first = connectToListener();
    int second = connectToListener();
    char byte;
    EXPECT_EQ(::recv(first, &byte, 1, 0), 0); // the first one was closed
    ASSERT_TRUE(test::runMainUntil([&] { return events.events.size() >= 5; }));
    EXPECT_EQ(events.events,
              (std::vector<std::string>{"willConnect", "didConnect", "didDisconnect", "willConnect", "didConnect"}));
    ::close(first);
    ::close(second);
}

TEST_F(NetFunctionsTest, ClosingFromAnotherThreadEndsAWaitingReceive) {
    int peer = connectToListener();
    double waited = 0;
    long got = 99;
    std::thread reader([&] {
        std::vector<uint8_t> buffer(16);
        Date start = Date::now();
        got = net.recv(buffer.data(), 16, 5.0f);
        waited = Date::now().secondsSince(start);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    net.disconnect();
    reader.join();
    EXPECT_LE(got, 0);
    EXPECT_LT(waited, 5.0); // it did not wait out its time
    EXPECT_FALSE(net.isConnected());
    ::close(peer);
}

TEST_F(NetFunctionsTest, NoAddressNoConnection) {
    EXPECT_FALSE(net.connect("", "", 9100));
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(events.events.empty());
}

TEST_F(NetFunctionsTest, ADelegateThatHasGoneHearsNothing) {
    EXPECT_FALSE(net.connect("", "127.0.0.1", static_cast<uint16_t>(test::LoopbackListener::closedPort())));
    net.setDelegate(nullptr); // the reports are already on their way to the main thread
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(events.events.empty());
}

TEST_F(NetFunctionsTest, LocalAddressesComeFromTheConfiguredInterfaces) {
    EXPECT_EQ(NetFunctions::wifiInterfaceName(), NetFunctions::kDefaultWiFiInterface);
    UserDefaults::standardUserDefaults().setObject(std::string("lo"), NetFunctions::kWiFiInterfaceKey);
    EXPECT_EQ(NetFunctions::wifiInterfaceName(), "lo");
    EXPECT_EQ(NetFunctions::localWiFiAddress(), ""); // a loopback interface never counts
    UserDefaults::standardUserDefaults().setObject(std::string("no-such-interface0"),
                                                   NetFunctions::kCellularInterfaceKey);
    EXPECT_EQ(NetFunctions::localCellularAddress(), "");
}

TEST(NetFunctionsAddress, DottedTextAndNamesAreRead) {
    sockaddr_in address{};
    ASSERT_TRUE(NetFunctions::makeAddr(address, "127.0.0.1", 9100));
    EXPECT_EQ(address.sin_family, AF_INET);
    EXPECT_EQ(ntohs(address.sin_port), 9100);
    EXPECT_EQ(ntohl(address.sin_addr.s_addr), 0x7F000001u);
    ASSERT_TRUE(NetFunctions::makeAddr(address, "localhost", 80));
    EXPECT_EQ(ntohl(address.sin_addr.s_addr) >> 24, 127u);
    EXPECT_FALSE(NetFunctions::makeAddr(address, "no-such-host.invalid", 80));
}

} // namespace
