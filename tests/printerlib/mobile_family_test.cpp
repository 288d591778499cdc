#include "ControllerFixture.h"
#include "printerlib/MPPxxx.h"

#include <gtest/gtest.h>

#include <future>

using namespace tavlo;
using namespace tavlo::printerlib;
using test::PrinterBytes;

namespace {

const PrinterBytes kCover{0x10, 0x04, 0x02, 0x00, 0x00};
const PrinterBytes kPaper{0x10, 0x04, 0x04, 0x00};
const PrinterBytes kBattery{0x1D, 0x49, 0x62, 0x00};
constexpr uint8_t STX = 0x02, ETX = 0x03, FS = 0x1C, CR = 0x0D, LF = 0x0A;

PrinterBytes text(const std::string& s, bool zero = true) {
    PrinterBytes out(s.begin(), s.end());
    if (zero) out.push_back(0);
    return out;
}

// STX, the kind, "11", FS (two for several tracks), the fields separated by FS, ETX, CR, LF.
PrinterBytes cardRecord(char kind, const std::vector<std::string>& fields, bool finalLF = true) {
    PrinterBytes record{STX, static_cast<uint8_t>(kind), '1', '1', FS};
    if (fields.size() > 1) record.push_back(FS);
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) record.push_back(FS);
        record.insert(record.end(), fields[i].begin(), fields[i].end());
    }
    record.insert(record.end(), {ETX, CR});
    if (finalLF) record.push_back(LF);
    return record;
}

class MobileFamilyTest : public test::ModelFixture<MPPR300> {};

struct CoverCase {
    const char* name;
    std::optional<uint8_t> reply;
    long result;
    long state;
    bool coverOpened;
};

void PrintTo(const CoverCase& c, std::ostream* os) { *os << c.name; }

class MobileCover : public MobileFamilyTest, public ::testing::WithParamInterface<CoverCase> {};

TEST_P(MobileCover, ReadsTheCoverByte) {
    ScopedScaledClock fast(1000.0);
    const CoverCase& c = GetParam();
    if (c.reply) printer.setReply(kCover, {*c.reply});
    EXPECT_EQ(controller.checkPrinter(MPPxxx::Cover), c.result);
    EXPECT_EQ(controller.state(), c.state);
    EXPECT_EQ(controller.coverOpened(), c.coverOpened);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MobileCover,
    ::testing::Values(CoverCase{"closed", 0x12, OVL_SUCCESS, 0, false},
                      CoverCase{"open", 0x16, OVL_SUCCESS, OVL_STS_COVER_OPEN, true},
                      CoverCase{"printerError", 0x52, OVL_SUCCESS, OVL_STS_PRINTER_ERROR | OVL_STS_ERROR_BIT, false},
                      CoverCase{"notAStatusByte", 0x00, OVL_READ_ERROR, OVL_STS_ERROR_BIT, false},
                      CoverCase{"noReply", std::nullopt, OVL_READ_ERROR, OVL_STS_ERROR_BIT, false}),
    [](const ::testing::TestParamInfo<CoverCase>& instance) { return std::string(instance.param.name); });

TEST_F(MobileFamilyTest, CoverOpenWithPaperPresent) {
    printer.setReply(kCover, {0x16});
    printer.setReply(kPaper, {0x12});
    EXPECT_EQ(controller.checkPrinter(MPPxxx::Cover | MPPxxx::Paper), OVL_SUCCESS);
    EXPECT_EQ(controller.state(), OVL_STS_COVER_OPEN);
}

struct BatteryCase {
    const char* reply;
    long power;
    long state;
};

class MobileBattery : public MobileFamilyTest, public ::testing::WithParamInterface<BatteryCase> {};

TEST_P(MobileBattery, ReadsTheLevel) {
    controller.setPower(-1);
    printer.setReply(kBattery, text(GetParam().reply));
    EXPECT_EQ(controller.checkPrinter(MPPxxx::Battery), OVL_SUCCESS);
    EXPECT_EQ(controller.power(), GetParam().power);
    EXPECT_EQ(controller.state(), GetParam().state);
}

INSTANTIATE_TEST_SUITE_P(Cases, MobileBattery,
                         ::testing::Values(BatteryCase{"7E0", 0, 0}, BatteryCase{"7E2", 2, 0}, BatteryCase{"7E3", 3, 0},
                                           BatteryCase{"7E9", 4, 0}, BatteryCase{"7X1", -1, OVL_STS_ERROR_BIT}));

