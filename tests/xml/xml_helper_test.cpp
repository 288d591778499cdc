#include "xml/XmlHelper.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <random>

using namespace tavlo;

namespace {

struct Reply {
    XmlDocPtr doc;
    xmlNodePtr root = nullptr;
    xmlNodePtr order = nullptr;

    explicit Reply(std::string_view bytes) : doc(XmlHelper::parse(bytes)) {
        root = xmlDocGetRootElement(doc.get());
        order = XmlHelper::getFirstChildNode(root, "customerOrder");
    }
};

const std::string& orderReply() {
    static const std::string text = test::readFixture("xml/order_reply.xml");
    return text;
}

std::vector<std::string> remoteIds(const std::vector<xmlNodePtr>& nodes) {
    std::vector<std::string> ids;
    for (xmlNodePtr n : nodes) ids.push_back(XmlHelper::getAttributeValue(n, "remoteId").value_or("?"));
    return ids;
}

} // namespace

TEST(XmlHelperNodes, ChildTexts) {
    Reply r(orderReply());
    ASSERT_NE(r.order, nullptr);
    const std::optional<std::string> none;
    struct Case {
        const char* name;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {"seats", "4"},
        {"orderName", "Table 4"},
        {"note", "Chez Casa & Co!"}, // entity reference expanded, predefined entity inside it too
        {"empty", none},             // self-closing tag
        {"emptyPair", none},         // start tag directly followed by its end tag
        {"parentOnly", none},        // only an element child
        {"mixed", "ac"},             // direct texts only, child element skipped
        {"cdata", "a<b"},
        {"orderid", none}, // names are case-sensitive: the element is orderId
        {"missing", none},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(XmlHelper::getChildValue(r.doc.get(), r.order, c.name), c.text) << c.name;
        EXPECT_EQ(XmlHelper::getNodeValue(r.doc.get(), r.order, c.name), c.text) << c.name;
    }
    // Whitespace between child elements is text of the parent, returned untrimmed.
    const auto between = XmlHelper::getValue(r.order, r.doc.get());
    ASSERT_TRUE(between);
    EXPECT_EQ(between->find_first_not_of(" \n"), std::string::npos);
}

TEST(XmlHelperNodes, AttributesAndLookups) {
    Reply r(orderReply());
    EXPECT_EQ(XmlHelper::getAttributeValue(r.root, "status"), "success");
    EXPECT_EQ(XmlHelper::getAttributeValue(r.root, "Status"), std::nullopt);
    xmlNodePtr blank = XmlHelper::getFirstChildNode(r.order, "blankAttr");
    EXPECT_EQ(XmlHelper::getAttributeValue(blank, "code"), "");
    EXPECT_EQ(XmlHelper::getAttributeValue(blank, "other"), std::nullopt);

    // Two children named selection: the first in document order.
    EXPECT_EQ(XmlHelper::getAttributeValue(XmlHelper::getFirstChildNode(r.order, "selection"), "remoteId"), "s1");
    EXPECT_EQ(XmlHelper::getChildValue(r.doc.get(), XmlHelper::getChildNode(r.order, "selection", "remoteId", "s3"),
                                       "selectionName"),
              "Crème brûlée");
    EXPECT_EQ(XmlHelper::getChildNode(r.order, "selection", "remoteId", "p1"), nullptr);
    EXPECT_EQ(XmlHelper::getChildNode(r.order, "payment", "type", "cash"),
              XmlHelper::getFirstChildNode(r.order, "payment"));
    // Only elements are found: the comment and the text nodes have libxml2 names of their own.
    EXPECT_EQ(XmlHelper::getFirstChildNode(r.order, "comment"), nullptr);
    EXPECT_EQ(XmlHelper::getFirstChildNode(r.order, "text"), nullptr);
}

TEST(XmlHelperNodes, RunOfSameNameSiblingsStopsAtAnotherName) {
    Reply r(orderReply());
    // s4 comes after the payment element and is not part of the run; the comment and whitespace
    // between s2 and s3 do not end it.
    EXPECT_EQ(remoteIds(XmlHelper::getChildRun(r.order, "selection")), (std::vector<std::string>{"s1", "s2", "s3"}));
    EXPECT_EQ(remoteIds(XmlHelper::getChildRun(r.order, "payment")), std::vector<std::string>{"p1"});
    EXPECT_TRUE(XmlHelper::getChildRun(r.order, "discount").empty());

    Reply adjacent("<r><a n='1'/><a n='2'/><b/><a n='3'/></r>");
    EXPECT_EQ(XmlHelper::getChildRun(adjacent.root, "a").size(), 2u);
}

