#include "PrinterTestSupport.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "printerlib/BTFunctions.h"
#include "printerlib/MPPxxx.h"
#include "printerlib/NetFunctions.h"
#include "printerlib/OVPrinterController.h"
#include "printerlib/TRPSettingModels.h"
#include "printerlib/Trace.h"
#include "support/FakeAccessories.h"
#include "support/NetworkNamespace.h"
#include "support/PrinterPeer.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace tavlo;
using namespace tavlo::printerlib;
using test::PrinterBytes;

namespace {

// What the facade told, in order.
struct RecordingFacadeDelegate : OVPrinterControlDelegate {
    std::vector<std::string> events;
    std::vector<std::shared_ptr<OVPrinter>> printers;
    std::vector<std::string> messages;
    bool allOnMainThread = true;

    void note(const std::string& event) {
        allOnMainThread = allOnMainThread && RunLoop::isMainThread();
        events.push_back(event);
    }
    bool has(const std::string& event) const { return std::count(events.begin(), events.end(), event) > 0; }
    void didFindPrinter(OVPrinterController&, const std::shared_ptr<OVPrinter>& printer) override {
        note("didFindPrinter");
        printers.push_back(printer);
    }
    void msrArrived(OVPrinterController&, long) override { note("msrArrived"); }
    void willConnect(OVPrinterController&, const std::shared_ptr<OVPrinter>&) override { note("willConnect"); }
    void didConnect(OVPrinterController&, const std::shared_ptr<OVPrinter>&) override { note("didConnect"); }
    void didNotConnect(OVPrinterController&, const std::shared_ptr<OVPrinter>&, const Error&) override {
        note("didNotConnect");
    }
    void didDisconnect(OVPrinterController&, const std::shared_ptr<OVPrinter>&) override { note("didDisconnect"); }
    void willLookupPrinters(OVPrinterController&) override { note("willLookupPrinters"); }
    void didLookupPrinters(OVPrinterController&) override { note("didLookupPrinters"); }
    void didNotLookup(OVPrinterController&, const Error&) override { note("didNotLookup"); }
    void didStart() override { note("didStart"); }
    void didStop() override { note("didStop"); }
    void message(OVPrinterController&, const std::string& text) override { messages.push_back(text); }
};

class FacadeTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().reset();
        controller.setDelegate(&events);
    }
    void TearDown() override {
        controller.setDelegate(nullptr);
        RunLoop::main().reset();
    }
    // A network printer at the loopback peer, without a name unless given one.
    std::shared_ptr<OVPrinter> peerTarget(std::optional<std::string> name = std::nullopt) {
        auto printer = std::make_shared<OVPrinter>();
        printer->setAddress(std::string("127.0.0.1"));
        printer->setPort(static_cast<uint16_t>(peer.port()));
        printer->setConnectionClass(OVPrinter::Tcp);
        printer->setName(std::move(name));
        return printer;
    }

    ScopedScaledClock clock{10.0};
    test::TempHome home;
    test::PrinterPeer peer;
    RecordingFacadeDelegate events;
    OVPrinterController controller;
};

struct ModelCase {
    const char* name;
    long id;
};

class FacadeModelIds : public ::testing::TestWithParam<ModelCase> {};

TEST_P(FacadeModelIds, EachKnownNameIsComparedAsAPrefixInTheTablesOrder) {
    EXPECT_EQ(OVPrinterController::getModelID(GetParam().name), GetParam().id) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, FacadeModelIds,
                         ::testing::Values(ModelCase{"TRP-350plusIII BT", 0x23507003},
                                           ModelCase{"TRP-350plusII", 0x23507002}, ModelCase{"TRP-352plus", 0x23527000},
                                           ModelCase{"TRP-350III", 0x23500003}, ModelCase{"TRP-350II", 0x23500002},
                                           ModelCase{"TRP-F312", 0x93120000}, ModelCase{"MPP-R200W", 0x12000002},
                                           ModelCase{"MPP-R300", 0x13000000}, ModelCase{"TRP-340", 0x23400000},
                                           ModelCase{"TRP-350", 0}, ModelCase{"mpp-r300", 0}, ModelCase{"", 0}));

