#include "core/records/Customer.h"

#include "core/records/RecordDocument.h"
#include "core/records/StoreRows.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "xml/XmlFields.h"
#include "xml/XmlHelper.h"

namespace tavlo {

// A text field with its local store attribute and its XML name (null: not on the wire).
struct Customer::TextField {
    Text Customer::*member;
    const char* stored;
    const char* xml;
};

// In the order of the request document.
const std::vector<Customer::TextField>& Customer::textFields() {
    static const std::vector<TextField> fields = {
        {&Customer::company_, "company", "customerName"},
        {&Customer::firstName_, "firstName", "firstName"},
        {&Customer::initial_, "middleInitial", "middleInitial"},
        {&Customer::lastName_, "lastName", "lastName"},
        {&Customer::note_, "note", "description"},
        {&Customer::email_, "email", "emailAddress"},
        {&Customer::phone_, "phone", "homeNumber"},
        {&Customer::mobile_, "mobile", "cellNumber"},
        {&Customer::street_, "street", "address"},
        {&Customer::city_, "city", "city"},
        {&Customer::state_, "state", "state"},
        {&Customer::postalCode_, "postalCode", "zip"},
        {&Customer::directions_, "directions", "drivingDirections"},
        {&Customer::message_, "message", "message"},
        {&Customer::cardNumber_, "cardNumber", nullptr},
        {&Customer::track1_, "track1", nullptr},
        {&Customer::track2_, "track2", nullptr},
        {&Customer::track3_, "track3", nullptr},
        {&Customer::facebookUser_, "facebookUser", nullptr},
        {&Customer::facebookId_, "facebookId", nullptr},
    };
    return fields;
}

Customer::Text Customer::name() const {
    std::string joined;
    for (const Text* part : {&firstName_, &initial_, &lastName_}) {
        if (!*part || (*part)->empty()) continue;
        if (!joined.empty()) joined += ' ';
        joined += **part;
    }
    return joined.empty() ? std::nullopt : Text(joined);
}

Customer::Text Customer::company() const {
    if (company_ && !trim(*company_).empty()) return company_;
    return name();
}

bool Customer::equals(const Customer* other) const {
    if (!other) return false;
    if (customerId_ && other->customerId_) return *customerId_ == *other->customerId_;
    return remoteId_ && other->remoteId_ && *remoteId_ == *other->remoteId_;
}

ManagedObjectPtr Customer::write(ObjectContext& context) {
    ManagedObjectPtr row = findRow(context, "Customer", "customerId", customerId_);
    // The server's first answer carries its new id beside ours: the row made here takes it,
    // rather than the customer being stored twice.
    if (!row) {
        row = findRow(context, "Customer", "remoteId", remoteId_);
        if (row && customerId_) row->setValue("customerId", customerId_);
    }
    if (!row) {
        row = context.insert("Customer");
        row->setValue("remoteId", remoteId_);
        row->setValue("localCreated", localCreated_ ? *localCreated_ : Date::now());
        row->setValue("customerId", customerId_);
    }
    for (const TextField& f : textFields())
        if (this->*f.member) row->setValue(f.stored, this->*f.member);
    row->setValue("paymentTerms", terms_);
    if (dob_) row->setValue("dob", *dob_);
    if (disabled_) row->setValue("disabled", *disabled_);
    if (created_) row->setValue("created", *created_);
    if (updated_) row->setValue("updateDate", *updated_);
    if (localUpdated_) row->setValue("localUpdated", *localUpdated_);
    isNew_ = false;
    return row;
}

void Customer::read(const ManagedObject& row) {
    remoteId_ = row.text("remoteId");
    customerId_ = row.text("customerId");
    for (const TextField& f : textFields()) this->*f.member = row.text(f.stored);
    terms_ = row.int32("paymentTerms");
    dob_ = row.date("dob");
    disabled_ = row.date("disabled");
    created_ = row.date("created");
    updated_ = row.date("updateDate");
    localCreated_ = row.date("localCreated");
    localUpdated_ = row.date("localUpdated");
    isNew_ = false;
}

void Customer::read(xmlNodePtr element, xmlDocPtr doc) {
    XmlFields xml(element, doc);
    customerId_ = xml.attribute("id");
    remoteId_ = xml.attribute("remoteId");
    for (const TextField& f : textFields())
        if (f.xml) this->*f.member = xml.text(f.xml);
    // Dates of birth before 1970 travel as negative milliseconds.
    if (std::optional<std::string> t = xml.text("dateOfBirth"); t && longLongValue(*t) != 0)
        dob_ = XmlFields::wireTime(*t);
    if (auto t = xml.positiveTime("disabled")) disabled_ = t;
    if (auto t = xml.positiveTime("creationDate")) created_ = t;
    if (auto t = xml.positiveTime("dateUpdated")) updated_ = t;
}

Customer::Text Customer::toXml(Error* error) const {
    return writeRecordDocument(
        "customer",
        [&](TextWriterDocument& doc) {
            if (customerId_) doc.writeAttribute("id", *customerId_);
            else if (remoteId_) doc.writeAttribute("remoteId", *remoteId_);
            doc.writeElement("customerName", company().value_or("?"));
            for (const TextField& f : textFields())
                if (f.xml && f.member != &Customer::company_ && this->*f.member)
                    doc.writeElement(f.xml, this->*f.member);
            if (dob_) doc.writeElement("dateOfBirth", XmlHelper::wireDate(*dob_));
        },
        error);
}

} // namespace tavlo
