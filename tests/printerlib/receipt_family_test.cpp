#include "ControllerFixture.h"
#include "printerlib/TRPSettingModels.h"
#include "printerlib/TRPxxx.h"

#include <gtest/gtest.h>

using namespace tavlo;
using namespace tavlo::printerlib;
using test::PrinterBytes;

namespace {

const PrinterBytes kCover{0x10, 0x04, 0x02};
const PrinterBytes kPaper{0x10, 0x04, 0x04};
const PrinterBytes kDrawer{0x10, 0x04, 0x01};

class ReceiptFamilyTest : public test::ModelFixture<TRP350> {};

struct StatusCase {
    const char* name;
    long mask;
    std::vector<std::pair<PrinterBytes, uint8_t>> replies;
    long drawerOpenLevel;
    long state;
    bool coverOpened;
};

void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }

class ReceiptStatus : public ReceiptFamilyTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(ReceiptStatus, ReadsTheRepliesIntoTheState) {
    const StatusCase& c = GetParam();
    for (const auto& [request, reply] : c.replies) printer.setReply(request, {reply});
    controller.setDrawerOpenLevel(c.drawerOpenLevel);
    EXPECT_EQ(controller.checkPrinter(c.mask), OVL_SUCCESS);
    EXPECT_EQ(controller.state(), c.state);
    EXPECT_EQ(controller.coverOpened(), c.coverOpened);
    EXPECT_FALSE(controller.transport().isConnected());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReceiptStatus,
    ::testing::Values(StatusCase{"coverAndPaperFine", 3, {{kCover, 0x12}, {kPaper, 0x12}}, 0, 0, false},
                      StatusCase{"coverOpen", 3, {{kCover, 0x16}, {kPaper, 0x12}}, 0, OVL_STS_COVER_OPEN, true},
                      StatusCase{"paperEmpty", 2, {{kPaper, 0x72}}, 0, OVL_STS_PAPER_EMPTY | OVL_STS_ERROR_BIT, false},
                      StatusCase{"drawerHighMeansOpen", 0x20, {{kDrawer, 0x14}}, 1, OVL_STS_DRAWER_OPEN, false},
                      StatusCase{"drawerLowMeansOpen", 0x20, {{kDrawer, 0x10}}, 0, OVL_STS_DRAWER_OPEN, false},
                      StatusCase{"drawerHighMeansClosed", 0x20, {{kDrawer, 0x14}}, 0, 0, false},
                      // A printer error ends the check before the paper is asked.
                      StatusCase{
                          "printerError", 3, {{kCover, 0x52}}, 0, OVL_STS_PRINTER_ERROR | OVL_STS_ERROR_BIT, false}),
    [](const ::testing::TestParamInfo<StatusCase>& instance) { return std::string(instance.param.name); });

TEST_F(ReceiptFamilyTest, PrinterErrorDoesNotAskForThePaper) {
    printer.setReply(kCover, {0x52});
    EXPECT_EQ(controller.checkPrinter(3), OVL_SUCCESS);
    ASSERT_TRUE(printer.waitUntil([&] { return !printer.clientConnected(); }));
    EXPECT_EQ(printer.received(), kCover);
}

TEST_F(ReceiptFamilyTest, ModelNameSetsTheTargetsModelAndCode) {
    const std::string name = "_TRP-350";
    PrinterBytes reply(name.begin(), name.end());
    reply.push_back(0);
    printer.setReply({0x1D, 0x49, 0x43}, reply);
    EXPECT_EQ(controller.checkPrinter(8), OVL_SUCCESS);
    EXPECT_EQ(target->modelStr(), name);
    EXPECT_EQ(controller.modelCode(), 0);
    EXPECT_EQ(controller.state(), 0);
}

TEST_F(ReceiptFamilyTest, UnansweredCoverGivesReadErrorAndGoesOnWithThePaper) {
    ScopedScaledClock fast(1000.0);
    printer.setReply(kPaper, {0x12});
    EXPECT_EQ(controller.checkPrinter(3), OVL_READ_ERROR);
    EXPECT_EQ(controller.state(), OVL_STS_ERROR_BIT);
    ASSERT_TRUE(printer.waitUntil([&] { return !printer.clientConnected(); }));
    EXPECT_EQ(printer.received(), concat({kCover, kPaper}));
}

TEST_F(ReceiptFamilyTest, CutPaperSendsThePartialCutAndCloses) {
    EXPECT_EQ(sentBy([&] { return controller.cutPaper(); }), bytes({0x1B, 0x6D, 0x00}));
}

