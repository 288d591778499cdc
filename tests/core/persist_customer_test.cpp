#include "core/records/Customer.h"

#include "PersistTestSupport.h"

#include <gtest/gtest.h>

namespace tavlo {
namespace {

using test::ParsedRequest;
using Text = std::optional<std::string>;

Customer fullCustomer() {
    Customer c;
    c.setRemoteId("3170000000000000001");
    c.setFirstName("Ada");
    c.setInitial("B");
    c.setLastName("Lovelace");
    c.setCompany("Analytical & Co");
    c.setNote("Leaves by the back door");
    c.setEmail("ada@example.org");
    c.setPhone("555-0100");
    c.setMobile("555-0199");
    c.setStreet("12 Engine Row");
    c.setCity("Springfield");
    c.setState("OR");
    c.setPostalCode("97477");
    c.setDirections("Second left after the mill");
    c.setMessage("Prefers a window seat");
    c.setDob(test::date1965());
    return c;
}

TEST(PersistCustomer, NameCompanyAndEquality) {
    struct Case {
        Text first, initial, last;
        Text expected;
    };
    for (const Case& c : std::vector<Case>{{"Ada", {}, "Lovelace", "Ada Lovelace"},
                                           {{}, {}, "Lovelace", "Lovelace"},
                                           {"Ada", "B", "Lovelace", "Ada B Lovelace"},
                                           {{}, "B", {}, "B"},
                                           {"", "", "", {}},
                                           {{}, {}, {}, {}}}) {
        Customer customer;
        customer.setFirstName(c.first);
        customer.setInitial(c.initial);
        customer.setLastName(c.last);
        EXPECT_EQ(customer.name(), c.expected);
        customer.setCompany("   ");
        EXPECT_EQ(customer.company(), c.expected) << "a company of blanks gives the name";
    }

    Customer a, b;
    EXPECT_FALSE(a.equals(nullptr));
    EXPECT_FALSE(a.equals(&b)) << "no ids at all";
    a.setRemoteId("r1");
    b.setRemoteId("r1");
    a.setCustomerId("42");
    EXPECT_TRUE(a.equals(&b)) << "only one has a server id: the terminal ids decide";
    b.setCustomerId("43");
    EXPECT_FALSE(a.equals(&b)) << "both have server ids: those decide";
}

TEST(PersistCustomer, DocumentIsStructuredAsTheServerExpects) {
    Customer c = fullCustomer();
    c.setCustomerId("42");
    ParsedRequest doc(c.toXml());
    ASSERT_TRUE(doc.record);
    EXPECT_STREQ(reinterpret_cast<const char*>(doc.doc->encoding), "UTF-8");
    ASSERT_TRUE(doc.doc->intSubset);
    EXPECT_STREQ(reinterpret_cast<const char*>(doc.doc->intSubset->SystemID), "storeData.dtd");
    EXPECT_TRUE(XmlHelper::isElementNamed(doc.root, "tavloRequest"));
    EXPECT_TRUE(XmlHelper::isElementNamed(doc.record, "customer"));
    EXPECT_EQ(doc.attribute("id"), "42");
    EXPECT_EQ(doc.attribute("remoteId"), std::nullopt) << "with both ids only the server's is sent";
    EXPECT_EQ(test::childNames(doc.record),
              (std::vector<std::string>{"customerName", "firstName", "middleInitial", "lastName", "description",
                                        "emailAddress", "homeNumber", "cellNumber", "address", "city", "state", "zip",
                                        "drivingDirections", "message", "dateOfBirth"}));
    EXPECT_EQ(doc.text("customerName"), "Analytical & Co");
    EXPECT_EQ(doc.text("dateOfBirth"), "-157766400000") << "signed milliseconds before 1970";

    Customer bare;
    bare.setRemoteId("r9");
    ParsedRequest bareDoc(bare.toXml());
    ASSERT_TRUE(bareDoc.record);
    EXPECT_EQ(bareDoc.attribute("remoteId"), "r9");
    EXPECT_EQ(bareDoc.attribute("id"), std::nullopt);
    EXPECT_EQ(test::childNames(bareDoc.record), std::vector<std::string>{"customerName"});
    EXPECT_EQ(bareDoc.text("customerName"), "?");

    Customer named;
    named.setFirstName("Ada");
    named.setLastName("Lovelace");
    EXPECT_EQ(ParsedRequest(named.toXml()).text("customerName"), "Ada Lovelace");
}

TEST(PersistCustomer, DocumentReadsBackWithADateOfBirthBefore1970) {
    Customer sent = fullCustomer();
    ParsedRequest doc(sent.toXml());
    ASSERT_TRUE(doc.record);
    Customer got;
    got.read(doc.record, doc.doc.get());
    EXPECT_EQ(got.remoteId(), sent.remoteId());
    EXPECT_EQ(got.customerId(), std::nullopt);
    EXPECT_EQ(got.dob(), test::date1965());
    for (auto field :
         {&Customer::companyField, &Customer::firstName, &Customer::initial, &Customer::lastName, &Customer::note,
          &Customer::email, &Customer::phone, &Customer::mobile, &Customer::street, &Customer::city, &Customer::state,
          &Customer::postalCode, &Customer::directions, &Customer::message})
        EXPECT_EQ((got.*field)(), (sent.*field)());
    EXPECT_TRUE(got.new_()) << "reading the server's XML leaves `new` alone";
}

TEST(PersistCustomer, ServerTimesReadAsWholeSecondsWhenSet) {
    const char* reply = "<customer id=\"7\"><customerName>Bob's</customerName><disabled>0</disabled>"
                        "<creationDate>1700000000123</creationDate><dateUpdated>1700000100999</dateUpdated>"
                        "<dateOfBirth>-157766400000</dateOfBirth></customer>";
    XmlDocPtr doc = XmlHelper::parse(reply);
    ASSERT_TRUE(doc);
    Customer c;
    c.setDisabled(Date(5));
    c.read(xmlDocGetRootElement(doc.get()), doc.get());
    EXPECT_EQ(c.customerId(), "7");
    EXPECT_EQ(c.disabled(), Date(5)) << "a disabled time of 0 leaves the field";
    EXPECT_EQ(c.created(), Date(1700000000));
    EXPECT_EQ(c.updated(), Date(1700000100));
    EXPECT_EQ(c.dob(), test::date1965());

    XmlDocPtr later = XmlHelper::parse("<customer id=\"7\"><disabled>4102444800000</disabled></customer>");
    c.read(xmlDocGetRootElement(later.get()), later.get());
    EXPECT_EQ(c.disabled(), Date(4102444800.0)) << "2100: past 32-bit seconds";
    EXPECT_EQ(c.dob(), test::date1965()) << "an absent date of birth stays";
}

TEST(PersistCustomer, StoreRoundTripKeepsEveryField) {
    test::LocalStoreScope store;
    Customer sent = fullCustomer();
    sent.setCardNumber("6011000000000004");
    sent.setTrack1("%B6011^LOVELACE/ADA^?");
    sent.setTrack2(";6011=?");
    sent.setTrack3(";3?");
    sent.setFacebookUser("ada");
    sent.setFacebookId("1815");
    sent.setTerms(30);
    sent.setDisabled(Date(1700000000));
    sent.setCreated(Date(1600000000));
    sent.setUpdated(Date(1650000000));
    sent.setLocalUpdated(Date(1690000000));
    sent.write(*store.context());
    EXPECT_FALSE(sent.new_());
    store.save();

    auto other = test::otherContext(store);
    std::vector<ManagedObjectPtr> rows = other->fetchAll("Customer");
    ASSERT_EQ(rows.size(), 1u);
    Customer got;
    got.read(*rows[0]);
    EXPECT_FALSE(got.new_());
    for (auto field : {&Customer::remoteId,     &Customer::customerId, &Customer::companyField, &Customer::firstName,
                       &Customer::initial,      &Customer::lastName,   &Customer::note,         &Customer::email,
                       &Customer::phone,        &Customer::mobile,     &Customer::street,       &Customer::city,
                       &Customer::state,        &Customer::postalCode, &Customer::directions,   &Customer::message,
                       &Customer::cardNumber,   &Customer::track1,     &Customer::track2,       &Customer::track3,
                       &Customer::facebookUser, &Customer::facebookId})
        EXPECT_EQ((got.*field)(), (sent.*field)());
    EXPECT_EQ(got.terms(), 30);
    EXPECT_EQ(got.dob(), test::date1965());
    EXPECT_EQ(got.disabled(), sent.disabled());
    EXPECT_EQ(got.created(), sent.created());
    EXPECT_EQ(got.updated(), sent.updated());
    EXPECT_EQ(got.localUpdated(), sent.localUpdated());
    EXPECT_TRUE(got.localCreated().has_value());
}

TEST(PersistCustomer, LaterWritesUpdateTheSameRow) {
    test::LocalStoreScope store;
    Customer first = fullCustomer();
    first.write(*store.context());
    store.save();

    // The server's answer: the same customer by its terminal id, now with a server id, no e-mail.
    Customer answer;
    answer.setRemoteId(first.remoteId());
    answer.setCustomerId("42");
    answer.setFirstName("Ada");
    answer.write(*store.context());
    store.save();

    std::vector<ManagedObjectPtr> rows = store->fetchAll("Customer");
    ASSERT_EQ(rows.size(), 1u);
    Customer got;
    got.read(*rows[0]);
    EXPECT_EQ(got.customerId(), "42") << "a row found by the terminal id takes the server id";
    EXPECT_EQ(got.email(), first.email()) << "an unset e-mail keeps the stored one";

    Customer byServerId;
    byServerId.setCustomerId("42");
    byServerId.setEmail("new@example.org");
    byServerId.write(*store.context());
    EXPECT_EQ(store->fetchAll("Customer").size(), 1u);
    EXPECT_EQ(rows[0]->text("email"), "new@example.org");
}

} // namespace
} // namespace tavlo
