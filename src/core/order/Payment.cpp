#include "core/order/Payment.h"

#include "core/order/CreditCardSwipe.h"
#include "core/order/Tender.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"

#include <algorithm>

namespace tavlo {

namespace {

bool isEmpty(const std::optional<std::string>& text) { return !text || text->empty(); }

} // namespace

Payment::Payment() : created_(Date::now()) {}

Payment::Payment(std::optional<Date> created) : created_(created) {}

const Tender& Payment::tender() const { return Tender::of(type_); }

std::string Payment::xmlLabel(int32_t type) { return Tender::of(type).xml; }

std::string Payment::uiLabel(int32_t type) { return localized(Tender::of(type).ui); }

std::string Payment::voidPermission(int32_t type) { return Tender::of(type).voidRight; }

std::string Payment::payPermission(int32_t type) { return Tender::of(type).payRight; }

bool Payment::takesCardFields(int32_t type) { return Tender::of(type).takesCardFields; }

bool Payment::sendsCardFields(int32_t type) { return Tender::of(type).sendsCardFields; }

bool Payment::carriesHostFields(int32_t type) { return Tender::of(type).carriesHostFields; }

int32_t Payment::typeFromXMLLabel(const Text& label) {
    if (!label) return -1;
    for (const Tender& t : Tender::all())
        if (*label == t.xml) return t.code;
    return -1;
}

std::shared_ptr<Payment> Payment::initWithSession(Session& session, const Text& drawerId, const Text& order,
                                                  int32_t paymentType, int32_t subTotal, int32_t tax, int32_t change,
                                                  int32_t tip, int32_t gratuity, const Text& number, const Text& exp,
                                                  const Text& secCode, const Text& zip, const CreditCardSwipe* swipe) {
    auto p = std::make_shared<Payment>();
    if (drawerId && (session.printerURL() || session.isLite())) {
        if (auto cashIn = DBHelper::getObject("CashInOut", "outDate == nil && cashDrawer.cashDrawerId == %@", *drawerId,
                                              session.managedObjectContext())) {
            p->drawerId_ = drawerId;
            p->drawerInDate_ = cashIn->date("inDate");
        }
    }
    p->customer_.reset();
    p->order_ = order;
    p->remoteId_ = IDBroker::getInstance().generateRemoteIdPayment();
    p->type_ = paymentType;
    p->subTotal_ = subTotal;
    p->tax_ = tax;
    p->change_ = change;
    p->createdBy_ = session.userId();
    p->tip_ = tip;
    p->gratuity_ = gratuity;

    if (takesCardFields(paymentType)) {
        p->cardType_ = CreditCardSwipe::getCardLabel(number);
        p->expDate_ = exp;
        p->accountNumber_ = number;
        if (number && number->size() >= 4) p->number_ = number->substr(number->size() - 4);
        p->securityCode_ = secCode;
        p->zipCode_ = zip;
        if (swipe) {
            p->name_ = swipe->accountName();
            p->rawSwipe_ = swipe->rawData();
            p->track1_ = swipe->track1();
            p->track2_ = swipe->track2();
            p->track3_ = swipe->track3();
            p->manual_ = false;
            // An encrypting reader's fields follow the tracks, separated by "|".
            if (swipe->trailingData()) {
                const auto fields = split(*swipe->trailingData(), "|");
                auto field = [&](size_t i) -> Text { return fields[i].empty() ? Text() : Text(fields[i]); };
                if (fields.size() >= 9) {
                    p->encryptedTrack1_ = field(1);
                    p->encryptedTrack2_ = field(2);
                    p->encryptedTrack3_ = field(3);
                    p->encryptedStatus_ = field(4);
                    p->encryptedData_ = field(5);
                    p->encryptionKey_ = field(8);
                }
            }
        } else {
            p->manual_ = true;
        }
    } else if (Tender::of(paymentType).keepsNumber && number) {
        p->number_ = number;
    }
    return p;
}

std::string Payment::changeDueText(int64_t tendered, int64_t amount, int64_t gratuityAndTip, int64_t change) {
    std::string text = format("%@: %@\n%@: %@", localized("Tendered"), Utils::formatCurrency(tendered),
                              localized("Amount"), Utils::formatCurrency(amount));
    if (gratuityAndTip >= 1)
        text += format("\n%@: %@", localized("Gratuity and/or Tip"), Utils::formatCurrency(gratuityAndTip));
    return text + format("\n%@: %@", localized("Change"), Utils::formatCurrency(change));
}

Payment::Text Payment::verify(int32_t type, const Text& drawerId, const Text& tendered, const Text& amount,
                              const Text& gratuity, const Text& number, const Text& expDate,
                              const CreditCardSwipe* swipe, Session& session) {
    ObjectContext* context = session.managedObjectContext();
    const int32_t cashMode = Parameters::number(Parameter::CashHandlingMode, context);
    const Text cardHost = Parameters::text(Parameter::CreditHost, context);
    const bool cashModule = Parameters::flag(Parameter::ModuleCashInOut, context);

    if (type == kUnknownType) return localized("Unknown payment type, please contact support");
    if (!session.isGranted(Right::Pay) && Tender::of(type).known() && !session.isGranted(payPermission(type)))
        return localized("You do not have the required permissions");

    const Tender& taken = Tender::of(type);
    if (taken.needsDrawer && cashModule) {
        const bool check = cashMode == 2 || (cashMode == 1 && drawerId);
        if (check && (!drawerId || !session.isCashedIn(drawerId)))
            return localized("In order to take cash payments you must first cash in the drawer");
    }

    if (isEmpty(tendered)) return localized("Please specify amount tendered");
    if (isEmpty(amount)) return localized("Please specify amount paying");
    // An authorisation takes no money now; a tender charged at the card host needs its card.
    if (!taken.authorisesOnly) {
        const int64_t owed = static_cast<int64_t>(Utils::parseCurrency(amount)) + Utils::parseCurrency(gratuity);
        if (Utils::parseCurrency(tendered) < owed)
            return localized("Tendered is lower than amount to be paid, please verify");
        if (!taken.chargedAtHost) return std::nullopt;
    }

    if (swipe && swipe->hadError()) return localized("Unable to read card, please try again");
    if (cardHost && toLower(*cardHost) != "ismp") {
        if (isEmpty(number) || isEmpty(expDate)) return localized("Please specify card number and expiration date");
        if (!(swipe && swipe->trailingData()) && !CreditCardSwipe::isValid(number))
            return localized("The card number entered is not valid, please verify and reenter");
        if (CreditCardSwipe::isExpired(expDate)) return localized("The card provided has expired, please verify");
    }
    return std::nullopt;
}

void Payment::voidPayment(const Text& userId) {
    if (!userId) return;
    voidBy_ = userId;
    voided_ = Date::now();
    modified_ = true;
}

void Payment::setSubTotal(int32_t v) {
    if (v == subTotal_) return;
    subTotal_ = v;
    modified_ = true;
}

void Payment::setTip(int32_t v) {
    if (v == tip_) return;
    tip_ = v;
    modified_ = true;
}

void Payment::setGratuity(int32_t v) {
    if (v == gratuity_) return;
    gratuity_ = v;
    modified_ = true;
}

void Payment::setAccountNumber(const Text& v) {
    if (!v) {
        accountNumber_.reset();
        return;
    }
    accountNumber_ = v;
    cardType_ = CreditCardSwipe::getCardLabel(v);
    if (v->size() >= 4) number_ = v->substr(v->size() - 4);
}

void Payment::applyApprovedAmount(int32_t approved) {
    int32_t rest = std::max(approved, 0);
    auto take = [&rest](int32_t part) {
        int32_t kept = std::min(rest, std::max(part, 0));
        rest -= kept;
        return kept;
    };
    setSubTotal(take(subTotal_));
    setTax(take(tax_));
    int32_t gratuity = take(gratuity_);
    setTip(take(tip_));
    setGratuity(gratuity);
}

} // namespace tavlo
