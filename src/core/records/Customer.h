#pragma once

#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"
#include "platform/store/ManagedObject.h"

#include <libxml/tree.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class ObjectContext;

// One house-account or delivery customer: names, company, telephones, e-mail, address with
// driving directions, card data for recognising a swiped customer card, date of birth, payment
// terms and a disabled time. An order refers to one by `customerId`, or by `remoteId` while the
// server has not assigned an id.
class Customer {
public:
    using Text = std::optional<std::string>;

    // A new customer: `new` set, terms 0, everything else nil.
    Customer() = default;

    // First name, initial and last name joined by single blanks; nil when all are empty.
    Text name() const;
    // The company when it holds more than blanks, else `name`.
    Text company() const;
    // Same server id when both have one; otherwise the same terminal-made id; NO for null.
    bool equals(const Customer* other) const;

    // Stores the customer in the context (not saved): the row with its server id, else with its
    // terminal-made id, else a new row. Unset texts leave the stored values alone.
    ManagedObjectPtr write(ObjectContext& context);
    void read(const ManagedObject& row);
    // Reads a `customer` element of the server's XML; `new` is left as it was.
    void read(xmlNodePtr element, xmlDocPtr doc);
    // The `customer` request document; nil (logged, with `error`) when writing fails.
    Text toXml(Error* error = nullptr) const;

    const Text& remoteId() const { return remoteId_; }
    void setRemoteId(Text v) { remoteId_ = std::move(v); }
    const Text& customerId() const { return customerId_; }
    void setCustomerId(Text v) { customerId_ = std::move(v); }
    const Text& firstName() const { return firstName_; }
    void setFirstName(Text v) { firstName_ = std::move(v); }
    const Text& initial() const { return initial_; }
    void setInitial(Text v) { initial_ = std::move(v); }
    const Text& lastName() const { return lastName_; }
    void setLastName(Text v) { lastName_ = std::move(v); }
    // The stored company field as it is (`company()` falls back to the name).
    const Text& companyField() const { return company_; }
    void setCompany(Text v) { company_ = std::move(v); }
    const Text& mobile() const { return mobile_; }
    void setMobile(Text v) { mobile_ = std::move(v); }
    const Text& phone() const { return phone_; }
    void setPhone(Text v) { phone_ = std::move(v); }
    const Text& email() const { return email_; }
    void setEmail(Text v) { email_ = std::move(v); }
    const Text& note() const { return note_; }
    void setNote(Text v) { note_ = std::move(v); }
    const Text& message() const { return message_; }
    void setMessage(Text v) { message_ = std::move(v); }
    const Text& cardNumber() const { return cardNumber_; }
    void setCardNumber(Text v) { cardNumber_ = std::move(v); }
    const Text& track1() const { return track1_; }
    void setTrack1(Text v) { track1_ = std::move(v); }
    const Text& track2() const { return track2_; }
    void setTrack2(Text v) { track2_ = std::move(v); }
    const Text& track3() const { return track3_; }
    void setTrack3(Text v) { track3_ = std::move(v); }
    const Text& facebookUser() const { return facebookUser_; }
    void setFacebookUser(Text v) { facebookUser_ = std::move(v); }
    const Text& facebookId() const { return facebookId_; }
    void setFacebookId(Text v) { facebookId_ = std::move(v); }
    const Text& street() const { return street_; }
    void setStreet(Text v) { street_ = std::move(v); }
    const Text& city() const { return city_; }
    void setCity(Text v) { city_ = std::move(v); }
    const Text& state() const { return state_; }
    void setState(Text v) { state_ = std::move(v); }
    const Text& postalCode() const { return postalCode_; }
    void setPostalCode(Text v) { postalCode_ = std::move(v); }
    const Text& directions() const { return directions_; }
    void setDirections(Text v) { directions_ = std::move(v); }
    int32_t terms() const { return terms_; }
    void setTerms(int32_t v) { terms_ = v; }
    const std::optional<Date>& dob() const { return dob_; }
    void setDob(std::optional<Date> v) { dob_ = v; }
    bool new_() const { return isNew_; }
    void setNew(bool v) { isNew_ = v; }
    const std::optional<Date>& disabled() const { return disabled_; }
    void setDisabled(std::optional<Date> v) { disabled_ = v; }
    const std::optional<Date>& created() const { return created_; }
    void setCreated(std::optional<Date> v) { created_ = v; }
    const std::optional<Date>& updated() const { return updated_; }
    void setUpdated(std::optional<Date> v) { updated_ = v; }
    const std::optional<Date>& localCreated() const { return localCreated_; }
    void setLocalCreated(std::optional<Date> v) { localCreated_ = v; }
    const std::optional<Date>& localUpdated() const { return localUpdated_; }
    void setLocalUpdated(std::optional<Date> v) { localUpdated_ = v; }

private:
    struct TextField;
    static const std::vector<TextField>& textFields();

    Text remoteId_, customerId_, firstName_, initial_, lastName_, company_, mobile_, phone_, email_, note_, message_;
    Text cardNumber_, track1_, track2_, track3_, facebookUser_, facebookId_;
    Text street_, city_, state_, postalCode_, directions_;
    int32_t terms_ = 0;
    std::optional<Date> dob_;
    bool isNew_ = true;
    std::optional<Date> disabled_, created_, updated_, localCreated_, localUpdated_;
};

} // namespace tavlo
