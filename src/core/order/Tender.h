#pragma once

#include <array>
#include <cstdint>

namespace tavlo {

// What a tender is, for the rules that tell tenders apart.
enum class TenderKind {
    Cash, // money in hand: tendered, change, the drawer
    Card, // a card this terminal reads: a swipe is taken for it
    Other,
};

// Whether a field of the pay screen is open for a tender.
enum class FieldEntry {
    Off,
    On,
    // The card's own field: open where the card host lets cards be keyed by hand (always where
    // the store's server takes the payment).
    Keyed,
};

// Whether the pay screen takes a tip with the tender.
enum class TipEntry {
    Never,
    Always,
    // The store allows cash tips ("ALLOW_CASH_TIP") and the user may add a tip.
    CashTip,
    // The user may add a tip, unless this terminal is its own till on the default card host, whose
    // sale takes no tip.
    CardTip,
};

// The card details a payment slip prints for a tender (the last digits, the brand, the tax);
// "Always" also parts the reports' tender lines by the card's brand.
enum class SlipCard {
    Never,
    Always,
    // Only when the store has a gift card address ("PAYMENT_GIFT_URL").
    WithGiftAddress,
};

// One tender and every rule that depends on it alone: its labels and rights, the pay screen's
// fields, how it is taken, what the payment lists may do with it afterwards, and what its slips
// and the reports show. Rules that also hang on the store or the terminal name their condition in
// the column's type.
struct Tender {
    int32_t code; // as stored, in the order documents and on the wire
    const char* xml;
    const char* ui;
    const char* payRight;
    const char* voidRight;
    TenderKind kind;

    // ---- The pay screen's fields
    bool tendered;  // the tendered amount, as cash in hand
    bool quickCash; // the quick-cash keys
    bool nextUp;    // the key to the next whole amount
    FieldEntry number;
    bool secureNumber; // the number is hidden as it is typed
    const char* numberCaption;
    FieldEntry expiry;
    bool securityCode;
    bool avsZip; // the zip code, where the store asks for it ("AVS_ZIP_ONLY_SUPPORT")
    TipEntry tip;
    bool tipPercent; // the tip-percent keys

    // ---- Taking it
    // Charged at the store's card host: keyed by hand only with "PAY_CREDIT_MANUAL", may be
    // forced with an approval code, a refund of it may need the host's reference.
    bool chargedAtHost;
    // An authorisation only (a tab): its amount is the store's authorisation amount, it pays
    // nothing of the order until it is captured.
    bool authorisesOnly;
    // Taken as it stands on a terminal that is its own till (no host to ask).
    bool takenOnTill;
    bool needsDrawer;               // taken into a cashed-in drawer, which opens for it
    bool givesChange;               // what is tendered beyond the amount goes back as change
    const char* signatureParameter; // null: never signed on screen
    bool merchantCopy;              // a merchant's copy of its slip is printed
    bool keepsNumber;               // the number typed (a room) is stored with the payment

    // ---- After it is taken
    bool adjustable; // its amounts may be changed in the payment lists
    // On a terminal that is its own till it is voided at the card host, not only on the order.
    bool voidedAtHost;

    // ---- Card data: the card's fields (number, expiry, security code, swipe) are taken when
    // the payment is made; the order document sends the server's key and the card's fields,
    // encrypted; the server's order document carries the card host's fields (reference, brand,
    // last digits, approval, message, manual entry).
    bool takesCardFields;
    bool sendsCardFields;
    bool carriesHostFields;

    // ---- Slips
    SlipCard slipCard;
    // The slip has the tip line, the signature line and the card holder's agreement, and the
    // tip guide where the store prints one.
    bool signedSlip;
    bool slipNamesCustomer; // the name on the payment is printed as the customer's

    // The tender of that code; for a code of no tender, the unknown one: code 0, labelled
    // "unknown" and "Unknown", no rights, every rule off.
    static const Tender& of(int32_t code);
    // Every tender, in order of code (without the unknown one).
    static const std::array<Tender, 13>& all();
    bool known() const { return code != 0; }
};

// The pay screen's fields for a tender, with the conditions of the store, the terminal and the user
// that the tender's columns name.
struct PayFields {
    bool tendered = false, quickCash = false, nextUp = false, number = false, secureNumber = false, expiry = false,
         securityCode = false, zip = false, tip = false, tipPercent = false;
    const char* numberCaption = "Number:";
};

struct PayConditions {
    bool cardsKeyed = false;        // the card host lets cards be keyed here
    bool avsZip = false;            // "AVS_ZIP_ONLY_SUPPORT"
    bool cashTips = false;          // "ALLOW_CASH_TIP"
    bool tipRight = false;          // the user's "NEW_PAYMENT_TIP_ADJUST"
    bool tillOnDefaultHost = false; // this terminal is its own till on the default card host
};

PayFields payFields(const Tender& tender, const PayConditions& conditions);

} // namespace tavlo
