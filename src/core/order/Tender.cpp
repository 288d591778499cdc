#include "core/order/Tender.h"

#include <cstddef>

namespace tavlo {

namespace {

using K = TenderKind;
using F = FieldEntry;
using Tip = TipEntry;
using Slip = SlipCard;

constexpr const char* kNumber = "Number:";

// clang-format off
// Codes 1 to 13 in order, one row each; the columns as in Tender.
constexpr std::array<Tender, 13> kTenders{{
    // code, xml, ui, pay right, void right, kind,
    //   tendered, quick cash, next up, number, secure, caption, expiry, security code, zip, tip, percent,
    //   host, auth only, on till, drawer, change, signature, merchant copy, keeps number,
    //   adjustable, voided at host,
    //   takes card, sends card, host fields, slip card, signed slip, names customer
    {1, "cash", "Cash", "PAY_CASH", "VOID_CASH", K::Cash,
     true, true, true, F::Off, false, kNumber, F::Off, false, false, Tip::CashTip, false,
     false, false, true, true, true, nullptr, false, false, false, false,
     false, false, false, Slip::Never, false, false},
    {2, "credit", "Credit", "PAY_CREDIT", "VOID_CREDIT", K::Card,
     false, false, false, F::Keyed, true, kNumber, F::Keyed, true, true, Tip::CardTip, true,
     true, false, false, false, false, "SIGNATURE_CAPTURE_CREDIT", true, false, true, true,
     true, true, true, Slip::Always, true, false},
    {3, "debit", "Debit", "PAY_DEBIT", "VOID_DEBIT", K::Card,
     false, false, false, F::Off, false, kNumber, F::Off, false, false, Tip::Never, false,
     false, false, false, false, false, "SIGNATURE_CAPTURE_DEBIT", true, false, false, false,
     true, false, true, Slip::Never, false, false},
    {4, "gift", "Gift", "PAY_GIFT", "VOID_GIFT", K::Card,
     false, false, false, F::On, false, kNumber, F::On, false, false, Tip::Always, false,
     false, false, false, false, false, "SIGNATURE_CAPTURE_GIFT", true, false, false, true,
     false, true, true, Slip::WithGiftAddress, false, false},
    {5, "coupon", "Coupon", "PAY_COUPON", "VOID_COUPON", K::Other,
     false, false, false, F::Off, false, kNumber, F::Off, false, false, Tip::Never, false,
     false, false, true, false, false, "SIGNATURE_CAPTURE_COUPON", false, false, false, false,
     false, false, false, Slip::Never, false, false},
    {6, "check", "Check", "PAY_CHECK", "VOID_CHECK", K::Other,
     true, true, false, F::On, false, kNumber, F::Off, false, false, Tip::Always, false,
     false, false, true, false, false, "SIGNATURE_CAPTURE_CHECK", false, false, false, false,
     false, false, false, Slip::Never, false, false},
    {7, "bill", "Bill", "PAY_BILL", "VOID_BILL", K::Card,
     false, false, false, F::Off, false, kNumber, F::Off, false, false, Tip::Never, false,
     false, false, false, false, false, "SIGNATURE_CAPTURE_BILL", false, false, true, true,
     true, false, false, Slip::Never, false, true},
    {8, "extCredit", "Ext Credit", "PAY_EXT_CREDIT", "VOID_EXT_CREDIT", K::Other,
     false, false, false, F::Off, false, kNumber, F::Off, false, false, Tip::Always, false,
     false, false, true, false, false, nullptr, false, false, false, false,
     false, false, true, Slip::Always, false, false},
    {9, "extDebit", "Ext Debit", "PAY_EXT_DEBIT", "VOID_EXT_DEBIT", K::Other,
     false, false, false, F::Off, false, kNumber, F::Off, false, false, Tip::Always, false,
     false, false, true, false, false, nullptr, false, false, false, false,
     false, false, false, Slip::Never, false, false},
    {10, "creditAuthOnly", "Tab", "PAY_TAB", "VOID_TAB", K::Card,
     false, false, false, F::Keyed, true, kNumber, F::Keyed, true, true, Tip::Never, false,
     true, true, false, false, false, "SIGNATURE_CAPTURE_TAB", true, false, true, false,
     true, true, true, Slip::Never, false, false},
    {11, "extGift", "Ext Gift", "PAY_EXT_GIFT", "VOID_EXT_GIFT", K::Other,
     false, false, false, F::Off, false, kNumber, F::Off, false, false, Tip::Always, false,
     false, false, true, false, false, nullptr, false, false, false, false,
     false, false, false, Slip::Never, false, false},
    {12, "roomCharge", "Room Charge", "PAY_ROOM", "VOID_ROOM_CHARGE", K::Other,
     false, false, false, F::On, false, "Room", F::Off, false, false, Tip::Always, false,
     false, false, false, false, false, "SIGNATURE_CAPTURE_ROOM", false, true, false, false,
     false, true, true, Slip::Never, false, false},
    {13, "other", "Other", "PAY_OTHER", "VOID_OTHER", K::Other,
     false, false, false, F::On, false, kNumber, F::Off, false, false, Tip::Always, false,
     false, false, true, false, false, "SIGNATURE_CAPTURE_OTHER", false, false, false, false,
     false, false, false, Slip::Never, false, false},
}};

constexpr Tender kUnknown{0, "unknown", "Unknown", "", "", K::Other,
                          false, false, false, F::Off, false, kNumber, F::Off, false, false, Tip::Never, false,
                          false, false, false, false, false, nullptr, false, false, false, false,
                          false, false, false, Slip::Never, false, false};
// clang-format on

bool opens(FieldEntry entry, const PayConditions& conditions) {
    return entry == FieldEntry::On || (entry == FieldEntry::Keyed && conditions.cardsKeyed);
}

bool takesTip(TipEntry entry, const PayConditions& conditions) {
    switch (entry) {
    case TipEntry::Never: return false;
    case TipEntry::Always: return true;
    case TipEntry::CashTip: return conditions.cashTips && conditions.tipRight;
    case TipEntry::CardTip: return conditions.tipRight && !conditions.tillOnDefaultHost;
    }
    return false;
}

} // namespace

const Tender& Tender::of(int32_t code) {
    return code >= 1 && code <= static_cast<int32_t>(kTenders.size()) ? kTenders[static_cast<size_t>(code - 1)]
                                                                      : kUnknown;
}

const std::array<Tender, 13>& Tender::all() { return kTenders; }

PayFields payFields(const Tender& tender, const PayConditions& conditions) {
    PayFields fields;
    fields.tendered = tender.tendered;
    fields.quickCash = tender.quickCash;
    fields.nextUp = tender.nextUp;
    fields.number = opens(tender.number, conditions);
    fields.secureNumber = tender.secureNumber;
    fields.numberCaption = tender.numberCaption;
    fields.expiry = opens(tender.expiry, conditions);
    fields.securityCode = tender.securityCode;
    fields.zip = tender.avsZip && conditions.avsZip;
    fields.tip = takesTip(tender.tip, conditions);
    fields.tipPercent = tender.tipPercent;
    return fields;
}

} // namespace tavlo