TEST_F(FacadeTest, ANamedTargetIsIdentifiedWithoutAnyCommandSent) {
    auto printer = peerTarget("TRP-350plusIII 01");
    controller.setTarget(printer);
    EXPECT_EQ(controller.selectTarget(), OVL_SUCCESS);
    EXPECT_EQ(controller.modelID(), 0x23507003);
    EXPECT_EQ(printer->modelStr(), std::optional<std::string>("TRP-350plusIII 01"));
    EXPECT_TRUE(std::dynamic_pointer_cast<TRP350plusIII>(controller.model()));
    EXPECT_TRUE(peer.connections().empty());
}

TEST_F(FacadeTest, AnUnnamedTargetIsAskedForItsModelName) {
    peer.setReply({0x1D, 0x49, 0x43}, {'_', 'M', 'P', 'P', '-', 'R', '3', '0', '0', 0x00});
    auto printer = peerTarget();
    controller.setTarget(printer);
    EXPECT_EQ(controller.selectTarget(), OVL_SUCCESS);
    EXPECT_EQ(controller.modelID(), 0x13000000);
    EXPECT_EQ(printer->modelStr(), std::optional<std::string>("MPP-R300"));
    EXPECT_TRUE(std::dynamic_pointer_cast<MPPR300>(controller.model()));
    ASSERT_TRUE(peer.waitUntil([&] { return !peer.connections().empty() && !peer.clientConnected(); }));
    EXPECT_EQ(peer.connections()[0], (PrinterBytes{0x1D, 0x61, 0x00, 0x1D, 0x49, 0x43}));
}

TEST_F(FacadeTest, AnUnreachableTargetIsAConnectError) {
    auto printer = peerTarget();
    printer->setPort(static_cast<uint16_t>(test::LoopbackListener::closedPort()));
    controller.setTarget(printer);
    EXPECT_EQ(controller.selectTarget(), OVL_CONNECT_ERROR);
    EXPECT_FALSE(controller.model());
    EXPECT_EQ(controller.selectTarget(0x1234), OVL_NOT_SUPPORT_DEVICE);
}

TEST_F(FacadeTest, ConnectWithoutKeepingTheConnectionIsRefused) {
    controller.setTarget(peerTarget("TRP-F310"));
    ASSERT_EQ(controller.selectTarget(), OVL_SUCCESS);
    controller.setAutoConnection(99);
    EXPECT_FALSE(controller.connect());
    EXPECT_EQ(controller.disconnect(), OVL_NOT_SUPPORT);
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(peer.connections().empty());
}

TEST_F(FacadeTest, ConnectsTheModelObjectAndRelaysItsEvents) {
    controller.setAutoConnection(iController::kKeepConnection);
    EXPECT_EQ(controller.printText("x"), OVL_NOT_OPENED); // no model object yet
    controller.setAlignment(1);
    controller.setTarget(peerTarget("TRP-F310"));
    ASSERT_EQ(controller.selectTarget(), OVL_SUCCESS);
    EXPECT_EQ(controller.model()->alignment(), 1); // the setting kept for the new model object
    ASSERT_TRUE(controller.connect());
    ASSERT_TRUE(test::runMainUntil([&] { return events.has("didConnect"); }));
    EXPECT_EQ(events.events, (std::vector<std::string>{"willConnect", "didConnect"}));
    EXPECT_TRUE(controller.isConnected());
    EXPECT_EQ(controller.printText("Hi"), OVL_SUCCESS);
    ASSERT_TRUE(peer.waitUntil([&] {
        PrinterBytes all = peer.received();
        return all.size() >= 2 && all[all.size() - 2] == 'H' && all.back() == 'i';
    }));
    EXPECT_EQ(peer.received().front(), 0x1B) << "the printer is initialised first (ESC @)";
    EXPECT_EQ(controller.disconnect(), OVL_SUCCESS);
    ASSERT_TRUE(test::runMainUntil([&] { return events.has("didDisconnect"); }));
    EXPECT_TRUE(events.allOnMainThread);
}

