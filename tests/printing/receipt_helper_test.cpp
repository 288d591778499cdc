// Receipt, slip and ticket layout, read as printer transcripts and compared with golden files in
// tests/fixtures/receipts (TAVLO_UPDATE_GOLDEN=1 writes them after a change one has read).
#include "EscPosDecoder.h"
#include "core/order/ComboSelection.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "printing/EscPosPrinter.h"
#include "printing/ReceiptHelper.h"
#include "support/GoldenText.h"
#include "support/LoopbackPrinter.h"
#include "support/SalesDay.h"
#include "support/StoreFixture.h"
#include "support/TimeZoneScope.h"
#include "support/TranscriptPrinterStream.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

namespace tavlo {
namespace {

using namespace test::salesday;

std::vector<std::string> transcriptLines(const std::string& transcript) {
    std::vector<std::string> lines;
    std::istringstream in(transcript);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The signature pad's picture of a signature, as stored with the payment.
std::vector<uint8_t> signature() {
    std::ifstream in(std::string(TAVLO_FIXTURES_DIR) + "/images/signature-40x20.jpg", std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class ReceiptTest : public ::testing::Test {
protected:
    void SetUp() override {
        store.buildSmallStore();
        addMenu(*store.context());
        for (const auto& [name, value] :
             {std::pair{"IPHONE_STORE_ADDRESS", "12 Front Street"}, std::pair{"IPHONE_STORE_ZIP", "97301"},
              std::pair{"IPHONE_STORE_TELEPHONE", "503-555-0100"}, std::pair{"IPHONE_STORE_FAX", "503-555-0101"},
              std::pair{"IPHONE_STORE_WEB_SITE", "bistro.example"}})
            store.addStoreParam(name, std::string(value));
        ManagedObjectPtr customer = context()->insert("Customer");
        for (const auto& [key, value] :
             {std::pair{"customerId", "C1"}, std::pair{"firstName", "Rosa"}, std::pair{"lastName", "Diaz"},
              std::pair{"company", "Diaz Design"}, std::pair{"street", "7 Elm Road"}, std::pair{"city", "Salem"},
              std::pair{"state", "OR"}, std::pair{"postalCode", "97302"}, std::pair{"mobile", "503-555-0199"},
              std::pair{"directions", "Side door by the blue fence, ring twice, upstairs"}})
            customer->setValue(key, std::string(value));
        store.save();
        session = std::make_shared<Session>(context());
        session->setUserId("U-ANN");
    }

    ObjectContext* context() { return store.context().get(); }
    void setConfig(const std::string& name, const std::string& value) {
        DBHelper::saveStoreParam(name, value, context());
        store.save();
    }

    // Table 1 for two, served by Ann: two burgers with extra cheese and fries on the side, a soda
    // with a 10 % comp, and a lunch combo of a burger and a soda.
    std::unique_ptr<Order> tableOrder() {
        auto o = order("o1", "Table 1", OrderType::DineIn, 2, std::string("L1"));
        o->setOrderId(std::string("1042"));
        o->setServerId(std::string("U-ANN"));
        SelectionPtr burger = line("o1-1", "r-burger", "Burger", 1200, 2);
        burger->addPreparation(Preparation(std::string("p-cheese"), 100));
        burger->addSide(line("o1-1s", "r-fries", "Fries", 400));
        o->addSelection(burger, nullptr);
        SelectionPtr soda = line("o1-2", "r-soda", "Soda", 250);
        soda->setCompName(std::string("Manager"));
        soda->setCompBy(std::string("U-BOB"));
        soda->setCompPercent(1000);
        o->addSelection(soda, nullptr);
        auto combo = std::make_shared<ComboSelection>();
        combo->setRemoteId("o1-3");
        combo->setName(std::string("Lunch combo"));
        combo->setPrice(1500);
        combo->addSelection(line("o1-3a", "r-burger", "Burger", 0));
        combo->addSelection(line("o1-3b", "r-soda", "Soda", 0), "drinks");
        o->addSelection(combo, nullptr);
        return o;
    }

    std::string print(const std::function<void(PrinterStream&)>& write) {
        test::TranscriptPrinterStream stream;
        write(stream);
        return stream.transcript();
    }
    std::string receipt(const Order& o) {
        return print([&](PrinterStream& s) { ReceiptHelper::printReceipt(o, *session, nullptr, s); });
    }
    std::string slip(const Payment& p, const Order& o, bool merchant = false, bool reprint = false) {
        return print(
            [&](PrinterStream& s) { ReceiptHelper::printPayment(p, o, merchant, reprint, *session, nullptr, s); });
    }

    test::TimeZoneScope zone{"UTC"};
    ScopedFakeClock clock{Date(1'700'000'000)};
    test::StoreFixture store;
    std::shared_ptr<Session> session;
};

TEST_F(ReceiptTest, TheReceiptAt42And32Characters) {
    auto o = tableOrder();
    const std::string wide = receipt(*o);
    EXPECT_TRUE(test::matchesGoldenText(wide, "receipts/receipt_42.txt"));
    // Totals in double width on 21 columns; the rate as a percentage.
    EXPECT_NE(wide.find("~ fontAttribute 32\n| SubTotal:      $51.50\n"), std::string::npos);
    EXPECT_NE(wide.find("| Tax (8.25%):    $4.23\n"), std::string::npos);
    EXPECT_NE(wide.find("|     Manager (10.00%)\n"), std::string::npos);

    setConfig("TS_RECEIPT_PRINTER_CHARS_PER_LINE", "32");
    const std::string narrow = receipt(*o);
    EXPECT_TRUE(test::matchesGoldenText(narrow, "receipts/receipt_32.txt"));
    EXPECT_EQ(narrow.find("~ fontAttribute 32"), std::string::npos);
    for (const std::string& line : transcriptLines(narrow)) {
        if (line.rfind("| ", 0) == 0) { EXPECT_LE(line.size() - 2, 32u) << line; }
    }
}

TEST_F(ReceiptTest, CreditSlips) {
    auto o = tableOrder();
    struct Case {
        const char* golden;
        int32_t tip;
        bool hideTip;
    };
    for (const Case& c : {Case{"receipts/credit_no_tip.txt", 0, false}, Case{"receipts/credit_tip.txt", 900, false},
                          Case{"receipts/credit_tip_hidden.txt", 900, true}}) {
        SCOPED_TRACE(c.golden);
        setConfig("HIDE_TIP_LINE", c.hideTip ? "YES" : "NO");
        auto p = payment("o1-p", Payment::kCredit, o->getTotal(), c.tip, 0, 0, std::string("VISA"));
        p->setNumber(std::string("4242"));
        p->setApproval(std::string("A7781"));
        p->setRefNum(std::string("R-55"));
        p->setName(std::string("ROSA DIAZ"));
        const std::string text = slip(*p, *o);
        EXPECT_TRUE(test::matchesGoldenText(text, c.golden));
        EXPECT_EQ(text.find("| Tip ") != std::string::npos, !c.hideTip);
        EXPECT_EQ(text.find("| Total ") != std::string::npos, !c.hideTip);
        // A payment of the whole order carries the order's tax, tip or not.
        EXPECT_NE(text.find("| Tax: $4.23\n"), std::string::npos);
    }
}

TEST_F(ReceiptTest, ACashSlipShowsTenderedAppliedAndChange) {
    auto o = tableOrder();
    auto p = payment("o1-p", Payment::kCash, 1500, 0, 0, 500);
    const std::string text = slip(*p, *o);
    EXPECT_TRUE(test::matchesGoldenText(text, "receipts/cash_slip.txt"));
    EXPECT_NE(text.find("| Tendered       $20.00\n| Applied        $15.00\n| Change Due      $5.00\n"),
              std::string::npos);
}

TEST_F(ReceiptTest, ReprintAndVoidBanners) {
    auto o = tableOrder();
    auto p = payment("o1-p", Payment::kCredit, o->getTotal(), 0, 0, 0, std::string("VISA"));
    p->voidPayment(std::string("U-BOB"));
    const std::string text = slip(*p, *o, false, true);
    EXPECT_TRUE(test::matchesGoldenText(text, "receipts/reprint_void.txt"));
    EXPECT_LT(text.find("| ******REPRINT******"), text.find("| ******VOID******"));
}

TEST_F(ReceiptTest, OnlyTheMerchantCopyCarriesTheSignature) {
    auto o = tableOrder();
    auto p = payment("o1-p", Payment::kCredit, o->getTotal(), 500, 0, 0, std::string("VISA"));
    p->setCaptured(signature());
    const std::string merchant = slip(*p, *o, true);
    EXPECT_TRUE(test::matchesGoldenText(merchant, "receipts/merchant_signature.txt"));
    EXPECT_NE(merchant.find("~ image 40x20\n~ feed 6 cut\n"), std::string::npos);
    const std::string customer = slip(*p, *o, false);
    EXPECT_EQ(customer.find("~ image"), std::string::npos);
    EXPECT_NE(customer.find("~ feed 3 cut"), std::string::npos);

    // A picture that does not decode is left out, and so is its room.
    p->setCaptured(std::vector<uint8_t>{0xFF, 0xD8, 0x00});
    const std::string broken = slip(*p, *o, true);
    EXPECT_EQ(broken.find("~ image"), std::string::npos);
    EXPECT_NE(broken.find("~ feed 3 cut"), std::string::npos);
}

TEST_F(ReceiptTest, FooterLinesPrintInTheOrderOfTheirNames) {
    for (const auto& [name, value] :
         {std::pair{"RECEIPT_FOOTER_LINE_1", "Thank you"}, std::pair{"RECEIPT_FOOTER_LINE_2", "Come again"},
          std::pair{"RECEIPT_FOOTER_LINE_10", "Open daily 11-10"}})
        setConfig(name, value);
    const std::string text = receipt(*tableOrder());
    EXPECT_TRUE(test::matchesGoldenText(text, "receipts/receipt_footer.txt"));
    EXPECT_NE(text.find("| Thank you\n| Open daily 11-10\n| Come again\n|\n~ feed 3 cut\n"), std::string::npos);
}

TEST_F(ReceiptTest, TheTipGuideOnTheReceiptAndOnACreditSlip) {
    setConfig("PRINT_TIP_GUIDE", "YES");
    setConfig("PAYMENT_TIP_PERCENTAGE_1", "15");
    setConfig("PAYMENT_TIP_PERCENTAGE_2", "20");
    auto o = tableOrder(); // subtotal $51.50, tax $4.23
    const std::string guide = "| TIP GUIDE\n|\n~ emphasized 0\n~ justification 0\n";
    std::string text = receipt(*o);
    EXPECT_NE(text.find(guide + "| 15%: $7.73\n| 20%: $10.30\n"), std::string::npos) << text;

    // After tax, on the card slip (the cash slip has none).
    setConfig("TIP_AND_GRATUITY_AFTER_TAX", "YES");
    setConfig("PAYMENT_TIP_PERCENTAGE_2", "0");
    text = slip(*payment("o1-p", Payment::kCredit, o->getTotal(), 0, 0, 0, std::string("VISA")), *o);
    EXPECT_NE(text.find(guide + "| 15%: $8.36\n~ feed 3 cut\n"), std::string::npos) << text;
    EXPECT_EQ(slip(*payment("o1-p", Payment::kCash, 1500), *o).find("TIP GUIDE"), std::string::npos);
}

TEST_F(ReceiptTest, DeliveryDirectionsAreWrappedToTheWidth) {
    auto o = order("o4", "Delivery 4", OrderType::Delivery, 0, std::nullopt);
    o->setCustomerId(std::string("C1"));
    o->addSelection(line("o4-1", "r-burger", "Burger", 1200), nullptr);
    const std::string text = receipt(*o);
    EXPECT_TRUE(test::matchesGoldenText(text, "receipts/delivery.txt"));
    // 50 characters on 42: 42 and 8.
    EXPECT_NE(text.find("|\n| Side door by the blue fence, ring twice, u\n| pstairs\n|\n"), std::string::npos);
}

TEST_F(ReceiptTest, ClockTicketsTheTestPageAndAReport) {
    const Date in(1'699'990'000), out(1'700'000'000);
    EXPECT_TRUE(test::matchesGoldenText(print([&](PrinterStream& s) {
                                            ReceiptHelper::printClockIn(std::string("Ann Marie Lee"), std::nullopt, in,
                                                                        1, nullptr, context(), s);
                                        }),
                                        "receipts/clock_in.txt"));
    EXPECT_TRUE(test::matchesGoldenText(print([&](PrinterStream& s) {
                                            ReceiptHelper::printClockOut(std::string("Ann Marie Lee"), std::nullopt, in,
                                                                         out, 0, nullptr, context(), s);
                                        }),
                                        "receipts/clock_out.txt"));
    EXPECT_TRUE(test::matchesGoldenText(print([&](PrinterStream& s) {
                                            ReceiptHelper::printTest(std::string("Front"),
                                                                     std::string("receipt.local:9100"), 0, nullptr, s);
                                        }),
                                        "receipts/test_page.txt"));
    EXPECT_TRUE(test::matchesGoldenText(print([&](PrinterStream& s) {
                                            ReceiptHelper::printReport("Sales Status", std::string("Corner Bistro"),
                                                                       std::string("Ann Marie Lee"),
                                                                       {"GROSS   $12.00", "", "NET   $11.00"}, 2,
                                                                       nullptr, s);
                                        }),
                                        "receipts/report.txt"));
}

// The merchant's slip with its signature, sent to a network printer on loopback: the bytes that
// arrive, read back into printer calls, are the slip's transcript.
TEST_F(ReceiptTest, TheNetworkPrinterGetsTheBytesOfTheTranscript) {
    auto o = tableOrder();
    auto p = payment("o1-p", Payment::kCredit, o->getTotal(), 500, 0, 0, std::string("VISA"));
    p->setCaptured(signature());
    const std::string transcript = slip(*p, *o, true);
    ASSERT_TRUE(test::matchesGoldenText(transcript, "receipts/merchant_signature.txt"));

    test::LoopbackPrinter device;
    EscPosPrinter printer(device.url(), 5);
    Error error;
    ASSERT_TRUE(printer.open(&error)) << error.localizedDescription();
    ReceiptHelper::printPayment(*p, *o, true, false, *session, nullptr, printer);
    printer.close();
    EXPECT_FALSE(printer.writeFailed());
    const std::vector<std::string> jobs = device.jobs(1);
    ASSERT_EQ(jobs.size(), 1u);

    test::TranscriptPrinterStream decoded;
    std::string why;
    ASSERT_TRUE(printersim::decodeEscPos(jobs[0], decoded, &why)) << why;
    // The picture travels in whole bands of 24 dot rows.
    std::string want = transcript;
    want.replace(want.find("~ image 40x20"), 13, "~ image 40x24");
    EXPECT_EQ(decoded.transcript(), want);
}

} // namespace
} // namespace tavlo
