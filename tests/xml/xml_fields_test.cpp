#include "xml/XmlFields.h"

#include "xml/XmlChildStream.h"
#include "xml/XmlHelper.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using namespace tavlo;

namespace {

// One element with a child for each kind of value a reply carries.
const std::string kReply = R"(<?xml version="1.0"?>
<!DOCTYPE tavloReply [<!ENTITY co "&amp; Co">]>
<tavloReply status="success">
<record id="7" blank="">
  <number>42</number>
  <padded>  42</padded>
  <lineOfItsOwn>
    42
  </lineOfItsOwn>
  <trailing>42 cents</trailing>
  <negative>-7</negative>
  <huge>99999999999</huge>
  <hugeNegative>-99999999999</hugeNegative>
  <word>abc</word>
  <blank> </blank>
  <selfClosed/>
  <emptyPair></emptyPair>
  <parentOnly><inner>1</inner></parentOnly>
  <cdata><![CDATA[a<b]]></cdata>
  <entity>Casa &co;</entity>
  <yes>true</yes>
  <no>false</no>
  <one>1</one>
  <zero>0</zero>
  <letterY> y</letterY>
  <millis>1500</millis>
  <millisOnALine>
    1700000000000
  </millisOnALine>
  <before1970>-157766400000</before1970>
  <short>999</short>
  <shortNegative>-500</shortNegative>
  <hugeMillis>99999999999999999999999</hugeMillis>
  <minusZero>-0</minusZero>
  <id>a</id>
  <id/>
  <!-- a comment does not end a run -->
  <id>b</id>
  <other/>
  <id>c</id>
</record>
</tavloReply>)";

struct Reply {
    XmlDocPtr doc = XmlHelper::parse(kReply);
    XmlFields record{XmlHelper::getFirstChildNode(xmlDocGetRootElement(doc.get()), "record"), doc.get()};
};

const std::optional<std::string> kNone;

} // namespace