TEST_F(FacadeTest, DisconnectingWaitsForAPrinterThatStoppedAnsweringOffTheCallersThread) {
    controller.setAutoConnection(iController::kKeepConnection);
    controller.setTarget(peerTarget("TRP-F310")); // the peer never answers its cover status
    ASSERT_EQ(controller.selectTarget(), OVL_SUCCESS);
    ASSERT_TRUE(controller.connect());
    ASSERT_TRUE(peer.waitUntil([&] { return peer.clientConnected(); }));

    EXPECT_EQ(controller.disconnectWithTimeout(600), OVL_SUCCESS);
    // Back at once: the printer is still being asked for its status.
    EXPECT_TRUE(peer.clientConnected());
    EXPECT_TRUE(peer.waitUntil([&] {
        PrinterBytes all = peer.received();
        const PrinterBytes coverStatus{0x10, 0x04};
        return std::search(all.begin(), all.end(), coverStatus.begin(), coverStatus.end()) != all.end();
    }));
    EXPECT_TRUE(peer.clientConnected());
}

TEST_F(FacadeTest, ADisconnectThreadGivesUpAtItsTimeOut) {
    controller.setAutoConnection(iController::kKeepConnection);
    controller.setTarget(peerTarget("TRP-F310"));
    ASSERT_EQ(controller.selectTarget(), OVL_SUCCESS);
    ASSERT_TRUE(controller.connect());
    ASSERT_TRUE(peer.waitUntil([&] { return peer.clientConnected(); }));
    EXPECT_EQ(controller.disconnectWithTimeout(1, 1), OVL_SUCCESS);
    EXPECT_TRUE(peer.waitUntil([&] { return !peer.clientConnected(); }));
    EXPECT_TRUE(test::runMainUntil([&] { return !controller.isConnected(); }));
}

TEST_F(FacadeTest, APrinterThatNeverTellsItsModelIsGivenUpAfterTheIdentificationTimeOut) {
    controller.setTarget(peerTarget()); // the peer takes the connection but never answers GS I C
    Date start = Date::now();
    EXPECT_EQ(controller.selectTarget(), OVL_READ_ERROR);
    EXPECT_LE(Date::now().secondsSince(start), OVPrinterController::kIdentifyTimeout + 2.0);
    EXPECT_FALSE(controller.model());
}

TEST_F(FacadeTest, ARunningLookupCanBeStopped) {
    controller.setLookupLocalPort(0);
    controller.setLookupLocalPortEthernet(0);
    controller.setBroadcastAddress("127.0.0.1"); // the search stays on this machine
    controller.setLookupDuration(600);
    controller.lookup();
    ASSERT_TRUE(test::runMainUntil([&] { return events.has("willLookupPrinters"); }));
    controller.stopLookup();
    ASSERT_TRUE(test::runMainUntil([&] { return events.has("didLookupPrinters"); }));
    controller.stopLookup(); // nothing runs any more: nothing more is told
    RunLoop::main().runFor(0.5);
    EXPECT_EQ(std::count(events.events.begin(), events.events.end(), "didLookupPrinters"), 1);
}

TEST_F(FacadeTest, ASecondSelectionWhileOneRunsIs103) {
    controller.setAutoConnection(iController::kKeepConnection);
    controller.setTarget(peerTarget("TRP-F310"));
    ASSERT_EQ(controller.selectTarget(), OVL_SUCCESS);
    ASSERT_TRUE(controller.connect());
    // Connected, the target cannot change: the selection waits on the run loop, where the second
    // one comes in.
    long inner = -1;
    RunLoop::main().perform([&] { inner = controller.selectTarget(); });
    EXPECT_EQ(controller.selectTarget(), OVL_OTHERPTR_OPENED);
    EXPECT_EQ(inner, OVL_STATUS_ERROR);
}