TEST_F(MobileFamilyTest, ModelNameAndFirmwareVersion) {
    printer.setReply({0x1D, 0x49, 0x43}, text("_MPP-R300"));
    printer.setReply({0x1D, 0x49, 0x41}, text("_V1.2"));
    EXPECT_EQ(controller.checkPrinter(MPPxxx::ModelName | MPPxxx::FirmwareVersion), OVL_SUCCESS);
    EXPECT_EQ(target->modelStr(), "_MPP-R300");
    EXPECT_EQ(controller.modelCode(), 300);
    EXPECT_EQ(target->versionStr(), "_V1.2");
    EXPECT_EQ(controller.state(), 0);
}

TEST_F(MobileFamilyTest, ASecondCheckWhileOneRunsGives300) {
    ScopedScaledClock slow(100.0);
    // The printer never answers the cover: the first check waits out its attempts.
    auto first = std::async(std::launch::async, [&] { return controller.checkPrinter(MPPxxx::Cover); });
    ASSERT_TRUE(printer.waitUntil([&] { return printer.received() == kCover; }));
    MPPR200II other;
    other.setTarget(target);
    EXPECT_EQ(other.checkPrinter(MPPxxx::Cover), OVL_WRITE_ERROR);
    EXPECT_EQ(first.get(), OVL_READ_ERROR);
    // The flag is cleared on the way out.
    printer.setReply(kCover, {0x12});
    EXPECT_EQ(controller.checkPrinter(MPPxxx::Cover), OVL_SUCCESS);
}

TEST_F(MobileFamilyTest, BarcodeTableFollowsTheFirmwaresGS1Support) {
    controller.initalizeBarcodeInfo();
    std::vector<OVBarcode> table = controller.getBarcodeSupportTable();
    ASSERT_EQ(table.size(), 29u);
    for (const OVBarcode& bar : table) EXPECT_EQ(bar.support, bar.barNumber < 208) << bar.name;
    MPPR400 gs1;
    gs1.setIsSupportGS1fromFW(true);
    gs1.initalizeBarcodeInfo();
    for (const OVBarcode& bar : gs1.getBarcodeSupportTable()) EXPECT_TRUE(bar.support) << bar.name;
}

TEST(MobileModels, SetTheirCodesAndWidths) {
    EXPECT_EQ(MPPR200II().modelCode(), 200);
    EXPECT_EQ(MPPR200II().maxWidth(), 384);
    EXPECT_EQ(MPPR210().modelCode(), 210);
    EXPECT_EQ(MPPR210().maxWidth(), 384);
    EXPECT_EQ(MPPR300().maxWidth(), 576);
    EXPECT_EQ(MPPR400().modelCode(), 400);
    EXPECT_EQ(MPPR400().maxWidth(), 832);
}

// --- card reader, with the connection kept so that the read thread runs

class CardReaderTest : public MobileFamilyTest {
protected:
    void arm() {
        keepConnection();
        ASSERT_EQ(controller.msrReadReady(), OVL_SUCCESS);
        ASSERT_TRUE(controller.msrIsReady());
    }
};

TEST_F(CardReaderTest, ArmingSendsTheReadCommand) {
    arm();
    ASSERT_TRUE(printer.waitUntil([&] { return lastConnection().size() == 3; }));
    EXPECT_EQ(lastConnection(), bytes({0x1B, 0x4D, 0x42}));
    EXPECT_EQ(controller.msrReadReady(), OVL_SUCCESS); // armed already: nothing more is sent
    EXPECT_EQ(controller.msrReadCancel(), OVL_SUCCESS);
    EXPECT_FALSE(controller.msrIsReady());
    ASSERT_TRUE(printer.waitUntil([&] { return lastConnection().size() == 6; }));
    EXPECT_EQ(lastConnection(), bytes({0x1B, 0x4D, 0x42, 0x1B, 0x4D, 0x63}));
}

TEST_F(CardReaderTest, ATrackOneRecordGivesTrackOneAndTheFullTrack) {
    arm();
    const std::string track = "%B4111111111111111^DOE/J^2512101?";
    ASSERT_TRUE(printer.sendToClient(cardRecord('A', {track})));
    auto card = [&] {
        std::vector<std::string> seen;
        for (const std::string& event : events.events)
            if (event.rfind("msr", 0) == 0) seen.push_back(event);
        return seen;
    };
    ASSERT_TRUE(test::runMainUntil([&] { return card().size() == 2; }));
    EXPECT_EQ(card(), (std::vector<std::string>{"msrArrived", "msrTerminated"}));
    EXPECT_EQ(events.cardTracks, std::vector<long>{1});
    EXPECT_FALSE(controller.msrIsReady());
    Bytes data;
    EXPECT_EQ(controller.msrGetTrack(1, &data), OVL_SUCCESS);
    EXPECT_EQ(std::string(data.begin(), data.end()), track);
    EXPECT_EQ(controller.msrGetTrack(2, &data), OVLMSR_DATEMPTY);
    EXPECT_EQ(controller.msrReadFullTrack(&data), OVL_SUCCESS);
    EXPECT_EQ(std::string(data.begin(), data.end()), track + "\x1C");
    EXPECT_EQ(controller.msrReadFullTrack(&data), OVL_BAD_ARGMENT); // handed out once
    EXPECT_EQ(controller.recvQueue().length(), 0);
}

