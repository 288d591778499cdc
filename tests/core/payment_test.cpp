#include "core/order/CreditCardSwipe.h"
#include "core/order/Payment.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"

#include <gtest/gtest.h>

#include "support/StoreFixture.h"

namespace tavlo {
namespace {

using T = std::optional<std::string>;

const std::string kTrack1 = "%B4111111111111111^DOE/JOHN^9912101000000000?";
const std::string kTrack2 = ";4111111111111111=99121010000000000?";

TEST(PaymentRecord, TenderLabelTables) {
    struct Case {
        int32_t type;
        const char *xml, *ui, *voidRight;
    };
    const Case cases[] = {
        {1, "cash", "Cash", "VOID_CASH"},
        {2, "credit", "Credit", "VOID_CREDIT"},
        {3, "debit", "Debit", "VOID_DEBIT"},
        {4, "gift", "Gift", "VOID_GIFT"},
        {5, "coupon", "Coupon", "VOID_COUPON"},
        {6, "check", "Check", "VOID_CHECK"},
        {7, "bill", "Bill", "VOID_BILL"},
        {8, "extCredit", "Ext Credit", "VOID_EXT_CREDIT"},
        {9, "extDebit", "Ext Debit", "VOID_EXT_DEBIT"},
        {10, "creditAuthOnly", "Tab", "VOID_TAB"},
        {11, "extGift", "Ext Gift", "VOID_EXT_GIFT"},
        {12, "roomCharge", "Room Charge", "VOID_ROOM_CHARGE"},
        {13, "other", "Other", "VOID_OTHER"},
        {0, "unknown", "Unknown", ""},
        {14, "unknown", "Unknown", ""},
        {-99, "unknown", "Unknown", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Payment::xmlLabel(c.type), c.xml) << c.type;
        EXPECT_EQ(Payment::uiLabel(c.type), c.ui) << c.type;
        EXPECT_EQ(Payment::voidPermission(c.type), c.voidRight) << c.type;
        if (c.type >= 1 && c.type <= 13) { EXPECT_EQ(Payment::typeFromXMLLabel(std::string(c.xml)), c.type); }
    }
    EXPECT_EQ(Payment::typeFromXMLLabel(std::string("Cash")), -1);
    EXPECT_EQ(Payment::typeFromXMLLabel(std::string("unknown")), -1);
    EXPECT_EQ(Payment::typeFromXMLLabel(std::nullopt), -1);
    EXPECT_EQ(Payment::payPermission(12), "PAY_ROOM");
}

TEST(PaymentRecord, WhatEachTenderCarriesOfACard) {
    struct Case {
        int32_t type;
        bool takes, sends, hostFields;
    };
    const Case cases[] = {
        {Payment::kCash, false, false, false},
        {Payment::kCredit, true, true, true},
        {Payment::kDebit, true, false, true},
        {Payment::kGift, false, true, true},
        {Payment::kCoupon, false, false, false},
        {Payment::kCheck, false, false, false},
        {Payment::kBill, true, false, false},
        {Payment::kExtCredit, false, false, true},
        {Payment::kExtDebit, false, false, false},
        {Payment::kTab, true, true, true},
        {Payment::kExtGift, false, false, false},
        {Payment::kRoomCharge, false, true, true},
        {Payment::kOther, false, false, false},
        {0, false, false, false},
        {14, false, false, false},
        {Payment::kUnknownType, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Payment::xmlLabel(c.type));
        EXPECT_EQ(Payment::takesCardFields(c.type), c.takes);
        EXPECT_EQ(Payment::sendsCardFields(c.type), c.sends);
        EXPECT_EQ(Payment::carriesHostFields(c.type), c.hostFields);
    }
}

TEST(PaymentRecord, AmountsFlagsAndVoid) {
    Payment p;
    EXPECT_TRUE(p.isNew());
    EXPECT_FALSE(p.modified());
    EXPECT_FALSE(p.manual());
    EXPECT_TRUE(p.created().has_value());
    p.setSubTotal(1000);
    p.setModified(false);
    p.setTip(150);
    EXPECT_EQ(p.getTotal(), 1150);
    EXPECT_TRUE(p.modified());
    p.setModified(false);
    p.setTip(150);
    p.setGratuity(0);
    p.setSubTotal(1000);
    EXPECT_FALSE(p.modified());

    p.voidPayment(std::nullopt);
    EXPECT_FALSE(p.isVoided());
    p.voidPayment(std::string("U-MGR"));
    EXPECT_TRUE(p.isVoided());
    EXPECT_TRUE(p.voided().has_value());
    EXPECT_TRUE(p.modified());

    p.setAccountNumber(std::string("378282246310005"));
    EXPECT_EQ(p.cardType(), "amex");
    EXPECT_EQ(p.number(), "0005");
    p.setAccountNumber(std::string("123"));
    EXPECT_EQ(p.number(), "0005"); // under four digits: the last four are not replaced
    p.setAccountNumber(std::nullopt);
    EXPECT_EQ(p.accountNumber(), std::nullopt);
}

class PaymentSessionTest : public ::testing::Test {
protected:
    PaymentSessionTest() {
        IDBroker::initWithMOC(store.context());
        auto terminal = store.addThisTerminal("T1", std::string("1"));
        auto cashier = store.addRole("R-CASH", {"PAY_CASH"});
        auto anyTender = store.addRole("R-PAY", {"PAY"});
        auto ann = store.addUser("U-ANN", "Ann", {anyTender});
        store.addUser("U-CAT", "Cat", {cashier});
        auto tillIn = store.addCashDrawer("D1", "Till", terminal, std::string("1"));
        store.addCashDrawer("D2", "Spare", terminal, std::string("2"));
        store.addCashIn(tillIn, ann);
        store.save();
        session = std::make_unique<Session>(store.context().get());
        session->setUserId(std::string("U-ANN"));
        session->setTerminalId(std::string("T1"));
    }

