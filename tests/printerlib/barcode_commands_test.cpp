#include "printerlib/BarcodeCommands.h"
#include "printerlib/FamilyHelpers.h"
#include "printerlib/OVBarcodeInfo.h"
#include "printerlib/ResultCodes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tavlo::printerlib;
using Bytes = std::vector<uint8_t>;

namespace {

struct Built {
    long result;
    Bytes bytes;
};

Built linear(std::string_view data, long symbology, long height = 162, long width = 3, long alignment = 1,
             long textPosition = 2) {
    Bytes buffer(4098);
    long length = static_cast<long>(buffer.size());
    long result = bcMake1st(data, symbology, height, width, alignment, textPosition, buffer.data(), &length);
    buffer.resize(result == OVL_SUCCESS ? static_cast<size_t>(length) : 0);
    return {result, buffer};
}

Built twoD(std::string_view data, long symbology, long width = 3, long separator = 1, long alignment = 0,
           long capacity = 4098) {
    Bytes buffer(static_cast<size_t>(capacity));
    long length = capacity;
    long result = bcMake2st(data, symbology, 0, width, separator, alignment, 0, buffer.data(), &length);
    buffer.resize(result == OVL_SUCCESS ? static_cast<size_t>(length) : 0);
    return {result, buffer};
}

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace

TEST(BarcodeCommands, LinearBarcodeGoesBehindItsSettings) {
    const Built upc = linear("01234567890", BC_UPCA);
    ASSERT_EQ(upc.result, OVL_SUCCESS);
    EXPECT_EQ(upc.bytes, concat({{0x00, 0x00, 0x1B, 0x61, 0x01, 0x1D, 0x48, 0x02, 0x1D, 0x66, 0x01,
                                  0x1D, 0x68, 0xA2, 0x1D, 0x77, 0x03, 0x1D, 0x6B, 0x41, 0x0B},
                                 bytesOf("01234567890")}));
    EXPECT_EQ(upc.bytes.size(), 32u);

    // Alignment and text position outside their values fall back to left and none.
    const Built plain = linear("1234567", BC_EAN8, 0x150, 0x102, 7, 9);
    ASSERT_EQ(plain.result, OVL_SUCCESS);
    EXPECT_EQ(Bytes(plain.bytes.begin(), plain.bytes.begin() + 21),
              (Bytes{0x00, 0x00, 0x1B, 0x61, 0x00, 0x1D, 0x48, 0x00, 0x1D, 0x66, 0x01,
                     0x1D, 0x68, 0x50, 0x1D, 0x77, 0x02, 0x1D, 0x6B, 0x44, 0x07}));
}

TEST(BarcodeCommands, Code128GetsCodeSetAUnlessItChoosesOne) {
    const Built abc = linear("ABC", BC_CODE128);
    ASSERT_EQ(abc.result, OVL_SUCCESS);
    EXPECT_EQ(Bytes(abc.bytes.begin() + 17, abc.bytes.end()),
              (Bytes{0x1D, 0x6B, 0x49, 0x05, 0x7B, 0x41, 0x41, 0x42, 0x43}));
    const Built chosen = linear("{BAB", BC_CODE128);
    EXPECT_EQ(Bytes(chosen.bytes.begin() + 17, chosen.bytes.end()),
              (Bytes{0x1D, 0x6B, 0x49, 0x04, 0x7B, 0x42, 0x41, 0x42}));
    // 254 bytes and the two of code set A would not fit the count byte.
    EXPECT_EQ(linear(std::string(254, 'A'), BC_CODE128).result, OVL_BC_DATA_ERROR);
    EXPECT_EQ(linear(std::string(253, 'A'), BC_CODE128).bytes.size(), 17u + 4 + 255);
}

TEST(BarcodeCommands, LinearDataRulesPerSymbology) {
    struct Case {
        long symbology;
        std::string data;
        char letter; // 0: refused
    };
    const std::vector<Case> cases{
        {BC_UPCA, "012345678905", 'A'},
        {BC_UPCA, "0123456789", 0},
        {BC_UPCA, "0123456789A", 0},
        {BC_UPCE, "01234567890", 'B'},
        {BC_UPCE, "11234567890", 0},
        {BC_EAN8, "12345678", 'D'},
        {BC_JAN8, "123456", 0},
        {BC_EAN13, "123456789012", 'C'},
        {BC_JAN13, "1234567890123", 'C'},
        {BC_ITF, "1234", 'F'},
        {BC_ITF, "123", 0},
        {BC_ITF, "12a4", 0},
        {BC_CODABAR, "A123$+-./B", 'G'},
        {BC_CODABAR, "a123B", 0},
        {BC_CODABAR, "A12:3B", 0},
        {BC_CODABAR, "1234", 0},
        {BC_CODE39, "AB-12 $%+./", 'E'},
        {BC_CODE39, "ab", 0},
        {BC_CODE93, "any\x7f", 'H'},
        {BC_CODE93, "caf\xc3\xa9", 0},
        {BC_CODE128, "A", 0},
        {BC_CODE128, "\xff\xfe", 0},
        {BC_CODE39, std::string(256, 'A'), 0},
        {BC_CODE39, "", 0},
        {100, "123", 0},
        {112, "123", 0},
        {BC_PDF417, "123", 0},
    };
    for (const Case& c : cases) {
        const Built built = linear(c.data, c.symbology);
        if (c.letter == 0) {
            EXPECT_EQ(built.result, OVL_BC_DATA_ERROR) << c.symbology << " " << c.data;
        } else {
            ASSERT_EQ(built.result, OVL_SUCCESS) << c.symbology << " " << c.data;
            EXPECT_EQ(built.bytes[19], c.letter) << c.symbology;
            EXPECT_EQ(built.bytes[20], c.data.size()) << c.symbology;
        }
    }
}

TEST(BarcodeCommands, QRCodeIsSetUpStoredAndPrinted) {
    const Built qr = twoD("HELLO", BC_QRCODE_MODEL2);
    ASSERT_EQ(qr.result, OVL_SUCCESS);
    EXPECT_EQ(qr.bytes, (Bytes{0x1B, 0x61, 0x00, 0x1D, 0x28, 0x6B, 0x04, 0x00, 0x31, 0x41, 0x32, 0x00, 0x1D, 0x28,
                               0x6B, 0x03, 0x00, 0x31, 0x43, 0x03, 0x1D, 0x28, 0x6B, 0x08, 0x00, 0x31, 0x50, 0x30,
                               0x48, 0x45, 0x4C, 0x4C, 0x4F, 0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x51, 0x30}));
    // Model 1, module size limited to 8.
    const Built model1 = twoD("HELLO", BC_QRCODE_MODEL1, 20, 1, 2);
    EXPECT_EQ(Bytes(model1.bytes.begin(), model1.bytes.begin() + 20),
              (Bytes{0x1B, 0x61, 0x02, 0x1D, 0x28, 0x6B, 0x04, 0x00, 0x31, 0x41,
                     0x31, 0x00, 0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x43, 0x08}));
}

TEST(BarcodeCommands, TwoDimensionalSettingsPerSymbology) {
    // The setting commands between the alignment and the store command.
    auto settings = [](const Built& built) {
        const Bytes store{0x1D, 0x28, 0x6B};
        auto at = std::search(built.bytes.begin() + 3, built.bytes.end(), store.begin(), store.end());
        Bytes out;
        while (at != built.bytes.end() && at[6] != 0x50) {
            out.insert(out.end(), at + 5, at + 8); // cn, fn, value
            at += 8;
        }
        return out;
    };
    EXPECT_EQ(settings(twoD("DATA", BC_PDF417, 2)),
              (Bytes{0x30, 0x41, 0, 0x30, 0x42, 0, 0x30, 0x43, 2, 0x30, 0x44, 3}));
    EXPECT_EQ(settings(twoD("DATA", BC_PDF417, 5)),
              (Bytes{0x30, 0x41, 0, 0x30, 0x42, 0, 0x30, 0x43, 3, 0x30, 0x44, 3}));
    EXPECT_EQ(settings(twoD("DATA", BC_DATAMATRIX, 1)), (Bytes{0x33, 0x43, 2}));
    EXPECT_EQ(settings(twoD("DATA", BC_DATAMATRIX, 9)), (Bytes{0x33, 0x43, 6}));
    EXPECT_EQ(settings(twoD("DATA", BC_MAXICODE_MODE3)), (Bytes{0x32, 0x41, 0x33}));
    EXPECT_EQ(settings(twoD("0123456789012|99", BC_GS1DATABAR_RSS14, 30, 0)),
              (Bytes{0x34, 0x41, 0x32, 0x34, 0x43, 22, 0x34, 0x46, 1}));
    EXPECT_EQ(settings(twoD("0123456789012|99", BC_GS1DATABAR_EXPANDED, 1, 5)),
              (Bytes{0x34, 0x41, 0x37, 0x34, 0x43, 2, 0x34, 0x46, 2}));
    EXPECT_EQ(settings(twoD("012345678901|99", 219, 300, 2)),
              (Bytes{0x34, 0x41, 0x3D, 0x34, 0x44, 255, 0x34, 0x46, 2}));
}

TEST(BarcodeCommands, MaxiCodeStoresItsPrimaryMessageFirst) {
    const Built mode2 = twoD("X", BC_MAXICODE_MODE2);
    const Bytes prefix{0x5B, 0x29, 0x3E, 0x1E, 0x30, 0x31, 0x1D, 0x39, 0x36, 0x31, 0x32, 0x33, 0x34, 0x35,
                       0x36, 0x37, 0x38, 0x39, 0x1D, 0x30, 0x30, 0x37, 0x1D, 0x32, 0x35, 0x30, 0x1D};
    EXPECT_EQ(mode2.bytes, concat({{0x1B, 0x61, 0x00, 0x1D, 0x28, 0x6B, 0x03, 0x00, 0x32, 0x41, 0x32},
                                   {0x1D, 0x28, 0x6B, 31, 0x00, 0x32, 0x50, 0x30},
                                   prefix,
                                   {'X', 0x1D, 0x28, 0x6B, 0x03, 0x00, 0x32, 0x51, 0x30}}));
    const Built mode4 = twoD("X", BC_MAXICODE_MODE4);
    EXPECT_EQ(Bytes(mode4.bytes.begin() + 19, mode4.bytes.begin() + 26),
              (Bytes{0x45, 0x1D, 0x37, 0x1D, 0x35, 0x1D, 'X'}));
    // Cut to 1023 stored bytes.
    const Built mode3 = twoD(std::string(2000, 'Z'), BC_MAXICODE_MODE3);
    ASSERT_EQ(mode3.result, OVL_SUCCESS);
    EXPECT_EQ(mode3.bytes[11 + 3], (1023 + 3) & 0xFF);
    EXPECT_EQ(mode3.bytes[11 + 4], (1023 + 3) >> 8);
    EXPECT_EQ(mode3.bytes.size(), 11u + 8 + 1023 + 8);
}

TEST(BarcodeCommands, TwoDimensionalRefusals) {
    EXPECT_EQ(twoD("DATA", 201).result, OVL_BC_NOT_SUPPORT);
    EXPECT_EQ(twoD("DATA", 199).result, OVL_BC_NOT_SUPPORT);
    EXPECT_EQ(twoD("DATA", 220).result, OVL_BC_NOT_SUPPORT);
    EXPECT_EQ(twoD("DATA", BC_QRCODE_MODEL2, 3, 1, 0, 30).result, OVL_BC_DATA_ERROR); // 32 bytes to write
    EXPECT_EQ(twoD("DATA", BC_QRCODE_MODEL2, 3, 1, 0, 40).result, OVL_SUCCESS);
    EXPECT_EQ(twoD(std::string(70000, 'A'), BC_PDF417, 3, 1, 0, 80000).result, OVL_BC_DATA_ERROR);
}

TEST(BarcodeCommands, ModelNumberFromTheModelNameReply) {
    const std::vector<std::pair<std::string, unsigned long>> table{
        {"_MPP-R200", 200}, {"_MPP-R300", 300}, {"_MPP-R400", 0}, {"_MPP-X200", 0}, {"_EMP220", 220}, {"_EMX22", 220},
        {"_EM-21", 0},      {"MPP-R200", 0},    {"_", 0},         {"", 0},          {"_TRP-350", 0},
    };
    for (const auto& [name, model] : table) EXPECT_EQ(GetModel(name), model) << name;
}

TEST(BarcodeCommands, ChecksumIsTheInternetChecksumStoredHighByteFirst) {
    const Bytes one{0x00, 0x01};
    EXPECT_EQ(Checksum(one.data(), 2), 0xFEFF);
    // RFC 1071's example: the sum of 0001 f203 f4f5 f6f7 is ddf2, its complement 220d.
    const Bytes rfc{0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
    EXPECT_EQ(Checksum(rfc.data(), 8), 0x0D22);
    const Bytes odd{0x12, 0x34, 0x56};
    EXPECT_EQ(Checksum(odd.data(), 3), 0xCB97); // 1234 + 5600 (padded) = 6834, complement 97cb

    Bytes packet{0x12, 0x34, 0x56};
    EXPECT_EQ(CreateChecksum(packet), 6);
    EXPECT_EQ(packet.size(), 6u);
    EXPECT_EQ(packet[3], 0x00);
    EXPECT_EQ(Checksum(packet.data(), 6), 0);
    Bytes even{0x00, 0x01};
    EXPECT_EQ(CreateChecksum(even), 4);
    EXPECT_EQ(even, (Bytes{0x00, 0x01, 0xFF, 0xFE}));
}

TEST(BarcodeCommands, SupportTableKeepsTheOrderEntriesWereAdded) {
    OVBarcodeInfo info;
    EXPECT_TRUE(info.addObjectWithBarcode(101, "UPC-A", true));
    EXPECT_TRUE(info.addObjectWithBarcode(208, "GS1Databar-RSS14", false));
    EXPECT_TRUE(info.addObjectWithBarcode(208, "GS1Databar-UPCA", false));
    ASSERT_EQ(info.getSuppotList().size(), 3u);
    EXPECT_EQ(info.getSuppotList()[0].name, "UPC-A");
    EXPECT_TRUE(info.getSuppotList()[0].support);
    EXPECT_EQ(info.getSuppotList()[2].barNumber, 208);
    EXPECT_EQ(info.getSuppotList()[2].name, "GS1Databar-UPCA");
    EXPECT_TRUE(info.clearObject());
    EXPECT_TRUE(info.getSuppotList().empty());
}