TEST_F(FacadeTest, TheLogLevelChangesOnlyWithTheAccessCode) {
    DataTrace::setMask(0);
    controller.setLogLevel(DataTrace::kRawData, 1234);
    EXPECT_EQ(DataTrace::mask(), 0u);
    controller.setLogLevel(DataTrace::kRawData, OVPrinterController::kLogLevelAccessCode);
    EXPECT_EQ(DataTrace::mask(), DataTrace::kRawData);
    EXPECT_EQ(controller.getLogLevel(), 0);
    DataTrace::setMask(0);
}

TEST_F(FacadeTest, OpenAndCloseTellTheDelegateAndSetTheState) {
    EXPECT_EQ(controller.state(), OVPrinterController::kInitialState);
    controller.open();
    EXPECT_EQ(controller.state(), 0);
    controller.close();
    EXPECT_EQ(controller.state(), OVPrinterController::kInitialState);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(events.events, (std::vector<std::string>{"didStart", "didStop"}));
}

TEST_F(FacadeTest, ConfigurationNeedsTheConfigurationPassword) {
    controller.setTarget(peerTarget("MPP-R300"));
    ASSERT_EQ(controller.selectTarget(), OVL_SUCCESS);
    EXPECT_EQ(controller.loadPrinterConfiguration(), OVL_NOT_SUPPORT);
    controller.setConfigPassword(1);
    EXPECT_EQ(controller.savePrinterConfiguration(), OVL_NOT_SUPPORT);
    EXPECT_EQ(controller.checkPrinter(), OVL_NOT_CONNECTED);
}

// --- discovery replies

PrinterBytes wifiReply(const char* tag, const std::string& name = "") {
    PrinterBytes reply(tag, tag + 18);
    const PrinterBytes fields{0x00, 0x11, 0x22, 0xAA, 0xBB, 0xCC, // MAC
                              192,  0,    2,    77,               // address
                              255,  255,  255,  0,                // subnet
                              192,  0,    2,    1,                // gateway
                              0x23, 0x8C,                         // port 9100
                              7,    0x01, 0x02,                   // baud rate, version 0x0102
                              1,    0x00, 0x3C,                   // DHCP, inactivity 60
                              0,    0x00, 0x05};                  // HTTPS, value 5
    reply.insert(reply.end(), fields.begin(), fields.end());
    reply.insert(reply.end(), name.begin(), name.end());
    if (!name.empty()) reply.push_back(0);
    return reply;
}

PrinterBytes ethernetReply() {
    PrinterBytes reply{'I', 'M', 'I', 'N', 0x00, 0x11, 0x22, 0xAA, 0xBB, 0xCD, 10,   0, 0, 9, 255, 255,
                       0,   0,   10,  0,   0,    1,    0x23, 0x8D, 3,    0x00, 0x07, 0, 0, 0, 0};
    return reply;
}

TEST(FacadeReplies, TheReplyKindsBecomeRecords) {
    PrinterBytes wifi = wifiReply(OVPrinterController::kWiFiReplyTag);
    ASSERT_EQ(wifi.size(), OVPrinterController::kWiFiReplySize);
    auto printer = OVPrinterController::printerFromReply(wifi.data(), wifi.size());
    ASSERT_TRUE(printer);
    EXPECT_EQ(printer->address(), std::optional<std::string>("192.0.2.77"));
    EXPECT_EQ(printer->port(), 9100);
    EXPECT_EQ(printer->macAddress(), std::optional<std::string>("00:11:22:aa:bb:cc"));
    EXPECT_EQ(printer->subnet(), (OVPrinter::Quad{255, 255, 255, 0}));
    EXPECT_EQ(printer->gateway(), (OVPrinter::Quad{192, 0, 2, 1}));
    EXPECT_EQ(printer->version(), 0x0102);
    EXPECT_EQ(printer->value(), 5);
    EXPECT_EQ(printer->connectionClass(), OVPrinter::WiFi);

    PrinterBytes named = wifiReply(OVPrinterController::kWiFiNamedReplyTag, "MPP-R300");
    printer = OVPrinterController::printerFromReply(named.data(), named.size());
    ASSERT_TRUE(printer);
    EXPECT_EQ(printer->name(), std::optional<std::string>("MPP-R300"));
    EXPECT_EQ(printer->address(), std::optional<std::string>("192.0.2.77"));

    PrinterBytes wired = ethernetReply();
    printer = OVPrinterController::printerFromReply(wired.data(), wired.size());
    ASSERT_TRUE(printer);
    EXPECT_EQ(printer->address(), std::optional<std::string>("10.0.0.9"));
    EXPECT_EQ(printer->port(), 9101);
    EXPECT_EQ(printer->version(), 7);
    EXPECT_EQ(printer->macAddress(), std::optional<std::string>("00:11:22:aa:bb:cd"));
    EXPECT_EQ(printer->connectionClass(), OVPrinter::Tcp);
}

