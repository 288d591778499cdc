#include "devices/MSRMediator.h"
#include "devices/OrvanPrinter.h"
#include "platform/accessory/AccessoryManager.h"
#include "platform/foundation/AlertSink.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "support/LogLines.h"
#include "support/NetworkNamespace.h"
#include "support/PrinterPeer.h"
#include "support/RunMainUntil.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iconv.h>
#include <map>
#include <sstream>

using namespace tavlo;
using printerlib::OVPrinter;
using printerlib::OVPrinterController;
using test::PrinterBytes;

namespace {

class OrvanAlerts : public AlertSink {
public:
    void showAlert(const std::string& title, const std::string& message, const std::string& button) override {
        alerts.push_back(title + "|" + message + "|" + button);
    }
    std::vector<std::string> alerts;
};

// A driver over a controller of the test's own, whose discovery listens on free ports.
class OrvanPrinterTest : public ::testing::Test {
protected:
    static OVPrinterController& quietController(OVPrinterController& controller) {
        controller.setLookupLocalPort(0);
        controller.setLookupLocalPortEthernet(0);
        controller.setBroadcastAddress("127.0.0.1"); // the search stays on this machine
        return controller;
    }
    void SetUp() override { RunLoop::main().reset(); }
    void TearDown() override { RunLoop::main().reset(); }

