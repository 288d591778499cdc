#include "ControllerFixture.h"
#include "printerlib/FamilyHelpers.h"
#include "printerlib/MPPxxx.h"
#include "printerlib/SwitchSettings.h"
#include "printerlib/TRPSettingModels.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tavlo;
using namespace tavlo::printerlib;
using test::PrinterBytes;

namespace {

const std::string kPassword = std::to_string(configurationAccessNumber());
const PrinterBytes kEnterSettingMode{0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 0x49, 0x4E};
const PrinterBytes kLeaveSettingMode{0x1D, 0x28, 0x45, 0x04, 0x00, 0x02, 0x4F, 0x55, 0x54};

bool contains(const PrinterBytes& haystack, const PrinterBytes& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

class MobileSettingsTest : public test::ModelFixture<MPPR200II> {
protected:
    long load(Setting setting) {
        uint8_t code = 0xEE;
        EXPECT_EQ(controller.loadStatus(setting, &code, 1), OVL_SUCCESS);
        return code;
    }
};

TEST_F(MobileSettingsTest, AFreshImageReadsTheDefaults) {
    EXPECT_EQ(load(Setting::Density), 6);
    EXPECT_EQ(load(Setting::PrintingSpeed), 1);
    EXPECT_EQ(load(Setting::DefaultCodePage), 1); // PC437
    EXPECT_EQ(load(Setting::FontType), 1);        // font A
    EXPECT_EQ(load(Setting::MsrTrigger), 0);
    EXPECT_EQ(load(Setting::MsrDataMode), 1);
    EXPECT_EQ(load(Setting::LowBatteryBeep), 1);
    EXPECT_EQ(load(Setting::PaperEndBeep), 0);
    uint8_t code;
    EXPECT_EQ(controller.loadStatus(Setting::Density, &code, 0), OVL_BUFFER_ERROR);
}

TEST_F(MobileSettingsTest, EveryCodePageGoesThroughTheSwitchesAndBack) {
    for (long page = 1; page <= 34; ++page) {
        if (page == 7) continue;
        ASSERT_EQ(controller.saveStatus(Setting::DefaultCodePage, page), OVL_SUCCESS) << page;
        EXPECT_EQ(load(Setting::DefaultCodePage), page);
    }
    EXPECT_EQ(controller.saveStatus(Setting::DefaultCodePage, 7), OVL_BAD_ARGMENT);
}

TEST_F(MobileSettingsTest, DensityOutsideItsTableWritesTwos) {
    EXPECT_EQ(controller.saveStatus(Setting::Density, 3), OVL_SUCCESS);
    EXPECT_EQ(std::string(controller.settingConfig().begin() + 9, controller.settingConfig().begin() + 17), "00000100");
    EXPECT_EQ(controller.saveStatus(Setting::Density, 99), OVL_SUCCESS);
    EXPECT_EQ(std::string(controller.settingConfig().begin() + 9, controller.settingConfig().begin() + 17), "00000222");
}

TEST_F(MobileSettingsTest, LoadReadsTheSwitchesAndHoldsThePowerOffTime) {
    printer.setMemorySwitch(5, "01111111"); // 127 minutes
    printer.setMemorySwitch(6, "11111111");
    printer.setMemorySwitch(8, "00000110");
    controller.setConfigPassword(kPassword);
    EXPECT_EQ(controller.loadPrinterConfiguration(), OVL_SUCCESS);
    const Bytes& block = controller.settingConfig();
    EXPECT_EQ(block[168], 90);
    EXPECT_EQ(block[132], 255);
    EXPECT_EQ(block[144], 1); // paper-end beep: bit 3 set
    EXPECT_EQ(block[148], 1); // low-battery beep: bit 4 clear
    EXPECT_EQ(block[140], 2); // bits 2-1 "10": font B
}

TEST_F(MobileSettingsTest, AWrongPasswordSendsNothing) {
    controller.setConfigPassword("1");
    EXPECT_EQ(controller.loadPrinterConfiguration(), OVL_NOT_SUPPORT);
    EXPECT_EQ(controller.savePrinterConfiguration(), OVL_NOT_SUPPORT);
    EXPECT_TRUE(printer.connections().empty());
}

TEST_F(MobileSettingsTest, SaveWritesTheSwitchesInsideTheSettingMode) {
    controller.setConfigPassword(kPassword);
    controller.settingConfig()[112] = 1; // density 1: bits 3-1 "111"
    controller.settingConfig()[168] = 30;
    PrinterBytes sent = sentBy([&] { return controller.savePrinterConfiguration(); });
    EXPECT_EQ(PrinterBytes(sent.begin(), sent.begin() + 8), kEnterSettingMode);
    EXPECT_EQ(PrinterBytes(sent.end() - 9, sent.end()), kLeaveSettingMode);
    EXPECT_EQ(printer.memorySwitch(1), "00000111");
    EXPECT_EQ(printer.memorySwitch(5), "00011110");
    EXPECT_EQ(printer.memorySwitch(3), "");
    EXPECT_FALSE(printer.inSettingMode());
}

TEST_F(MobileSettingsTest, AFailedSaveStillLeavesTheSettingMode) {
    controller.setConfigPassword(kPassword);
    printer.setSettingModeAnswer(PrinterBytes{0x37, 0x20, 0x01});
    PrinterBytes sent = sentBy([&] { return controller.savePrinterConfiguration(); }, OVL_READ_ERROR);
    EXPECT_EQ(sent, concat({kEnterSettingMode, kLeaveSettingMode}));
    EXPECT_FALSE(printer.inSettingMode());
}

// --- the interface block

PrinterBytes interfaceBlock(const std::string& name, uint16_t inactivity, size_t size = MPPxxx::kConfigSize) {
    PrinterBytes block(size, 0x5A);
    std::fill(block.begin() + 18, block.begin() + 18 + 40, 0);
    std::copy(name.begin(), name.end(), block.begin() + 18);
    if (size > 620) {
        block[619] = static_cast<uint8_t>(inactivity >> 8);
        block[620] = static_cast<uint8_t>(inactivity & 0xFF);
    }
    return block;
}

class InterfaceBlockTest : public MobileSettingsTest {
protected:
    void SetUp() override {
        MobileSettingsTest::SetUp();
        target->setConnectionClass(OVPrinter::WiFi);
        controller.setConfigurationPort(static_cast<uint16_t>(service.port()));
    }
    test::InterfaceBlockPeer service;
};

TEST_F(InterfaceBlockTest, ReadsTheNameAndTheInactivityTime) {
    service.setBlock(interfaceBlock("Counter printer", 300));
    EXPECT_EQ(controller.loadConfiguration(), OVL_SUCCESS);
    EXPECT_EQ(target->name(), "Counter printer");
    EXPECT_EQ(target->inactivityTime(), 300);
    EXPECT_EQ(controller.config(), interfaceBlock("Counter printer", 300));
    ASSERT_EQ(service.requests().size(), 1u);
    const PrinterBytes request = service.requests().front();
    const std::string head = "__[I_F]__[IF__GET]";
    ASSERT_EQ(request.size(), 20u);
    EXPECT_EQ(PrinterBytes(request.begin(), request.begin() + 18), PrinterBytes(head.begin(), head.end()));
    EXPECT_EQ(Checksum(request.data(), 20), 0); // the checksum makes the whole sum to zero
}

TEST_F(InterfaceBlockTest, AShortBlockIsAReadError) {
    service.setBlock(interfaceBlock("Counter printer", 300, 623));
    EXPECT_EQ(controller.loadConfiguration(), OVL_READ_ERROR);
    EXPECT_EQ(target->name(), std::nullopt);
}

TEST_F(InterfaceBlockTest, OnlyNetworkPrintersHaveIt) {
    target->setConnectionClass(OVPrinter::Bluetooth);
    EXPECT_EQ(controller.loadConfiguration(), OVL_NOT_SUPPORT);
    EXPECT_FALSE(controller.isSupport_Config());
    EXPECT_TRUE(service.requests().empty());
    target->setConnectionClass(OVPrinter::WiFi);
    controller.setConfigurationPort(static_cast<uint16_t>(test::LoopbackListener::closedPort()));
    EXPECT_EQ(controller.loadConfiguration(), OVL_CONNECT_ERROR);
}

// --- receipt models with switch settings

class RxSettingsTest : public test::ModelFixture<TRP350III> {};

TEST_F(RxSettingsTest, SwitchOneHoldsDensitySpeedAndTheSwitchUse) {
    printer.setMemorySwitch(1, "10000000");
    controller.setConfigPassword(kPassword);
    EXPECT_EQ(controller.loadPrinterConfiguration(), OVL_SUCCESS);
    const Bytes& block = controller.settingConfig();
    EXPECT_EQ(block[112], 1); // density
    EXPECT_EQ(block[116], 4); // speed
    EXPECT_EQ(block[108], 0); // settings by switch: NO
    EXPECT_EQ(block[124], 1); // emulation
    EXPECT_EQ(block[180], 1); // 2-inch mode
}

TEST_F(RxSettingsTest, SaveWritesTheSwitchesAndPrintsThem) {
    controller.setConfigPassword(kPassword);
    ASSERT_EQ(controller.loadPrinterConfiguration(), OVL_SUCCESS);
    Bytes& block = controller.settingConfig();
    block[120] = 1; // PC437
    block[124] = 2; // emulation 2: "001"
    block[116] = 2; // speed 2: "010"
    block[108] = 1;
    block[112] = 1; // density 1: "100"
    block[140] = 2; // font "01"
    block[172] = 4;
    block[176] = 0;
    block[180] = 3;
    PrinterBytes sent = sentBy([&] { return controller.savePrinterConfiguration(); });
    EXPECT_EQ(printer.memorySwitch(1), "10001010");
    EXPECT_EQ(printer.memorySwitch(3), "00000001");
    EXPECT_EQ(printer.memorySwitch(4), "00000100");
    EXPECT_EQ(printer.memorySwitch(5), "10001100");
    EXPECT_EQ(printer.connections().size(), 2u); // the load's and the save's
    const std::string start = " Setting Start --------\r\n[msw number]     87654321\r\n";
    const std::string line = "[msw:    01]     *___*_*_\r\n";
    const std::string finish = "-------- Setting Finished\r\n\r\n\r\n\r\n\r\n";
    EXPECT_EQ(PrinterBytes(sent.begin(), sent.begin() + 52), PrinterBytes(start.begin(), start.end()));
    EXPECT_TRUE(contains(sent, PrinterBytes(line.begin(), line.end())));
    EXPECT_EQ(PrinterBytes(sent.end() - 35, sent.end()), PrinterBytes(finish.begin(), finish.end()));
}

class Trp350IISettingsTest : public test::ModelFixture<TRP350II> {};

TEST_F(Trp350IISettingsTest, PowerSavingTimeGoesByCommand) {
    EXPECT_EQ(sentBy([&] { return controller.saveStatus_PowerSavingTime(3); }),
              bytes({0x08, 0x5E, 0x50, 0x30, 0x00, 0x00}));
    EXPECT_EQ(sentBy([&] { return controller.saveStatus_PowerSavingTime(300); }),
              bytes({0x08, 0x5E, 0x50, 0x30, 0x01, 0xFF}));
    printer.setReply({0x08, 0x5E, 0x50, 0x31}, {'_', 0x01, 0x0F, 0x00});
    uint8_t minutes[4] = {};
    EXPECT_EQ(controller.loadStatus_PowerSavingTime(minutes, 4), OVL_SUCCESS);
    EXPECT_EQ(minutes[0], 15);
    EXPECT_EQ(controller.loadStatus_PowerSavingTime(minutes, 3), OVL_BUFFER_ERROR);
}

TEST_F(Trp350IISettingsTest, PartialCuttingLevel) {
    printer.setReply({0x08, 0x5E, 0x43, 0x01}, {'_', 0x13, 0x00, 0x00});
    uint8_t buffer[4] = {9, 9, 9, 9};
    EXPECT_EQ(controller.loadStatus_PartialCutLevel(buffer, 4), OVL_SUCCESS);
    EXPECT_EQ(controller.settingConfig()[128], 102);
    EXPECT_EQ(buffer[0], 0);
}

TEST_F(Trp350IISettingsTest, SwitchSettingsOfItsOwnLayout) {
    Bytes& block = controller.settingConfig();
    std::memcpy(block.data() + 9, "00000001", 8);  // speed "01": 3
    std::memcpy(block.data() + 27, "00000100", 8); // emulation "100": 5
    uint8_t code = 0;
    EXPECT_EQ(controller.loadStatus(Setting::PrintingSpeed, &code, 1), OVL_SUCCESS);
    EXPECT_EQ(code, 3);
    EXPECT_EQ(controller.loadStatus(Setting::Emulation, &code, 1), OVL_SUCCESS);
    EXPECT_EQ(code, 5);
    EXPECT_EQ(controller.saveStatus(Setting::Emulation, 1), OVL_SUCCESS);
    EXPECT_EQ(std::string(block.begin() + 27, block.begin() + 35), "00000000");
}

class TwoColourTest : public test::ModelFixture<TRP275> {};

TEST_F(TwoColourTest, SecondColourEndsTheAttributeBytes) {
    controller.setAttribute(TRP275::kSecondColour);
    Bytes attribute = controller.makeAttribute();
    ASSERT_EQ(attribute.size(), 15u);
    EXPECT_EQ(Bytes(attribute.end() - 3, attribute.end()), bytes({0x1B, 0x72, 0x01}));
    controller.setAttribute(0);
    attribute = controller.makeAttribute();
    EXPECT_EQ(Bytes(attribute.end() - 3, attribute.end()), bytes({0x1B, 0x72, 0x00}));
    controller.setAttribute(TRP275::kSecondColour);
    EXPECT_TRUE(contains(sentBy([&] { return controller.printText("A"); }), bytes({0x1B, 0x72, 0x01})));
}

PixelImage blackPicture(int width, int height) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width * height * 4), 0);
    for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
    return PixelImage(width, height, std::move(rgba));
}