TEST_F(ReceiptFamilyTest, CutPaperWithoutAPrinterIsAConnectError) {
    target->setPort(static_cast<uint16_t>(test::LoopbackListener::closedPort()));
    EXPECT_EQ(controller.cutPaper(), OVL_CONNECT_ERROR);
    EXPECT_FALSE(controller.transport().isConnected());
}

TEST_F(ReceiptFamilyTest, BarcodeFilterRefusesKindsTheFamilyLacks) {
    for (long kind : {100L, 112L, 201L, 204L, 208L})
        EXPECT_EQ(controller.printBarcode("0123456789", kind, 2, 50), OVL_NOT_SUPPORT) << kind;
    EXPECT_TRUE(printer.connections().empty());
    EXPECT_FALSE(sentBy([&] { return controller.printBarcode("CODE39", 109, 2, 50); }).empty());
}

TEST_F(ReceiptFamilyTest, BarcodeTableListsTheFamilysKinds) {
    controller.initalizeBarcodeInfo();
    std::vector<OVBarcode> table = controller.getBarcodeSupportTable();
    ASSERT_EQ(table.size(), 29u);
    EXPECT_EQ(table.front().name, "UPC-A");
    for (const OVBarcode& bar : table) {
        EXPECT_NE(bar.barNumber, 107);
        EXPECT_EQ(bar.support, bar.barNumber <= 200) << bar.name;
    }
    controller.initalizeBarcodeInfo();
    EXPECT_EQ(controller.getBarcodeSupportTable().size(), 29u);
}

TEST_F(ReceiptFamilyTest, HasNoCardReader) {
    Bytes track;
    EXPECT_EQ(controller.msrReadReady(), OVL_NOT_SUPPORT);
    EXPECT_EQ(controller.msrReadCancel(), OVL_NOT_SUPPORT);
    EXPECT_EQ(controller.msrGetTrack(1, &track), OVL_NOT_SUPPORT);
    EXPECT_EQ(controller.msrReadFullTrack(&track), OVL_NOT_SUPPORT);
    EXPECT_FALSE(controller.msrIsReady());
    EXPECT_FALSE(controller.isSupport_MSR());
    EXPECT_TRUE(controller.isSupport_CashDrawer());
}

TEST(ReceiptModels, SetTheirPaperWidths) {
    EXPECT_EQ(TRP350().maxWidth(), 512);
    EXPECT_EQ(TRP352().maxWidth(), 576);
    EXPECT_EQ(TRPF310().maxWidth(), 512);
    EXPECT_EQ(TRPF312().maxWidth(), 576);
    EXPECT_EQ(TRPxxx_RX().maxWidth(), 512);
    EXPECT_EQ(TRP352III().maxWidth(), 576);
    EXPECT_EQ(TRP352plusIII().maxWidth(), 576);
    EXPECT_EQ(TRP340().maxWidth(), 512);
    EXPECT_EQ(TRP275().maxWidth(), 400);
}

class UpsideDownTest : public test::ModelFixture<TRPF310> {};

TEST_F(UpsideDownTest, NeedsAKeptConnection) {
    EXPECT_EQ(controller.enableUpsideDownMode(true), OVL_STATUS_ERROR);
    keepConnection();
    EXPECT_EQ(controller.enableUpsideDownMode(true), OVL_SUCCESS);
    EXPECT_EQ(controller.enableUpsideDownMode(false), OVL_SUCCESS);
    ASSERT_TRUE(printer.waitUntil([&] { return lastConnection().size() == 6; }));
    EXPECT_EQ(lastConnection(), bytes({0x1B, 0x7B, 0x01, 0x1B, 0x7B, 0x00}));
}

TEST_F(UpsideDownTest, PicturesGoAsCompressedRaster) {
    std::vector<uint8_t> black(8 * 2 * 4, 0);
    for (size_t i = 3; i < black.size(); i += 4) black[i] = 255;
    const PixelImage image(8, 2, black);
    PrinterBytes sent = sentBy([&] { return controller.printBitmapWithImage(image, 8, 50); });
    ASSERT_GT(sent.size(), 3u);
    EXPECT_EQ(PrinterBytes(sent.begin(), sent.begin() + 3), bytes({0x1B, 0x61, 0x00}));
    std::vector<uint8_t> pixels = controller.getRGBDatafromOptimizationImage(image, 8, 50, nullptr);
    EXPECT_EQ(PrinterBytes(sent.begin() + 3, sent.end()), iControlMisc::makeCompressImageData(pixels, 8, 2, 50, true));
    controller.setAlignment(3);
    EXPECT_EQ(controller.printBitmapWithImage(image, 8, 50), OVL_BAD_ARGMENT);
}

} // namespace