    ScopedScaledClock clock{10.0};
    test::TempHome home;
    OVPrinterController controller;
    OrvanPrinter printer{quietController(controller)};
};

TEST_F(OrvanPrinterTest, StartsTheLibraryKeepingTheConnection) {
    EXPECT_NE(controller.delegate(), nullptr);
    EXPECT_EQ(controller.AutoConnection(), printerlib::iController::kKeepConnection);
    EXPECT_EQ(controller.lookupCount(), 5);
    EXPECT_EQ(controller.state(), 0); // opened
    EXPECT_EQ(printer.type(), PrinterStream::kLibraryType);
}

struct SizeCase {
    const char* name;
    std::function<void(OrvanPrinter&)> call;
    long textSize; // -1: unchanged from 7
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

class OrvanPrinterSizes : public OrvanPrinterTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(OrvanPrinterSizes, MapToTheLibrarysTextSize) {
    controller.setTextSize(7);
    GetParam().call(printer);
    EXPECT_EQ(controller.textSize(), GetParam().textSize < 0 ? 7 : GetParam().textSize);
}

INSTANTIATE_TEST_SUITE_P(Calls, OrvanPrinterSizes,
                         ::testing::Values(SizeCase{"width1", [](OrvanPrinter& p) { p.setCharWidth(1); }, 0},
                                           SizeCase{"width2", [](OrvanPrinter& p) { p.setCharWidth(2); }, 16},
                                           SizeCase{"width3", [](OrvanPrinter& p) { p.setCharWidth(3); }, 32},
                                           SizeCase{"width4", [](OrvanPrinter& p) { p.setCharWidth(4); }, -1},
                                           SizeCase{"height2", [](OrvanPrinter& p) { p.setCharHeight(2); }, 1},
                                           SizeCase{"height3", [](OrvanPrinter& p) { p.setCharHeight(3); }, 2},
                                           SizeCase{"height0", [](OrvanPrinter& p) { p.setCharHeight(0); }, -1},
                                           SizeCase{"doubleWidth", [](OrvanPrinter& p) { p.setFontAttribute(32); }, 16},
                                           SizeCase{"doubleHeight", [](OrvanPrinter& p) { p.setFontAttribute(16); }, 1},
                                           SizeCase{"normal", [](OrvanPrinter& p) { p.setFontAttribute(0); }, 0},
                                           SizeCase{"both", [](OrvanPrinter& p) { p.setFontAttribute(48); }, -1}),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(OrvanPrinterTest, StyleBitsAndFontShareTheAttribute) {
    printer.setEmphasized(false);
    EXPECT_EQ(controller.attribute(), 0);
    printer.setEmphasized(true);
    printer.setUnderline(true);
    EXPECT_EQ(controller.attribute(), 2 | 4);
    printer.setUnderline(false);
    printer.setReversePrint(true);
    EXPECT_EQ(controller.attribute(), 2 | 8);
    printer.setFont(1); // the whole attribute is replaced
    EXPECT_EQ(controller.attribute(), 1);
    printer.setFont(2);
    EXPECT_EQ(controller.attribute(), 1);
    printer.setJustification(2);
    printer.setJustification(3);
    EXPECT_EQ(controller.alignment(), 2);
}

TEST_F(OrvanPrinterTest, ALowerCaseConnectionTypeIsBluetooth) {
    printer.setUrl(std::string("00:11:22:AA:BB:CC"));
    printer.setConnectionType(std::string("tcp"));
    Error error;
    EXPECT_FALSE(printer.open(&error)); // no such accessory
    EXPECT_TRUE(error.isSet());
    ASSERT_TRUE(controller.target());
    EXPECT_EQ(controller.target()->connectionClass(), OVPrinter::Bluetooth);
    EXPECT_EQ(controller.target()->macAddress(), std::optional<std::string>("00:11:22:AA:BB:CC"));
    EXPECT_FALSE(controller.target()->address());
}

TEST_F(OrvanPrinterTest, AShortUrlKeepsTheTargetDiscoveryFound) {
    auto found = std::make_shared<OVPrinter>();
    controller.setTarget(found);
    printer.setUrl(std::string("abc"));
    EXPECT_FALSE(printer.connect());
    EXPECT_EQ(controller.target(), found);
}

TEST_F(OrvanPrinterTest, TheLibrarysMessagesAreLoggedAndShown) {
    auto alerts = std::make_shared<OrvanAlerts>();
    AlertSink::install(alerts);
    test::PrinterPeer peer;
    peer.setReply({0x1D, 0x49, 0x43}, {'_', 'X', 'Y', 'Z', '-', '9', 0x00});
    auto target = std::make_shared<OVPrinter>();
    target->setAddress(std::string("127.0.0.1"));
    target->setPort(static_cast<uint16_t>(peer.port()));
    target->setConnectionClass(OVPrinter::Tcp);
    controller.setTarget(target);
    EXPECT_EQ(controller.selectTarget(), printerlib::OVL_READ_ERROR);
    ASSERT_TRUE(test::runMainUntil([&] { return !alerts->alerts.empty(); }));
    EXPECT_EQ(alerts->alerts, std::vector<std::string>{"Orvan|[ERROR] printer name is invalid.|OK"});
    EXPECT_TRUE(test::logged("Orvan message: [ERROR] printer name is invalid."));
    AlertSink::install(nullptr);
}

// --- end to end, in a network namespace of the test's own: the printer at 127.0.0.1:9100

constexpr uint8_t STX = 0x02, ETX = 0x03, FS = 0x1C, CR = 0x0D, LF = 0x0A;
const std::string kTrack2 = ";4111111111111111=25121010000000000000?";
const std::string kSecondTrack2 = ";5500005555555559=26011010000000000000?";

PrinterBytes trackTwoRecord(const std::string& track) {
    std::string record{static_cast<char>(STX), 'B', '1', '1', static_cast<char>(FS)};
    record += track;
    record += {static_cast<char>(ETX), static_cast<char>(CR), static_cast<char>(LF)};
    return PrinterBytes(record.begin(), record.end());
}

bool contains(const PrinterBytes& bytes, const std::string& text, size_t from = 0, size_t* at = nullptr) {
    auto found = std::search(bytes.begin() + static_cast<long>(std::min(from, bytes.size())), bytes.end(), text.begin(),
                             text.end());
    if (at) *at = static_cast<size_t>(found - bytes.begin());
    return found != bytes.end();
}

size_t occurrences(const PrinterBytes& bytes, const PrinterBytes& part) {
    size_t count = 0;
    for (auto at = bytes.begin(); (at = std::search(at, bytes.end(), part.begin(), part.end())) != bytes.end(); ++at)
        ++count;
    return count;
}

// The text of a printed line, read back in the code table its block selected last (ESC t n).
std::string readBack(const PrinterBytes& block) {
    static const std::map<int, const char*> charsets{
        {0, "CP437"},  {2, "CP850"},  {3, "CP860"},   {4, "CP863"},   {5, "CP865"},   {16, "CP1252"}, {17, "CP866"},
        {18, "CP852"}, {19, "CP858"}, {45, "CP1250"}, {46, "CP1251"}, {47, "CP1253"}, {48, "CP1254"}, {51, "CP1257"}};
    const PrinterBytes select{0x1B, 0x74};
    auto last = std::find_end(block.begin(), block.end(), select.begin(), select.end());
    if (last == block.end() || block.end() - last < 3) return "(no code table)";
    auto charset = charsets.find(last[2]);
    if (charset == charsets.end()) return "(unknown code table " + std::to_string(last[2]) + ")";
    std::string bytes(last + 3, block.end());
    iconv_t converter = iconv_open("UTF-8", charset->second);
    std::string out(bytes.size() * 4, '\0');
    char* in = bytes.data();
    size_t inLeft = bytes.size();
    char* to = out.data();
    size_t outLeft = out.size();
    iconv(converter, &in, &inLeft, &to, &outLeft);
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return out;
}

TEST_F(OrvanPrinterTest, ReceiptTextBeyondAsciiIsPrintedInACodePageThatHoldsIt) {
    test::PrinterPeer peer;
    peer.setReply({0x1D, 0x49, 0x43}, {'_', 'M', 'P', 'P', '-', 'R', '3', '0', '0', 0x00});
    auto target = std::make_shared<OVPrinter>();
    target->setAddress(std::string("127.0.0.1"));
    target->setPort(static_cast<uint16_t>(peer.port()));
    target->setConnectionClass(OVPrinter::Tcp);
    controller.setTarget(target);
    ASSERT_EQ(controller.selectTarget(), printerlib::OVL_SUCCESS);
    Error error;
    ASSERT_TRUE(printer.open(&error));

    const std::vector<std::pair<std::string, std::string>> lines{
        {"\xC3\xA9 \xC2\xA3 \xC3\xBC \xC3\xB1", "\xC3\xA9 \xC2\xA3 \xC3\xBC \xC3\xB1"}, // é £ ü ñ
        {"Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
         "e  \xE2\x82\xAC"
         "4.50",
         "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
         "e  \xE2\x82\xAC"
         "4.50"},                                                                 // euro
        {"\xD0\x91\xD0\xBE\xD1\x80\xD1\x89", "\xD0\x91\xD0\xBE\xD1\x80\xD1\x89"}, // Cyrillic
        {"\xED\x95\x9C caf\xC3\xA9", "? caf\xC3\xA9"}, // no code page holds the Korean syllable
    };
    for (const auto& [line, printed] : lines) printer.writeLine(line);
    printer.close();
    ASSERT_TRUE(peer.waitUntil([&] { return occurrences(peer.received(), {CR, LF}) >= lines.size(); }));
    PrinterBytes received = peer.received();
    const PrinterBytes lineEnd{CR, LF};
    auto from = received.begin();
    for (const auto& [line, printed] : lines) {
        auto end = std::search(from, received.end(), lineEnd.begin(), lineEnd.end());
        ASSERT_NE(end, received.end());
        EXPECT_EQ(readBack(PrinterBytes(from, end)), printed);
        from = end + 2;
    }
}

// Plays a receipt's transcript on the printer; answers its text lines in order.
std::vector<std::string> replay(const std::string& transcript, PrinterStream& printer) {
    std::vector<std::string> lines;
    std::istringstream in(transcript);
    for (std::string line; std::getline(in, line);) {
        if (line == "|" || line.rfind("| ", 0) == 0) {
            std::string text = line.size() > 2 ? line.substr(2) : "";
            printer.writeLine(text);
            lines.push_back(text);
            continue;
        }
        std::istringstream words(line.substr(std::min<size_t>(2, line.size())));
        std::string name, extra;
        int value = 0;
        words >> name >> value >> extra;
        if (name == "justification") printer.setJustification(value);
        else if (name == "emphasized") printer.setEmphasized(value != 0);
        else if (name == "fontAttribute") printer.setFontAttribute(value);
        else if (name == "reset") printer.reset();
        else if (name == "feed") printer.feed(value, extra == "cut");
        else ADD_FAILURE() << "the replay does not know " << line;
    }
    return lines;
}

void endToEnd() {
    ScopedScaledClock clock(10.0);
    test::TempHome home;
    RunLoop::main().reset();
    test::PrinterPeer peer(OrvanPrinter::kNetworkPort);
    peer.setReply({0x1D, 0x49, 0x43}, {'_', 'M', 'P', 'P', '-', 'R', '3', '0', '0', 0x00});

    // As the sign-in screen makes it: the driver, then its settings; discovery ends by connecting.
    std::shared_ptr<OrvanPrinter> printer = OrvanPrinter::getInstance();
    printer->setDebug(true);
    printer->setUrl(std::string("127.0.0.1"));
    printer->setConnectionType(std::string("TCP"));
    ASSERT_TRUE(test::runMainUntil([&] { return printer->isConnected(); }));
    EXPECT_TRUE(test::logged("didLookupPrinters"));
    EXPECT_EQ(OVPrinterController::getInstance().target()->modelStr(), std::optional<std::string>("MPP-R300"));
    EXPECT_EQ(OVPrinterController::getInstance().target()->port(), OrvanPrinter::kNetworkPort);

    // A receipt.
    std::ifstream file(std::string(TAVLO_FIXTURES_DIR) + "/receipts/receipt_42.txt");
    std::string transcript((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(transcript.empty());
    Error error;
    ASSERT_TRUE(printer->open(&error));
    std::vector<std::string> lines = replay(transcript, *printer);
    printer->close();
    // Every line, and the three of the feed.
    ASSERT_TRUE(peer.waitUntil([&] { return occurrences(peer.received(), {CR, LF}) == lines.size() + 3; }));
    PrinterBytes printed = peer.received();
    size_t at = 0;
    for (const std::string& line : lines) {
        ASSERT_TRUE(contains(printed, line + "\r\n", at, &at))
            << "missing or out of order: " << line << " in " << std::string(printed.begin(), printed.end());
        at += line.size();
    }

    // The drawer.
    EXPECT_TRUE(printer->openDrawer(1));
    EXPECT_TRUE(peer.waitUntil([&] {
        return occurrences(peer.received(), {0x1B, 0x70, 0x01, 0x64, 0x90, 0x00}) == 1;
    }));

    // Swipes, while a screen is registered with the mediator of the reader type "orvan".
    OrvanPrinter::installCardReader();
    MSRMediator mediator(std::string("orvan"));
    std::vector<std::string> swipes;
    int marker = 0;
    mediator.registerObserver(&marker, [&](const Notification& note) {
        if (note.name == kMsrReceivedDataNotification) {
            const auto* data = std::any_cast<std::string>(&note.object);
            swipes.push_back(data ? *data : "");
        }
    });
    const PrinterBytes arm{0x1B, 0x4D, 0x42};
    ASSERT_TRUE(peer.waitUntil([&] { return occurrences(peer.received(), arm) == 1; }));
    ASSERT_TRUE(peer.sendToClient(trackTwoRecord(kTrack2)));
    ASSERT_TRUE(test::runMainUntil([&] { return swipes.size() == 1; }));
    EXPECT_EQ(swipes[0], kTrack2 + "\x1C");
    // Armed again for the next card.
    ASSERT_TRUE(peer.waitUntil([&] { return occurrences(peer.received(), arm) == 2; }));
    ASSERT_TRUE(test::runMainUntil([&] { return OVPrinterController::getInstance().msrIsReady(); }));
    ASSERT_TRUE(peer.sendToClient(trackTwoRecord(kSecondTrack2)));
    ASSERT_TRUE(test::runMainUntil([&] { return swipes.size() == 2; }));
    EXPECT_EQ(swipes[1], kSecondTrack2 + "\x1C");
    mediator.unregisterObserver(&marker);
    EXPECT_TRUE(peer.waitUntil([&] { return occurrences(peer.received(), {0x1B, 0x4D, 0x63}) >= 1; }));

    std::string log = test::logText();
    EXPECT_NE(log.find("TRACK2: "), std::string::npos) << "the swipe is logged, by its length";
    EXPECT_EQ(log.find("4111111111111111"), std::string::npos) << log;
    EXPECT_EQ(log.find("5500005555555559"), std::string::npos) << log;
    PrinterCardReader::setMaker(nullptr);
    OVPrinterController::getInstance().disconnect();
}

TEST(OrvanPrinterEndToEnd, PrintsKicksTheDrawerAndReadsCardsAfterCard) {
    test::NamespaceRun run = test::runInNetworkNamespace([] { return test::bringLoopbackUp(); }, endToEnd);
    if (!run.unavailable.empty()) GTEST_SKIP() << "no network namespace of the test's own: " << run.unavailable;
    EXPECT_EQ(run.exitCode, 0) << "the printer in its namespace failed (see its output above)";
}

} // namespace