TEST(FacadeReplies, ShortOrUnknownDatagramsAreNoPrinters) {
    PrinterBytes wired = ethernetReply();
    EXPECT_FALSE(OVPrinterController::printerFromReply(wired.data(), wired.size() - 1));
    PrinterBytes wifi = wifiReply(OVPrinterController::kWiFiReplyTag);
    EXPECT_FALSE(OVPrinterController::printerFromReply(wifi.data(), 40));
    PrinterBytes nameless = wifiReply(OVPrinterController::kWiFiNamedReplyTag);
    EXPECT_FALSE(OVPrinterController::printerFromReply(nameless.data(), nameless.size()));
    PrinterBytes other(48, 'x');
    EXPECT_FALSE(OVPrinterController::printerFromReply(other.data(), other.size()));
}

// --- the lookup, in a network namespace of the test's own

// A datagram socket on 127.0.0.1 at a given port that answers the search requests as a printer
// would, on a thread of its own, and counts what came.
class FakeResponder {
public:
    explicit FakeResponder(uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeResponder() {
        stopping_ = true;
        thread_.join();
        ::close(fd_);
    }
    bool bound() const { return bound_; }
    void answer(std::string request, PrinterBytes reply) {
        std::lock_guard lock(mutex_);
        replies_[std::move(request)] = std::move(reply);
    }
    int count(const std::string& request) {
        std::lock_guard lock(mutex_);
        return counts_[request];
    }

private:
    void serve() {
        while (!stopping_) {
            pollfd watch{fd_, POLLIN, 0};
            if (::poll(&watch, 1, 10) <= 0) continue;
            char buffer[256];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            ssize_t got = ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (got <= 0) continue;
            // A printer answers after a moment, once the search's own sending socket is closed
            // (a reply to that socket would be lost, as it is from a real network).
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::lock_guard lock(mutex_);
            std::string request(buffer, static_cast<size_t>(got));
            ++counts_[request];
            auto reply = replies_.find(request);
            if (reply != replies_.end())
                ::sendto(fd_, reply->second.data(), reply->second.size(), 0, reinterpret_cast<sockaddr*>(&from),
                         length);
        }
    }

    int fd_ = -1;
    bool bound_ = false;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::map<std::string, PrinterBytes> replies_;
    std::map<std::string, int> counts_;
    std::thread thread_;
};

void lookupInNamespace() {
    ScopedScaledClock clock(2.0);
    test::TempHome home;
    RunLoop::main().reset();
    AccessoryManager::shared().reset();
    UserDefaults::standardUserDefaults().setObject(std::string("ovlook0"), NetFunctions::kWiFiInterfaceKey);
    auto accessories = test::FakeAccessories::create();
    accessories->plugIn("Counter printer\\@\\MPP-R300 BT", {BTFunctions::kBTLinkProtocolString}, "00:11:22:AA:BB:EE");
    accessories->plugIn("Card reader", {"com.calder.reader"}, "00:11:22:AA:BB:EF");

    OVPrinterController controller;
    FakeResponder wifi(controller.lookupRemotePort());
    FakeResponder wired(controller.lookupRemotePortEthernet());
    ASSERT_TRUE(wifi.bound() && wired.bound());
    wifi.answer(OVPrinterController::kWiFiFindRequest, wifiReply(OVPrinterController::kWiFiReplyTag));
    wired.answer(OVPrinterController::kEthernetFindRequest, ethernetReply());
    RecordingFacadeDelegate events;
    controller.setDelegate(&events);
    controller.setBroadcastAddress("127.0.0.1");
    controller.setLookupCount(5);
    // Four rounds in the first second, then a second more for the last replies: on a loaded
    // machine a reply to the last round could come after a lookup of one second had ended.
    controller.setLookupDuration(2.0f);
    controller.lookup();
    ASSERT_TRUE(test::runMainUntil([&] { return events.has("didLookupPrinters"); }));
    EXPECT_EQ(events.events.front(), "willLookupPrinters");
    EXPECT_EQ(wifi.count(OVPrinterController::kWiFiFindRequest), 4);
    EXPECT_EQ(wifi.count(OVPrinterController::kWiFiRegisterRequest), 4);
    EXPECT_EQ(wired.count(OVPrinterController::kEthernetFindRequest), 4);

    // Four rounds: four replies of each printer and four looks at the accessories.
    auto found = controller.foundPrinters();
    ASSERT_EQ(found.size(), 12u);
    std::map<uint16_t, int> byClass;
    for (const auto& printer : found) ++byClass[printer->connectionClass()];
    EXPECT_EQ(byClass[OVPrinter::WiFi], 4);
    EXPECT_EQ(byClass[OVPrinter::Tcp], 4);
    EXPECT_EQ(byClass[OVPrinter::Bluetooth], 4);
    auto paired = std::find_if(found.begin(), found.end(),
                               [](const auto& p) { return p->connectionClass() == OVPrinter::Bluetooth; });
    EXPECT_EQ((*paired)->name(), std::optional<std::string>("Counter printer"));
    EXPECT_EQ((*paired)->bluetoothDeviceName(), std::optional<std::string>("MPP-R300 BT"));
    EXPECT_EQ((*paired)->macAddress(), std::optional<std::string>("00:11:22:aa:bb:ee"));
    EXPECT_EQ(events.printers.size(), found.size());
    EXPECT_TRUE(events.allOnMainThread);
    controller.setDelegate(nullptr);
    AccessoryManager::shared().reset();
}

// One search round even with the default lookupCount of 1; with no interface named, the search
// goes out on every interface that is up; with none, the delegate hears that it could not run.
void lookupOnEveryInterface() {
    ScopedScaledClock clock(2.0);
    test::TempHome home;
    RunLoop::main().reset();
    OVPrinterController controller;
    FakeResponder wifi(controller.lookupRemotePort());
    ASSERT_TRUE(wifi.bound());
    RecordingFacadeDelegate events;
    controller.setDelegate(&events);
    controller.setBroadcastAddress("127.0.0.1");
    EXPECT_EQ(controller.lookupCount(), 1);
    controller.lookup();
    ASSERT_TRUE(test::runMainUntil([&] { return events.has("didLookupPrinters"); }));
    ASSERT_TRUE(test::runMainUntil([&] { return wifi.count(OVPrinterController::kWiFiFindRequest) == 2; }));
    EXPECT_FALSE(events.has("didNotLookup"));
    controller.setDelegate(nullptr);
}

TEST(FacadeLookupInNamespace, OneRoundAtLeastOnEveryInterfaceThatIsUp) {
    test::NamespaceRun run = test::runInNetworkNamespace(
        [] {
            std::string failure = test::bringLoopbackUp();
            if (failure.empty()) failure = test::makeTapInterface("ovlook0", "192.0.2.10");
            return failure.empty() ? test::makeTapInterface("ovlook1", "198.51.100.10") : failure;
        },
        lookupOnEveryInterface);
    if (!run.unavailable.empty())
        GTEST_SKIP() << "no network namespace with interfaces of its own: " << run.unavailable;
    EXPECT_EQ(run.exitCode, 0) << "the lookup in its namespace failed (see its output above)";
}

void lookupWithoutAnInterface() {
    ScopedScaledClock clock(2.0);
    test::TempHome home;
    RunLoop::main().reset();
    OVPrinterController controller;
    RecordingFacadeDelegate events;
    controller.setDelegate(&events);
    controller.setLookupCount(5);
    controller.lookup();
    ASSERT_TRUE(test::runMainUntil([&] { return events.has("didLookupPrinters"); }));
    EXPECT_EQ(std::count(events.events.begin(), events.events.end(), "didNotLookup"), 1) << "told once per lookup";
    controller.setDelegate(nullptr);
}

TEST(FacadeLookupInNamespace, WithoutAnInterfaceTheDelegateHearsTheLookupCouldNotRun) {
    test::NamespaceRun run =
        test::runInNetworkNamespace([] { return test::bringLoopbackUp(); }, lookupWithoutAnInterface);
    if (!run.unavailable.empty()) GTEST_SKIP() << "no network namespace of the test's own: " << run.unavailable;
    EXPECT_EQ(run.exitCode, 0) << "the lookup in its namespace failed (see its output above)";
}

TEST(FacadeLookupInNamespace, FourRoundsThenTheFoundList) {
    test::NamespaceRun run = test::runInNetworkNamespace(
        [] {
            std::string failure = test::bringLoopbackUp();
            return failure.empty() ? test::makeTapInterface("ovlook0", "192.0.2.10") : failure;
        },
        lookupInNamespace);
    if (!run.unavailable.empty())
        GTEST_SKIP() << "no network namespace with an interface of its own: " << run.unavailable;
    EXPECT_EQ(run.exitCode, 0) << "the lookup in its namespace failed (see its output above)";
}

} // namespace