    void param(const std::string& name, const T& value) {
        for (const auto& row : store->fetch("StoreParam", "name == %@", name)) store->deleteObject(row);
        if (value) store.addStoreParam(name, value);
    }

    test::StoreFixture store;
    std::unique_ptr<Session> session;
};

// Each refusal, and the cases that pass the same step.
TEST_F(PaymentSessionTest, VerifyTable) {
    ScopedFakeClock clock(Date(1749988800.0)); // June 2025
    const CreditCardSwipe unreadable(std::string(";E?"), ':');
    const CreditCardSwipe encrypted(kTrack1 + kTrack2 + "|0600|A|B|C|D|E|F|G|K", ':');
    const std::string visa = "4111111111111111";
    struct Case {
        const char* what;
        const char* user;
        T mode, module, host;
        int32_t type;
        T drawer, tendered, amount, gratuity, number, expiry;
        const CreditCardSwipe* swipe;
        T message;
    };
    const T none;
    const char* kPerm = "You do not have the required permissions";
    const char* kDrawer = "In order to take cash payments you must first cash in the drawer";
    const char* kLower = "Tendered is lower than amount to be paid, please verify";
    const char* kCard = "Please specify card number and expiration date";
    const Case cases[] = {
        {"unknown type", "U-ANN", none, none, none, -99, none, "5.00", "5.00", none, none, none, nullptr,
         "Unknown payment type, please contact support"},
        {"cash with the cash right", "U-CAT", none, none, none, 1, none, "5.00", "5.00", none, none, none, nullptr,
         none},
        {"credit without its right", "U-CAT", none, none, none, 2, none, "5.00", "5.00", none, none, none, nullptr,
         kPerm},
        {"another code needs no right", "U-CAT", none, none, none, 42, none, "5.00", "5.00", none, none, none, nullptr,
         none},
        {"mode 2 needs a drawer", "U-ANN", "2", "YES", none, 1, none, "5.00", "5.00", none, none, none, nullptr,
         kDrawer},
        {"mode 2, drawer not cashed in", "U-ANN", "2", "YES", none, 1, "D2", "5.00", "5.00", none, none, none, nullptr,
         kDrawer},
        {"mode 2, drawer cashed in", "U-ANN", "2", "YES", none, 1, "D1", "5.00", "5.00", none, none, none, nullptr,
         none},
        {"mode 1 without a drawer", "U-ANN", "1", "YES", none, 1, none, "5.00", "5.00", none, none, none, nullptr,
         none},
        {"mode 1 checks a given drawer", "U-ANN", "1", "YES", none, 1, "D2", "5.00", "5.00", none, none, none, nullptr,
         kDrawer},
        {"no mode row counts as 1", "U-ANN", none, "YES", none, 1, "D2", "5.00", "5.00", none, none, none, nullptr,
         kDrawer},
        {"mode 3 checks nothing", "U-ANN", "3", "YES", none, 1, "D2", "5.00", "5.00", none, none, none, nullptr, none},
        {"cash module off", "U-ANN", "2", "NO", none, 1, none, "5.00", "5.00", none, none, none, nullptr, none},
        {"no tendered text", "U-ANN", none, none, none, 1, none, "", "5.00", none, none, none, nullptr,
         "Please specify amount tendered"},
        {"no amount text", "U-ANN", none, none, none, 1, none, "5.00", none, none, none, none, nullptr,
         "Please specify amount paying"},
        {"tendered below amount and gratuity", "U-ANN", none, none, none, 6, none, "10.00", "9.00", "1.01", none, none,
         nullptr, kLower},
        {"tendered covers both", "U-ANN", none, none, none, 6, none, "10.01", "9.00", "1.01", none, none, nullptr,
         none},
        {"a tab skips the tendered check", "U-ANN", none, none, none, 10, none, "0.01", "9.00", none, none, none,
         nullptr, none},
        {"unreadable swipe", "U-ANN", none, none, none, 2, none, "5.00", "5.00", none, visa, "1299", &unreadable,
         "Unable to read card, please try again"},
        {"card host needs a number", "U-ANN", none, none, "GATEWAY", 2, none, "5.00", "5.00", none, none, "1299",
         nullptr, kCard},
        {"card host needs an expiry", "U-ANN", none, none, "GATEWAY", 10, none, "5.00", "5.00", none, visa, "", nullptr,
         kCard},
        {"invalid number", "U-ANN", none, none, "GATEWAY", 2, none, "5.00", "5.00", none, "4111111111111112", "1299",
         nullptr, "The card number entered is not valid, please verify and reenter"},
        {"an encrypting reader's number is not checked", "U-ANN", none, none, "GATEWAY", 2, none, "5.00", "5.00", none,
         "4111111111111112", "1299", &encrypted, none},
        {"expired card", "U-ANN", none, none, "GATEWAY", 2, none, "5.00", "5.00", none, visa, "0525", nullptr,
         "The card provided has expired, please verify"},
        {"good card", "U-ANN", none, none, "GATEWAY", 2, none, "5.00", "5.00", none, visa, "0625", nullptr, none},
        {"the reader host takes no card data", "U-ANN", none, none, "Ismp", 2, none, "5.00", "5.00", none, none, none,
         nullptr, none},
        {"without a card host", "U-ANN", none, none, none, 2, none, "5.00", "5.00", none, none, none, nullptr, none},
        {"debit is not checked as a card", "U-ANN", none, none, "GATEWAY", 3, none, "5.00", "5.00", none, none, none,
         nullptr, none},
    };
    for (const auto& c : cases) {
        param("CASH_HANDLING_MODE", c.mode);
        param("MODULE_CASH_IN_OUT", c.module);
        param("PAYMENT_CREDIT_HOST", c.host);
        session->setUserId(std::string(c.user));
        EXPECT_EQ(
            Payment::verify(c.type, c.drawer, c.tendered, c.amount, c.gratuity, c.number, c.expiry, c.swipe, *session),
            c.message)
            << c.what;
    }
}

TEST_F(PaymentSessionTest, CardPaymentFromASwipe) {
    store.addTerminalParam(store->fetchFirst("Terminal", "terminalId == %@", std::string("T1")), "TS_PRINTER_URL",
                           std::string("receipt.local:9100"));
    const CreditCardSwipe swipe(kTrack1 + kTrack2 + "|0600|ET1|ET2|ET3|ST|DATA|x|y|KEY", ':');
    auto p = Payment::initWithSession(*session, std::string("D1"), std::string("Table 4"), Payment::kCredit, 2500, 200,
                                      0, 300, 0, swipe.accountNumber(), swipe.expDate(), std::string("123"),
                                      std::string("97301"), &swipe);
    EXPECT_TRUE(p->remoteId().has_value());
    EXPECT_EQ(p->drawerId(), "D1");
    EXPECT_TRUE(p->drawerInDate().has_value());
    EXPECT_EQ(p->order(), "Table 4");
    EXPECT_EQ(p->createdBy(), "U-ANN");
    EXPECT_EQ(p->getTotal(), 2800);
    EXPECT_EQ(p->cardType(), "visa");
    EXPECT_EQ(p->number(), "1111");
    EXPECT_EQ(p->accountNumber(), "4111111111111111");
    EXPECT_EQ(p->expDate(), "9912");
    EXPECT_EQ(p->name(), "DOE/JOHN");
    EXPECT_EQ(p->track2(), "4111111111111111=99121010000000000");
    EXPECT_EQ(p->securityCode(), "123");
    EXPECT_EQ(p->zipCode(), "97301");
    EXPECT_FALSE(p->manual());
    EXPECT_TRUE(p->isEncrypted());
    EXPECT_EQ(p->encryptedTrack1(), "ET1");
    EXPECT_EQ(p->encryptedTrack3(), "ET3");
    EXPECT_EQ(p->encryptedStatus(), "ST");
    EXPECT_EQ(p->encryptedData(), "DATA");
    EXPECT_EQ(p->encryptionKey(), "KEY");
    EXPECT_TRUE(p->isNew());
}

TEST_F(PaymentSessionTest, OtherTendersAndKeyedCards) {
    // no receipt printer and not lite: the drawer is not bound
    auto cash =
        Payment::initWithSession(*session, std::string("D1"), std::nullopt, Payment::kCash, 1000, 0, 250, 0, 0,
                                 std::string("4111111111111111"), std::nullopt, std::nullopt, std::nullopt, nullptr);
    EXPECT_EQ(cash->drawerId(), std::nullopt);
    EXPECT_EQ(cash->cardType(), std::nullopt);
    EXPECT_EQ(cash->number(), std::nullopt);
    EXPECT_EQ(cash->change(), 250);

    auto keyed = Payment::initWithSession(*session, std::nullopt, std::nullopt, Payment::kTab, 1000, 0, 0, 0, 0,
                                          std::string("123"), std::string("1299"), std::nullopt, std::nullopt, nullptr);
    EXPECT_TRUE(keyed->manual());
    EXPECT_EQ(keyed->number(), std::nullopt); // fewer than four digits
    EXPECT_EQ(keyed->name(), std::nullopt);
    EXPECT_FALSE(keyed->isEncrypted());

    const CreditCardSwipe eightFields(kTrack1 + kTrack2 + "|0600|A|B|C|D|E|F|G", ':');
    auto swiped = Payment::initWithSession(*session, std::nullopt, std::nullopt, Payment::kDebit, 1000, 0, 0, 0, 0,
                                           eightFields.accountNumber(), eightFields.expDate(), std::nullopt,
                                           std::nullopt, &eightFields);
    EXPECT_FALSE(swiped->isEncrypted());
    EXPECT_EQ(swiped->encryptionKey(), std::nullopt);

    auto room = Payment::initWithSession(*session, std::nullopt, std::nullopt, Payment::kRoomCharge, 1000, 0, 0, 0, 0,
                                         std::string("12"), std::nullopt, std::nullopt, std::nullopt, nullptr);
    EXPECT_EQ(room->number(), "12");
    EXPECT_EQ(room->cardType(), std::nullopt);
    EXPECT_NE(room->remoteId(), keyed->remoteId());
}

} // namespace
} // namespace tavlo
