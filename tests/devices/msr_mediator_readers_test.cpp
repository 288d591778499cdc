#include "devices/MediatorFixture.h"
#include "platform/foundation/AlertSink.h"
#include "platform/foundation/NotificationCenter.h"
#include "readers/dockmag/DockMag.h"
#include "readers/dockmag/SwipePacket.h"
#include "readers/jackmag/Notifications.h"

namespace tavlo {
namespace {

using test::CardReaderNote;
using test::runMainUntil;
using Reader = MSRMediator::Reader;

class MSRMediatorReaders : public test::MediatorFixture {
protected:
    // Posts one of the audio-jack reader's notifications, its data as the reader's bytes.
    void jack(const std::string& name, std::optional<std::string> data = std::nullopt) {
        std::any object;
        if (data) object = std::vector<uint8_t>(data->begin(), data->end());
        NotificationCenter::defaultCenter().post(name, object);
    }
};

TEST(MSRMediatorTypes, TheFirstMatchingPrefixPicksTheReader) {
    const std::pair<std::optional<std::string>, Reader> cases[] = {
        {"dockmag", Reader::DockMag}, {"dockmag-usb", Reader::DockMag},
        {"DockMag", Reader::None},    {"iaps", Reader::Iaps},
        {"jackmag", Reader::JackMag}, {"jackMag", Reader::None},
        {"varda", Reader::Varda},     {"sled", Reader::Sled},
        {"orvan", Reader::Orvan},     {"escpos", Reader::None},
        {"", Reader::None},           {std::nullopt, Reader::None},
    };
    for (const auto& [type, reader] : cases) EXPECT_EQ(MSRMediator::readerFor(type), reader) << type.value_or("nil");
}

TEST_F(MSRMediatorReaders, EachReaderEventBecomesItsCardReaderNotification) {
    struct Case {
        std::string event;
        std::string object;
        std::vector<CardReaderNote> posted;
        std::vector<std::string> jackCalls;
    };
    const Case cases[] = {
        {"", "", {{kMsrErrorNotification, "Swipe error"}}, {}},
        {dockmag::kDidConnectNotification, "reader", {{kMsrDidConnectNotification, "reader"}}, {}},
        {dockmag::kDidDisconnectNotification, "", {{kMsrDidDisconnectNotification, ""}}, {}},
        {dockmag::kDidReceiveDataNotification, "%B1?", {{kMsrReceivedDataNotification, "%B1?"}}, {}},
        {jackmag::notes::kDidConnect, "", {{kMsrDidConnectNotification, ""}}, {"request"}},
        {jackmag::notes::kInvalidSwipe, "", {{kMsrErrorNotification, "Invalid Swipe"}}, {"cancel", "request"}},
        {jackmag::notes::kTimeout, "", {}, {"cancel", "request"}},
        {jackmag::notes::kTimeoutSwipe, "", {}, {"cancel", "request"}},
        {jackmag::notes::kDidDisconnect, "", {{kMsrDidDisconnectNotification, ""}}, {"cancel"}},
        {jackmag::notes::kPowering, "", {}, {}},
        {jackmag::notes::kSwipe, "", {}, {}},
        {jackmag::notes::kAttachment, "", {}, {}},
        {"somethingElse", "", {}, {}},
    };
    MSRMediator mediator(std::string("jackmag"));
    mediator.setLogEvents(true);
    registerScreen(mediator);
    for (const Case& c : cases) {
        screen.clear();
        jackCalls.clear();
        Notification event;
        event.name = c.event;
        if (!c.object.empty()) event.object = c.object;
        mediator.handleMSRNotification(event);
        EXPECT_EQ(screen, c.posted) << "event " << c.event;
        EXPECT_EQ(jackCalls, c.jackCalls) << "event " << c.event;
    }
    mediator.unregisterObserver(this);
}

TEST_F(MSRMediatorReaders, AudioJackSwipesReachTheScreenAndKeepTheReaderArmed) {
    MSRMediator mediator(std::string("jackmag"));
    registerScreen(mediator);
    ASSERT_TRUE(jackCalls.empty());

    jack(jackmag::notes::kDidReceiveData, "%B4111111111111111^EARLY/SWIPE^2512?");
    EXPECT_TRUE(screen.empty()) << "data before the reader connected is dropped";
    EXPECT_TRUE(jackCalls.empty());

    jack(jackmag::notes::kDidConnect);
    EXPECT_EQ(jackCalls, std::vector<std::string>{"request"});
    screen.clear();
    jackCalls.clear();

    // The identification alone is ignored; the third notification without a track re-arms.
    jack(jackmag::notes::kDidReceiveData, "CLDMSR100");
    jack(jackmag::notes::kDidReceiveData, "");
    EXPECT_TRUE(jackCalls.empty());
    jack(jackmag::notes::kDidReceiveData, "");
    EXPECT_EQ(jackCalls, (std::vector<std::string>{"cancel", "request"}));
    EXPECT_TRUE(screen.empty());

    // The identification in front of a track is stripped; the track re-arms at once.
    jackCalls.clear();
    jack(jackmag::notes::kDidReceiveData, "CLDMSR1000701%B4111111111111111^JACK/TEST^2512?");
    EXPECT_EQ(screen,
              (std::vector<CardReaderNote>{{kMsrReceivedDataNotification, "%B4111111111111111^JACK/TEST^2512?"}}));
    EXPECT_EQ(jackCalls, (std::vector<std::string>{"cancel", "request"}));

    jackCalls.clear();
    jack(jackmag::notes::kDidReceiveData, "Timeout");
    EXPECT_EQ(jackCalls, (std::vector<std::string>{"cancel", "request"}));
    EXPECT_EQ(screen.size(), 1u);

    screen.clear();
    jack(jackmag::notes::kInvalidSwipe);
    EXPECT_EQ(screen, (std::vector<CardReaderNote>{{kMsrErrorNotification, "Invalid Swipe"}}));
    mediator.unregisterObserver(this);
}

TEST_F(MSRMediatorReaders, AccessoryReaderConnectsAndItsChunksReachTheScreen) {
    auto reader = fake->plugIn("reader", {dockmag::kReaderProtocol});
    std::vector<std::any> connectObjects;
    ScopedObserver connects(kMsrDidConnectNotification, nullptr,
                            [&](const Notification& note) { connectObjects.push_back(note.object); });
    MSRMediator mediator(std::string("dockmag"));
    registerScreen(mediator);
    EXPECT_TRUE(mediator.isConnected());
    ASSERT_EQ(connectObjects.size(), 1u);
    EXPECT_EQ(std::any_cast<std::shared_ptr<Accessory>>(connectObjects[0]), reader);

    fake->peer(*reader)->send(";4111111111111111=2512?");
    ASSERT_TRUE(runMainUntil([&] { return !screen.empty(); }));
    EXPECT_EQ(screen, (std::vector<CardReaderNote>{{kMsrReceivedDataNotification, ";4111111111111111=2512?"}}));

    fake->pullOut(reader);
    EXPECT_FALSE(mediator.isConnected());
    EXPECT_EQ(screen.back().name, kMsrDidDisconnectNotification);
    mediator.unregisterObserver(this);
}

class RecordingAlertSink : public AlertSink {
public:
    void showAlert(const std::string& title, const std::string& message, const std::string& button) override {
        alerts.push_back(title + "|" + message + "|" + button);
    }
    std::vector<std::string> alerts;
};

TEST_F(MSRMediatorReaders, VardaSwipeIsTheTextUpToTheFirstZeroAndAStreamErrorAlerts) {
    auto sink = std::make_shared<RecordingAlertSink>();
    AlertSink::install(sink);
    auto vdock = fake->plugIn("vDock", {"com.varda.vdock"});
    MSRMediator mediator(std::string("varda"));
    registerScreen(mediator);
    EXPECT_FALSE(mediator.connectVarda()) << "already connected";
    EXPECT_EQ(fake->sessionsOpened(*vdock), 1);

    fake->peer(*vdock)->send(std::string("%B4111111111111111^VARDA/TEST^2512?\0\x7f\x01", 39));
    ASSERT_TRUE(runMainUntil([&] { return !screen.empty(); }));
    EXPECT_EQ(screen,
              (std::vector<CardReaderNote>{{kMsrReceivedDataNotification, "%B4111111111111111^VARDA/TEST^2512?"}}));

    fake->peer(*vdock)->hangUp();
    ASSERT_TRUE(runMainUntil([&] { return !sink->alerts.empty(); }));
    EXPECT_EQ(sink->alerts[0], "Alert|Unexpected reader error, please disconnect it and connect it back|Cancel");
    EXPECT_TRUE(mediator.connectVarda()) << "the session was dropped; a new one opens";
    EXPECT_EQ(fake->sessionsOpened(*vdock), 2);

    // Plugging in another accessory is told to the screen, and re-tries the vDock (already open).
    screen.clear();
    fake->plugIn("printer", {"com.example.print"});
    EXPECT_EQ(screen.size(), 1u);
    EXPECT_EQ(screen[0].name, kMsrDidConnectNotification);
    EXPECT_EQ(fake->sessionsOpened(*vdock), 2);
    mediator.unregisterObserver(this);
    AlertSink::install(nullptr);
}

TEST_F(MSRMediatorReaders, VardaSwipeInPiecesReachesTheScreenOnce) {
    auto vdock = fake->plugIn("vDock", {"com.varda.vdock"});
    MSRMediator mediator(std::string("varda"));
    registerScreen(mediator);
    const std::string tracks = "%B4111111111111111^VARDA/TEST^2512?;4111111111111111=2512?";
    struct Case {
        std::string sent;
        std::string posted;
    } cases[] = {
        {tracks + "\r", tracks},
        {dockmag::framedSwipePacket(tracks), tracks},
        {tracks.substr(0, 20), tracks.substr(0, 20)}, // stops: the parser judges what came
    };
    for (const Case& c : cases) {
        screen.clear();
        for (size_t at = 0; at < c.sent.size(); at += 7) {
            fake->peer(*vdock)->send(c.sent.substr(at, 7));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            RunLoop::main().runUntilIdle();
        }
        ASSERT_TRUE(runMainUntil([&] { return !screen.empty(); }));
        RunLoop::main().runFor(0.4);
        EXPECT_EQ(screen, (std::vector<CardReaderNote>{{kMsrReceivedDataNotification, c.posted}}));
    }
    mediator.unregisterObserver(this);
}

TEST_F(MSRMediatorReaders, AudioJackReaderRefusalsAreShownToThePerson) {
    auto sink = std::make_shared<RecordingAlertSink>();
    AlertSink::install(sink);
    MSRMediator mediator(std::string("jackmag"));
    jack(jackmag::notes::kLowVolume);
    jack(jackmag::notes::kMonoAudioError);
    EXPECT_EQ(sink->alerts, (std::vector<std::string>{"Alert|Turn the volume up to use the card reader|OK",
                                                      "Alert|Turn Mono Audio off to use the card reader|OK"}));
    AlertSink::install(nullptr);
}

TEST_F(MSRMediatorReaders, VardaIsKnownByItsNameOrItsFirstProtocolIgnoringCase) {
    struct Case {
        std::string name;
        std::vector<std::string> protocols;
        bool taken;
    };
    const Case cases[] = {
        {"VDOCK", {"com.example.other"}, true},
        {"till", {"COM.TILLWARE.TILLREADER"}, true},
        {"dock", {"Com.Varda.VDock"}, true},
        {"dock", {"com.example.other", "com.varda.vdock"}, false},
        {"vdock", {}, false},
    };
    for (const Case& c : cases) {
        AccessoryManager::shared().reset();
        auto accessory = fake->plugIn(c.name, c.protocols);
        MSRMediator mediator(std::string("varda"));
        EXPECT_EQ(fake->sessionsOpened(*accessory), c.taken ? 1 : 0) << c.name;
    }
}

TEST_F(MSRMediatorReaders, PrinterReaderReadsWhileAScreenIsRegistered) {
    MSRMediator without(std::string("orvan"));
    registerScreen(without); // no printer reader installed: nothing to start
    without.unregisterObserver(this);
    EXPECT_FALSE(without.isConnected());

    auto printer = std::make_shared<test::RecordingPrinterReader>();
    PrinterCardReader::setMaker([printer] { return printer; });
    MSRMediator mediator(std::string("orvan"));
    int payScreen = 0;
    registerScreen(mediator);
    mediator.registerObserver(&payScreen, [](const Notification&) {});
    mediator.unregisterObserver(this);
    EXPECT_EQ(printer->calls, (std::vector<std::string>{"start", "start", "cancel"}));
    mediator.unregisterObserver(&payScreen);
}

TEST_F(MSRMediatorReaders, SledEntryPointsPostWithoutAnyReaderAttached) {
    MSRMediator mediator(std::string("sled"));
    EXPECT_FALSE(mediator.isConnected());
    registerScreen(mediator);
    mediator.deviceDidConnect();
    mediator.magneticCardReadDidFinish("%B1^A/B^25?");
    mediator.magneticCardData(std::string("%B1^A/B^25?"), std::nullopt, std::string(";1=25?"));
    mediator.magneticCardRawData(";2=26?");
    mediator.magneticCardReadStart();
    mediator.deviceDidDisconnect();
    EXPECT_EQ(screen, (std::vector<CardReaderNote>{
                          {kMsrDidConnectNotification, ""},
                          {kMsrReceivedDataNotification, "%B1^A/B^25?"},
                          {kMsrReceivedDataNotification, "%B1^A/B^25?;1=25?"},
                          {kMsrReceivedDataNotification, ";2=26?"},
                          {kMsrDidDisconnectNotification, ""},
                      }));
    mediator.unregisterObserver(this);
}

} // namespace
} // namespace tavlo