namespace {

// A mobile printer paired over Bluetooth, through the fake accessory bus: chosen by its device
// address, identified by its name, printed on and read cards from.
TEST(FacadeBluetooth, DrivesAPairedPrinterThroughItsAccessory) {
    ScopedScaledClock clock(10.0);
    test::TempHome home;
    AccessoryManager::shared().reset();
    RunLoop::main().reset();
    auto accessories = test::FakeAccessories::create();
    auto accessory = accessories->plugIn("MPP-R300", {BTFunctions::kProtocolString}, "00:11:22:AA:BB:CC");
    {
        RecordingFacadeDelegate events;
        OVPrinterController controller;
        controller.setDelegate(&events);
        auto printer = std::make_shared<OVPrinter>();
        printer->setName(std::string("MPP-R300"));
        printer->setMacAddress(std::string("00:11:22:aa:bb:cc"));
        printer->setConnectionClass(OVPrinter::Bluetooth);
        controller.setTarget(printer);
        controller.setAutoConnection(iController::kKeepConnection);
        ASSERT_EQ(controller.selectTarget(), OVL_SUCCESS);
        ASSERT_TRUE(controller.connect());
        ASSERT_TRUE(test::runMainUntil([&] { return events.has("didConnect"); }));
        auto peer = accessories->peer(*accessory);
        ASSERT_TRUE(peer);

        EXPECT_EQ(controller.printText("Paired\r\n"), OVL_SUCCESS);
        EXPECT_TRUE(peer->waitForReceived("Paired\r\n"));

        ASSERT_EQ(controller.msrReadReady(), OVL_SUCCESS);
        EXPECT_TRUE(peer->waitForReceived("\x1B\x4D\x42"));
        peer->send(std::string("\x02"
                               "B11\x1C;4111111111111111=2512?\x03\r\n"));
        ASSERT_TRUE(test::runMainUntil([&] { return events.has("msrArrived"); }));
        Bytes full;
        EXPECT_EQ(controller.msrReadFullTrack(&full), OVL_SUCCESS);
        EXPECT_EQ(std::string(full.begin(), full.end()), ";4111111111111111=2512?\x1C");

        EXPECT_EQ(controller.disconnect(), OVL_SUCCESS);
        ASSERT_TRUE(test::runMainUntil([&] { return events.has("didDisconnect"); }));
        controller.setDelegate(nullptr);
    }
    AccessoryManager::shared().reset();
    RunLoop::main().reset();
}

} // namespace