TEST_F(CardReaderTest, AllThreeTracks) {
    arm();
    ASSERT_TRUE(printer.sendToClient(cardRecord('F', {"T1", "T2", "T3"})));
    ASSERT_TRUE(test::runMainUntil([&] { return !events.cardTracks.empty(); }));
    EXPECT_EQ(events.cardTracks, std::vector<long>{7});
    Bytes one, two, three;
    EXPECT_EQ(controller.msrReadTrack(&one, &two, &three), OVL_SUCCESS);
    EXPECT_EQ(std::string(one.begin(), one.end()), "T1");
    EXPECT_EQ(std::string(two.begin(), two.end()), "T2");
    EXPECT_EQ(std::string(three.begin(), three.end()), "T3");
}

TEST_F(CardReaderTest, RecordsWhatIsNotCardData) {
    const PrinterBytes notCard{0x37, 0x00};
    EXPECT_EQ(controller.processDataMsr(notCard.data(), 2), 0);
    const PrinterBytes open = cardRecord('A', {"T1"}, false);
    EXPECT_EQ(controller.processDataMsr(open.data(), static_cast<long>(open.size())), -1);
    // Unarmed, a whole record is taken from the data but stores nothing.
    const PrinterBytes whole = cardRecord('A', {"T1"});
    EXPECT_EQ(controller.processDataMsr(whole.data(), static_cast<long>(whole.size())),
              static_cast<long>(whole.size()));
    Bytes data;
    EXPECT_EQ(controller.msrGetTrack(1, &data), OVLMSR_DATEMPTY);
}

TEST_F(CardReaderTest, CancelWhenNotArmedIs602) {
    EXPECT_EQ(controller.msrReadCancel(), OVLMSR_NOT_READY);
    EXPECT_TRUE(printer.connections().empty());
}

TEST_F(CardReaderTest, ReaderModesThatCannotBeArmed) {
    for (uint8_t mode : {0x38, 0x48, 0x60}) {
        controller.setMsrMode(mode);
        EXPECT_EQ(controller.msrReadReady(), OVL_NOT_SUPPORT) << int(mode);
    }
    EXPECT_FALSE(controller.msrIsReady());
}

TEST_F(CardReaderTest, ArmingNeedsAKeptConnection) {
    controller.setAutoConnection(0); // a connection per command: it would close under the reader
    EXPECT_EQ(controller.msrReadReady(), OVL_STATUS_ERROR);
    EXPECT_FALSE(controller.msrIsReady());
    EXPECT_TRUE(printer.connections().empty());
}

TEST_F(CardReaderTest, TheReadersModeAndSentinelModeAreAsked) {
    printer.setReply(bytes({0x1B, 0x4D, 0x49}), bytes({'7', 0x80, 0x60, 0x00}));
    EXPECT_EQ(controller.getMsr(), OVL_SUCCESS);
    EXPECT_EQ(controller.msrMode(), 0x60);
    EXPECT_EQ(controller.cardMode(), 2);
    EXPECT_EQ(controller.sentinelMode(), 0);

    // Later firmware: the sentinel mode from memory switch 8 (its second and third settings), and
    // in mode 2 the three sentinel codes.
    controller.setFwVersionType(20001);
    printer.setMemorySwitch(8, "01000000");
    for (uint8_t code : {'1', '2', '3'})
        printer.setReply(bytes({0x08, 0x4D, 0x53, 0x02, 0x00, 0x34, code}), bytes({'7', 0x81}));
    EXPECT_EQ(controller.getMsr(), OVL_SUCCESS);
    EXPECT_EQ(controller.sentinelMode(), 2);
    EXPECT_EQ(controller.getSetinelCode(2), OVL_SUCCESS);
}

TEST_F(CardReaderTest, AReaderModeReplyOfAnotherShapeIs301) {
    printer.setReply(bytes({0x1B, 0x4D, 0x49}), bytes({'7', 0x81, 0x42, 0x00}));
    EXPECT_EQ(controller.getMsr(), OVL_READ_ERROR);
    EXPECT_EQ(controller.msrMode(), 0);
    EXPECT_EQ(controller.getSetinelCode(1), OVL_READ_ERROR); // no acknowledgement
}

TEST_F(CardReaderTest, NextPrintPositionIsAFormFeed) {
    EXPECT_EQ(sentBy([&] { return controller.nextPrintPos(); }), bytes({0x0C}));
}

} // namespace
