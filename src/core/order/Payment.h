#pragma once

#include "platform/foundation/Clock.h"

#include <libxml/tree.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class CreditCardSwipe;
class ManagedObject;
class ObjectContext;
class Session;
struct Tender;

// One tender on an order: cash, a card, a voucher, a room charge and so on, with its amounts, the
// card or swipe data a card tender carries, the signature image, and who took or voided it.
// Card data beyond the last four digits, the brand, the approval and the host data lives in memory
// only.
class Payment {
public:
    using Text = std::optional<std::string>;

    // Tender codes; what each tender takes and how it is taken is its row of the tender table
    // (Tender.h).
    static constexpr int32_t kCash = 1, kCredit = 2, kDebit = 3, kGift = 4, kCoupon = 5, kCheck = 6, kBill = 7,
                             kExtCredit = 8, kExtDebit = 9, kTab = 10, kExtGift = 11, kRoomCharge = 12, kOther = 13,
                             kUnknownType = -99;

    // A new payment taken now.
    Payment();
    // A payment taken at `created`: a stored payment read back.
    explicit Payment(std::optional<Date> created);
    // A payment as the pay screens take it: a new id, the drawer's open cash session when the
    // terminal handles cash, the amounts, and for card tenders (credit, debit, bill, tab) the card
    // fields from the keyed number or the swipe.
    static std::shared_ptr<Payment> initWithSession(Session& session, const Text& drawerId, const Text& order,
                                                    int32_t paymentType, int32_t subTotal, int32_t tax, int32_t change,
                                                    int32_t tip, int32_t gratuity, const Text& number, const Text& exp,
                                                    const Text& secCode, const Text& zip, const CreditCardSwipe* swipe);
    // The change a cash payment gives back, one "caption: amount" line each: tendered, amount,
    // gratuity and tip together (only when some), change.
    static std::string changeDueText(int64_t tendered, int64_t amount, int64_t gratuityAndTip, int64_t change);
    // Nil when the tender may be taken, else the localised reason it may not.
    static Text verify(int32_t type, const Text& drawerId, const Text& tendered, const Text& amount,
                       const Text& gratuity, const Text& number, const Text& expDate, const CreditCardSwipe* swipe,
                       Session& session);

    // Label of a tender code on the wire, on screen (localised) and the permission to void it.
    static std::string xmlLabel(int32_t type);
    static std::string uiLabel(int32_t type);
    static std::string voidPermission(int32_t type);
    // The right to take the tender; empty for an unknown code.
    static std::string payPermission(int32_t type);
    // Exact match of the wire labels; -1 when none matches.
    static int32_t typeFromXMLLabel(const Text& label);
    // What a tender carries of a card, from the tender table (false for an unknown code). Its
    // card's fields (number, expiry, security code, swipe) are taken when the payment is made:
    static bool takesCardFields(int32_t type);
    // the order document sends the server's key and the card's fields, encrypted:
    static bool sendsCardFields(int32_t type);
    // the server's order document carries the card host's fields (reference, brand, last
    // digits, approval, message, manual entry):
    static bool carriesHostFields(int32_t type);

    // Local store and server XML (PaymentPersistence.cpp). `write` gives the row found by the
    // server's id, else ours, else a new one; the card data beyond the last digits is not stored.
    // The order links the row. Both flags end clear.
    std::shared_ptr<ManagedObject> write(ObjectContext& context);
    void read(const ManagedObject& row);
    void read(xmlNodePtr element, xmlDocPtr doc);

    void voidPayment(const Text& userId);
    bool isVoided() const { return voidBy_.has_value(); }
    bool isEncrypted() const { return encryptedTrack1_ || encryptedTrack2_ || encryptedTrack3_; }
    bool isNew() const { return isNew_; }
    int32_t getTotal() const { return subTotal_ + tip_ + gratuity_; }
    // A card host that approved less than the total: the approved cents are laid over the
    // subtotal, then the tax, then the tip and gratuity, so the payment never records more than
    // was approved; what falls short comes off the tip first, then the gratuity.
    void applyApprovedAmount(int32_t approved);

    // Money setters mark the payment modified when the value changes.
    int32_t subTotal() const { return subTotal_; }
    void setSubTotal(int32_t v);
    int32_t tip() const { return tip_; }
    void setTip(int32_t v);
    int32_t gratuity() const { return gratuity_; }
    void setGratuity(int32_t v);
    // Also sets the brand and the last four digits.
    const Text& accountNumber() const { return accountNumber_; }
    void setAccountNumber(const Text& v);