TEST_F(TwoColourTest, PicturesGoAsEightDotColumns) {
    const PixelImage image = blackPicture(8, 4);
    PrinterBytes sent = sentBy([&] { return controller.printBitmapWithImage(image, 8, 50); });
    const std::vector<uint8_t> pixels = controller.getRGBDatafromOptimizationImage(image, 8, 50, nullptr);
    EXPECT_EQ(sent, concat({bytes({0x1B, 0x61, 0x00}), iControlMisc::make8bitMonoImageData(pixels, 8, 4, 50)}));
    controller.setAlignment(5);
    EXPECT_EQ(controller.printBitmapWithImage(image, 8, 50), OVL_BAD_ARGMENT);
}

class ImageMobileTest : public test::ModelFixture<MPPR210> {};

TEST_F(ImageMobileTest, AnAlignmentOutOfRangeIsLeftOut) {
    const PixelImage image = blackPicture(8, 4);
    controller.setAlignment(5);
    PrinterBytes sent = sentBy([&] { return controller.printBitmapWithImage(image, 8, 50); });
    const std::vector<uint8_t> pixels = controller.getRGBDatafromOptimizationImage(image, 8, 50, nullptr);
    EXPECT_EQ(sent, iControlMisc::makeCompressImageData(pixels, 8, 4, 50, true));
}

TEST_F(TwoColourTest, HasNoBarcodesOrBoxes) {
    EXPECT_FALSE(controller.isSupport_Barcode());
    EXPECT_EQ(controller.printBox(4, 3), OVL_NOT_SUPPORT);
    controller.initalizeBarcodeInfo();
    ASSERT_EQ(controller.getBarcodeSupportTable().size(), 29u);
    for (const OVBarcode& bar : controller.getBarcodeSupportTable()) EXPECT_FALSE(bar.support) << bar.name;
}

} // namespace