TEST(XmlHelperNodes, BrokenRepliesGiveNothing) {
    // Every truncation of a good reply, and a few broken ones: no crash, no document or no values.
    const std::string& good = orderReply();
    for (size_t len = 0; len <= good.rfind('>'); ++len) {
        Reply r(std::string_view(good).substr(0, len));
        EXPECT_EQ(r.doc, nullptr) << "truncated at " << len;
        EXPECT_EQ(XmlHelper::getChildValue(r.doc.get(), r.order, "seats"), std::nullopt);
        EXPECT_TRUE(XmlHelper::getChildRun(r.order, "selection").empty());
    }
    const std::string broken[] = {
        "",
        "<",
        "not xml at all",
        "<a><b></a>",
        "<a>&undefined;</a>",
        std::string("<a>\0</a>", 8),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xff\xfe</a>",
        "<a x='1' x='2'/>",
    };
    for (const std::string& text : broken) {
        Reply r(text);
        EXPECT_EQ(r.doc, nullptr) << text;
        EXPECT_EQ(XmlHelper::getAttributeValue(r.root, "x"), std::nullopt);
    }
    EXPECT_EQ(XmlHelper::getValue(nullptr, nullptr), std::nullopt);
    EXPECT_EQ(XmlHelper::getChildNode(nullptr, "a", "b", "c"), nullptr);
}

// Reads every element of a tree with every getter, as a reply reader would.
static size_t walk(xmlDocPtr doc, xmlNodePtr node) {
    size_t seen = 0;
    for (xmlNodePtr c = node ? node->children : nullptr; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE) continue;
        const std::string name = reinterpret_cast<const char*>(c->name);
        seen += 1 + XmlHelper::getChildRun(node, name).size();
        (void)XmlHelper::getValue(c, doc);
        (void)XmlHelper::getChildValue(doc, c, "selectionName");
        (void)XmlHelper::getAttributeValue(c, "remoteId");
        (void)XmlHelper::getChildNode(node, name, "remoteId", "s1");
        seen += walk(doc, c);
    }
    return seen;
}

TEST(XmlHelperNodes, MutatedRepliesNeverCrash) {
    const std::string& good = orderReply();
    std::mt19937 random(20240611);
    size_t parsed = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = good;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const size_t at = random() % text.size();
            switch (random() % 3) {
            case 0: text[at] = static_cast<char>(random()); break;
            case 1: text.erase(at, 1 + random() % 8); break;
            default: text.insert(at, 1, "<>&;\"/=\0\xff"[random() % 9]); break;
            }
        }
        Reply r(text);
        if (r.doc) ++parsed;
        walk(r.doc.get(), r.root);
    }
    EXPECT_GT(parsed, 0u); // some mutations leave the reply well formed, and those are read through
}

TEST(XmlHelperNodes, EntityExpansionIsBounded) {
    // Nested entities that would expand to gigabytes: either the parser refuses the reply or the
    // text reads as nil; memory stays small either way.
    std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e0 \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">";
    for (int i = 1; i <= 9; ++i) {
        bomb += "<!ENTITY e" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) bomb += "&e" + std::to_string(i - 1) + ";";
        bomb += "\">";
    }
    bomb += "]><r><v>&e9;</v></r>";
    Reply r(bomb);
    EXPECT_EQ(XmlHelper::getChildValue(r.doc.get(), r.root, "v"), std::nullopt);
}

TEST(XmlHelperNodes, LatinRepliesReadAsUtf8) {
    Reply r("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r><name>Jos\xe9 Pe\xf1"
            "a</name></r>");
    EXPECT_EQ(XmlHelper::getChildValue(r.doc.get(), r.root, "name"), "José Peña");
}

TEST(XmlHelperNodes, WireForms) {
    EXPECT_EQ(XmlHelper::wireDate(Date(1'700'000'123.9)), "1700000123000");
    EXPECT_EQ(XmlHelper::wireDate(Date(0)), "0000");
    EXPECT_EQ(XmlHelper::wireDate(Date(4'102'444'800.0)), "4102444800000"); // past 2038
    EXPECT_EQ(XmlHelper::wireDate(Date(-86'400.0)), "-86400000");           // before 1970
}