    const Text& remoteId() const { return remoteId_; }
    void setRemoteId(Text v) { remoteId_ = std::move(v); }
    const Text& paymentId() const { return paymentId_; }
    void setPaymentId(Text v) { paymentId_ = std::move(v); }
    int32_t type() const { return type_; }
    void setType(int32_t v) { type_ = v; }
    // The row of its type in the tender table.
    const Tender& tender() const;
    const Text& name() const { return name_; }
    void setName(Text v) { name_ = std::move(v); }
    const Text& drawerId() const { return drawerId_; }
    void setDrawerId(Text v) { drawerId_ = std::move(v); }
    const std::optional<Date>& drawerInDate() const { return drawerInDate_; }
    void setDrawerInDate(std::optional<Date> v) { drawerInDate_ = v; }
    int32_t tax() const { return tax_; }
    void setTax(int32_t v) { tax_ = v; }
    int32_t change() const { return change_; }
    void setChange(int32_t v) { change_ = v; }
    const Text& order() const { return order_; }
    void setOrder(Text v) { order_ = std::move(v); }
    const Text& customer() const { return customer_; }
    void setCustomer(Text v) { customer_ = std::move(v); }
    const Text& refNum() const { return refNum_; }
    void setRefNum(Text v) { refNum_ = std::move(v); }
    const Text& cardType() const { return cardType_; }
    void setCardType(Text v) { cardType_ = std::move(v); }
    const Text& number() const { return number_; }
    void setNumber(Text v) { number_ = std::move(v); }
    const Text& expDate() const { return expDate_; }
    void setExpDate(Text v) { expDate_ = std::move(v); }
    const Text& approval() const { return approval_; }
    void setApproval(Text v) { approval_ = std::move(v); }
    const Text& street() const { return street_; }
    void setStreet(Text v) { street_ = std::move(v); }
    const Text& zipCode() const { return zipCode_; }
    void setZipCode(Text v) { zipCode_ = std::move(v); }
    const Text& rawSwipe() const { return rawSwipe_; }
    void setRawSwipe(Text v) { rawSwipe_ = std::move(v); }
    const Text& track1() const { return track1_; }
    void setTrack1(Text v) { track1_ = std::move(v); }
    const Text& track2() const { return track2_; }
    void setTrack2(Text v) { track2_ = std::move(v); }
    const Text& track3() const { return track3_; }
    void setTrack3(Text v) { track3_ = std::move(v); }
    const Text& encryptedTrack1() const { return encryptedTrack1_; }
    void setEncryptedTrack1(Text v) { encryptedTrack1_ = std::move(v); }
    const Text& encryptedTrack2() const { return encryptedTrack2_; }
    void setEncryptedTrack2(Text v) { encryptedTrack2_ = std::move(v); }
    const Text& encryptedTrack3() const { return encryptedTrack3_; }
    void setEncryptedTrack3(Text v) { encryptedTrack3_ = std::move(v); }
    const Text& encryptionKey() const { return encryptionKey_; }
    void setEncryptionKey(Text v) { encryptionKey_ = std::move(v); }
    const Text& encryptedStatus() const { return encryptedStatus_; }
    void setEncryptedStatus(Text v) { encryptedStatus_ = std::move(v); }
    const Text& encryptedData() const { return encryptedData_; }
    void setEncryptedData(Text v) { encryptedData_ = std::move(v); }
    const Text& securityCode() const { return securityCode_; }
    void setSecurityCode(Text v) { securityCode_ = std::move(v); }
    const Text& hostData() const { return hostData_; }
    void setHostData(Text v) { hostData_ = std::move(v); }
    const Text& message() const { return message_; }
    void setMessage(Text v) { message_ = std::move(v); }
    bool manual() const { return manual_; }
    void setManual(bool v) { manual_ = v; }
    const std::optional<std::vector<uint8_t>>& captured() const { return captured_; }
    void setCaptured(std::optional<std::vector<uint8_t>> v) { captured_ = std::move(v); }
    const Text& mimeType() const { return mimeType_; }
    void setMimeType(Text v) { mimeType_ = std::move(v); }
    const std::optional<Date>& created() const { return created_; }
    void setCreated(std::optional<Date> v) { created_ = v; }
    const Text& createdBy() const { return createdBy_; }
    void setCreatedBy(Text v) { createdBy_ = std::move(v); }
    const std::optional<Date>& voided() const { return voided_; }
    void setVoided(std::optional<Date> v) { voided_ = v; }
    const Text& voidBy() const { return voidBy_; }
    void setVoidBy(Text v) { voidBy_ = std::move(v); }
    bool new_() const { return isNew_; }
    void setNew(bool v) { isNew_ = v; }
    bool modified() const { return modified_; }
    void setModified(bool v) { modified_ = v; }

private:
    Text remoteId_, paymentId_;
    int32_t type_ = 0;
    Text name_, drawerId_;
    std::optional<Date> drawerInDate_;
    int32_t subTotal_ = 0, tax_ = 0, tip_ = 0, gratuity_ = 0, change_ = 0;
    Text order_, customer_, refNum_, cardType_, number_, accountNumber_, expDate_, approval_, street_, zipCode_;
    Text rawSwipe_, track1_, track2_, track3_;
    Text encryptedTrack1_, encryptedTrack2_, encryptedTrack3_, encryptionKey_, encryptedStatus_, encryptedData_;
    Text securityCode_, hostData_, message_;
    bool manual_ = false;
    std::optional<std::vector<uint8_t>> captured_;
    Text mimeType_;
    std::optional<Date> created_;
    Text createdBy_;
    std::optional<Date> voided_;
    Text voidBy_;
    bool isNew_ = true, modified_ = false;
};

} // namespace tavlo
