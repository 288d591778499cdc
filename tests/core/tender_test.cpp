// The tender table: each tender's pay-screen fields under the store's and the user's conditions,
// and the rules of taking it, as the pay screen, the slips, the reports and the payment lists had
// them.
#include "core/order/Payment.h"
#include "core/order/Tender.h"

#include <gtest/gtest.h>

#include <string>

namespace tavlo {
namespace {

// The fields as flags, in a fixed order, so a row of expectations reads as one word:
// tendered, quick cash, next up, number, secure number, expiry, security code, zip, tip, percent.
std::string flags(const PayFields& f) {
    std::string out;
    for (bool on : {f.tendered, f.quickCash, f.nextUp, f.number, f.secureNumber, f.expiry, f.securityCode, f.zip, f.tip,
                    f.tipPercent})
        out += on ? '1' : '.';
    return out;
}

TEST(TenderTable, PayScreenFieldsOfEachTender) {
    // Everything allowed: cards keyed, zip asked, cash tips, the user's tip right, not a till on
    // the default host. Nothing allowed: the opposite of each.
    PayConditions allowed;
    allowed.cardsKeyed = allowed.avsZip = allowed.cashTips = allowed.tipRight = true;
    PayConditions refused;
    refused.tillOnDefaultHost = true;
    struct Case {
        int32_t code;
        const char* whenAllowed;
        const char* whenRefused;
        const char* caption;
    };
    const Case cases[] = {
        {Payment::kCash, "111.....1.", "111.......", "Number:"},
        {Payment::kCredit, "...1111111", "....1.1..1", "Number:"},
        {Payment::kDebit, "..........", "..........", "Number:"},
        {Payment::kGift, "...1.1..1.", "...1.1..1.", "Number:"},
        {Payment::kCoupon, "..........", "..........", "Number:"},
        {Payment::kCheck, "11.1....1.", "11.1....1.", "Number:"},
        {Payment::kBill, "..........", "..........", "Number:"},
        {Payment::kExtCredit, "........1.", "........1.", "Number:"},
        {Payment::kExtDebit, "........1.", "........1.", "Number:"},
        {Payment::kTab, "...11111..", "....1.1...", "Number:"},
        {Payment::kExtGift, "........1.", "........1.", "Number:"},
        {Payment::kRoomCharge, "...1....1.", "...1....1.", "Room"},
        {Payment::kOther, "...1....1.", "...1....1.", "Number:"},
        {Payment::kUnknownType, "..........", "..........", "Number:"},
        {0, "..........", "..........", "Number:"},
    };
    for (const Case& c : cases) {
        const Tender& tender = Tender::of(c.code);
        EXPECT_EQ(flags(payFields(tender, allowed)), c.whenAllowed) << c.code;
        EXPECT_EQ(flags(payFields(tender, refused)), c.whenRefused) << c.code;
        EXPECT_STREQ(payFields(tender, allowed).numberCaption, c.caption) << c.code;
    }
}

TEST(TenderTable, EachConditionOpensOnlyItsFields) {
    PayConditions none;
    none.tillOnDefaultHost = true;
    const Tender& cash = Tender::of(Payment::kCash);
    const Tender& credit = Tender::of(Payment::kCredit);
    PayConditions cashTipsOnly = none;
    cashTipsOnly.cashTips = true;
    EXPECT_FALSE(payFields(cash, cashTipsOnly).tip) << "a cash tip needs the user's right too";
    PayConditions rightOnly = none;
    rightOnly.tipRight = true;
    EXPECT_FALSE(payFields(cash, rightOnly).tip) << "a cash tip needs the store's leave too";
    EXPECT_FALSE(payFields(credit, rightOnly).tip) << "a till on the default host takes no card tip";
    rightOnly.tillOnDefaultHost = false;
    EXPECT_TRUE(payFields(credit, rightOnly).tip);
    EXPECT_FALSE(payFields(Tender::of(Payment::kTab), rightOnly).tip) << "a tab never takes a tip";
}

TEST(TenderTable, HowEachTenderIsTaken) {
    struct Case {
        int32_t code;
        TenderKind kind;
        const char* signature;
        // chargedAtHost, authorisesOnly, takenOnTill, needsDrawer, givesChange, merchantCopy,
        // keepsNumber, adjustable, voidedAtHost
        const char* taking;
        // slip card, signed slip, names customer
        SlipCard slipCard;
        const char* slip;
    };
    using K = TenderKind;
    const Case cases[] = {
        {Payment::kCash, K::Cash, nullptr, "..111....", SlipCard::Never, ".."},
        {Payment::kCredit, K::Card, "SIGNATURE_CAPTURE_CREDIT", "1....1.11", SlipCard::Always, "1."},
        {Payment::kDebit, K::Card, "SIGNATURE_CAPTURE_DEBIT", ".....1...", SlipCard::Never, ".."},
        {Payment::kGift, K::Card, "SIGNATURE_CAPTURE_GIFT", ".....1..1", SlipCard::WithGiftAddress, ".."},
        {Payment::kCoupon, K::Other, "SIGNATURE_CAPTURE_COUPON", "..1......", SlipCard::Never, ".."},
        {Payment::kCheck, K::Other, "SIGNATURE_CAPTURE_CHECK", "..1......", SlipCard::Never, ".."},
        {Payment::kBill, K::Card, "SIGNATURE_CAPTURE_BILL", ".......11", SlipCard::Never, ".1"},
        {Payment::kExtCredit, K::Other, nullptr, "..1......", SlipCard::Always, ".."},
        {Payment::kExtDebit, K::Other, nullptr, "..1......", SlipCard::Never, ".."},
        {Payment::kTab, K::Card, "SIGNATURE_CAPTURE_TAB", "11...1.1.", SlipCard::Never, ".."},
        {Payment::kExtGift, K::Other, nullptr, "..1......", SlipCard::Never, ".."},
        {Payment::kRoomCharge, K::Other, "SIGNATURE_CAPTURE_ROOM", "......1..", SlipCard::Never, ".."},
        {Payment::kOther, K::Other, "SIGNATURE_CAPTURE_OTHER", "..1......", SlipCard::Never, ".."},
        {Payment::kUnknownType, K::Other, nullptr, ".........", SlipCard::Never, ".."},
    };
    auto word = [](std::initializer_list<bool> on) {
        std::string out;
        for (bool b : on) out += b ? '1' : '.';
        return out;
    };
    for (const Case& c : cases) {
        const Tender& t = Tender::of(c.code);
        EXPECT_EQ(t.kind, c.kind) << c.code;
        EXPECT_STREQ(t.signatureParameter ? t.signatureParameter : "", c.signature ? c.signature : "") << c.code;
        EXPECT_EQ(word({t.chargedAtHost, t.authorisesOnly, t.takenOnTill, t.needsDrawer, t.givesChange, t.merchantCopy,
                        t.keepsNumber, t.adjustable, t.voidedAtHost}),
                  c.taking)
            << c.code;
        EXPECT_EQ(t.slipCard, c.slipCard) << c.code;
        EXPECT_EQ(word({t.signedSlip, t.slipNamesCustomer}), c.slip) << c.code;
        EXPECT_EQ(t.known(), c.code != Payment::kUnknownType) << c.code;
    }
}

TEST(TenderTable, RowsAreInOrderOfCode) {
    int32_t code = 1;
    for (const Tender& t : Tender::all()) {
        EXPECT_EQ(t.code, code) << t.xml;
        EXPECT_EQ(&Tender::of(code), &t);
        ++code;
    }
}

} // namespace
} // namespace tavlo