TEST(XmlFields, TextsComeAsWrittenAndNothingIsNil) {
    Reply r;
    struct Case {
        const char* name;
        std::optional<std::string> text;
        bool has;
    };
    const Case cases[] = {
        {"number", "42", true},      {"padded", "  42", true},      // nothing trimmed
        {"blank", " ", true},                                       // a blank is text
        {"selfClosed", kNone, true},                                // present, without text: nil
        {"emptyPair", kNone, true},  {"parentOnly", kNone, true},   // a child element is no text of its own
        {"cdata", "a<b", true},      {"entity", "Casa & Co", true}, // entities expanded
        {"Number", kNone, false},                                   // names compare case by case
        {"missing", kNone, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(r.record.text(c.name), c.text) << c.name;
        EXPECT_EQ(r.record.has(c.name), c.has) << c.name;
    }
    EXPECT_EQ(r.record.attribute("id"), "7");
    EXPECT_EQ(r.record.attribute("blank"), "") << "an attribute written empty is there, unlike a child";
    EXPECT_EQ(r.record.attribute("missing"), kNone);
}

TEST(XmlFields, IntegersAndFlags) {
    Reply r;
    const std::optional<int32_t> absent;
    struct Case {
        const char* name;
        int32_t integer;
        std::optional<int32_t> ifPresent;
        bool flag;
    };
    const Case cases[] = {
        {"number", 42, 42, true},
        {"padded", 42, 42, true}, // leading blanks skipped
        {"lineOfItsOwn", 42, 42, true},
        {"trailing", 42, 42, true},           // digits up to the first other character
        {"negative", -7, -7, true},           // a sign, then a digit 1-9: YES
        {"huge", INT32_MAX, INT32_MAX, true}, // out of range saturates
        {"hugeNegative", INT32_MIN, INT32_MIN, true},
        {"word", 0, 0, false}, // text, but nothing readable
        {"blank", 0, 0, false},
        {"selfClosed", 0, absent, false}, // no text: 0 and nil
        {"emptyPair", 0, absent, false},
        {"missing", 0, absent, false},
        {"yes", 0, 0, true},
        {"no", 0, 0, false},
        {"one", 1, 1, true},
        {"zero", 0, 0, false},
        {"letterY", 0, 0, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(r.record.integer(c.name), c.integer) << c.name;
        EXPECT_EQ(r.record.integerIfPresent(c.name), c.ifPresent) << c.name;
        EXPECT_EQ(r.record.flag(c.name), c.flag) << c.name;
    }
}

TEST(XmlFields, WireTimesAreSignedWholeSeconds) {
    Reply r;
    const std::optional<Date> none;
    struct Case {
        const char* name;
        std::optional<Date> time;
        std::optional<Date> positive;
    };
    const Case cases[] = {
        {"millis", Date(1), Date(1)},                                // milliseconds cut, not rounded
        {"millisOnALine", Date(1'700'000'000), Date(1'700'000'000)}, // the blanks are not cut for digits
        {"before1970", Date(-157'766'400), none},                    // signed: 1965
        {"short", Date(0), Date(0)},                                 // three characters: the start of 1970
        {"shortNegative", Date(0), none},
        {"zero", Date(0), none},
        {"minusZero", Date(0), none},
        {"hugeMillis", Date(static_cast<double>(INT64_MAX)), Date(static_cast<double>(INT64_MAX))},
        {"word", Date(0), none},
        {"selfClosed", none, none},
        {"missing", none, none},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(r.record.time(c.name), c.time) << c.name;
        EXPECT_EQ(r.record.positiveTime(c.name), c.positive) << c.name;
    }
    EXPECT_EQ(XmlFields::wireTime(XmlHelper::wireDate(Date(-86'400))), Date(-86'400)) << "reads what is written";
}

TEST(XmlFields, RunsAndListsOfTexts) {
    Reply r;
    using Texts = std::vector<std::string>;
    EXPECT_EQ(r.record.run("id").size(), 3u) << "a comment passes, another element ends the run";
    EXPECT_EQ(r.record.runTexts("id"), (Texts{"a", "b"})) << "an element without text gives nothing";
    EXPECT_EQ(r.record.texts("id"), (Texts{"a", "b", "c"})) << "every child so named, whatever stands between";
    EXPECT_TRUE(r.record.run("missing").empty());
    EXPECT_TRUE(r.record.texts("missing").empty());
    EXPECT_EQ(r.record.child("parentOnly").integer("inner"), 1);
}

TEST(XmlFields, NoElementReadsAsNothing) {
    Reply r;
    for (const XmlFields& none : {XmlFields(nullptr, nullptr), r.record.child("missing")}) {
        EXPECT_EQ(none.attribute("id"), kNone);
        EXPECT_EQ(none.text("number"), kNone);
        EXPECT_FALSE(none.has("number"));
        EXPECT_EQ(none.integer("number"), 0);
        EXPECT_EQ(none.integerIfPresent("number"), std::nullopt);
        EXPECT_FALSE(none.flag("yes"));
        EXPECT_EQ(none.time("millis"), std::nullopt);
        EXPECT_EQ(none.positiveTime("millis"), std::nullopt);
        EXPECT_TRUE(none.run("id").empty());
        EXPECT_TRUE(none.runTexts("id").empty());
        EXPECT_TRUE(none.texts("id").empty());
        EXPECT_EQ(none.child("parentOnly").element(), nullptr);
    }
}

TEST(XmlFields, AStreamedElementReadsAsAParsedOne) {
    Reply parsed;
    XmlChildStream stream(kReply);
    xmlNodePtr element = stream.next();
    ASSERT_NE(element, nullptr);
    XmlFields streamed(element, stream.doc());
    for (const char* name : {"number", "entity", "cdata", "selfClosed", "before1970", "huge"}) {
        EXPECT_EQ(streamed.text(name), parsed.record.text(name)) << name;
        EXPECT_EQ(streamed.integer(name), parsed.record.integer(name)) << name;
        EXPECT_EQ(streamed.time(name), parsed.record.time(name)) << name;
    }
    EXPECT_EQ(streamed.runTexts("id"), parsed.record.runTexts("id"));
    EXPECT_EQ(streamed.texts("id"), parsed.record.texts("id"));
}
