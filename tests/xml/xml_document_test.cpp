#include "xml/XmlDocument.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace tavlo;

namespace {

std::unique_ptr<XmlDocument> orderReply() {
    Error error;
    auto doc = XmlDocument::fromData(test::readFixture("xml/order_reply.xml"), 0, &error);
    EXPECT_FALSE(error.isSet());
    return doc;
}

std::vector<std::string> attributeValues(const std::vector<XmlNode*>& nodes, std::string_view attribute) {
    std::vector<std::string> out;
    for (XmlNode* n : nodes) {
        auto* e = dynamic_cast<XmlElement*>(n);
        XmlNode* a = e ? e->attributeForName(attribute) : nullptr;
        out.push_back(a ? a->stringValue().value_or("") : "?");
    }
    return out;
}

} // namespace

TEST(XmlDocument, XPathInDocumentOrder) {
    auto doc = orderReply();
    ASSERT_TRUE(doc);
    const auto selections = doc->nodesForXPath("//selection");
    EXPECT_EQ(attributeValues(selections, "remoteId"), (std::vector<std::string>{"s1", "s2", "s3", "s4"}));
    // Relative to a context node, and attribute results.
    XmlElement* order = doc->rootElement()->elementsForName("customerOrder").at(0);
    EXPECT_EQ(order->nodesForXPath("selection[price > 500]/selectionName").size(), 2u);
    const auto ids = order->nodesForXPath("selection/@remoteId");
    ASSERT_EQ(ids.size(), 4u);
    EXPECT_EQ(ids[0]->kind(), XML_ATTRIBUTE_NODE);
    EXPECT_EQ(ids[3]->stringValue(), "s4");
    // Not a node set, or not an expression at all: empty.
    EXPECT_TRUE(doc->nodesForXPath("count(//selection)").empty());
    Error error;
    EXPECT_TRUE(doc->nodesForXPath("//selection[", &error).empty());
    EXPECT_EQ(error.domain(), XmlDocument::kErrorDomain);
}

TEST(XmlDocument, XPathWithNamespaces) {
    auto doc = XmlDocument::fromXMLString(
        "<r:reply xmlns:r=\"urn:tavlo:reply\" xmlns=\"urn:tavlo:order\"><order id=\"1\"/><r:note>n</r:note>"
        "<order id=\"2\"/></r:reply>",
        0);
    ASSERT_TRUE(doc);
    EXPECT_TRUE(doc->nodesForXPath("//order").empty()); // in the default namespace
    const auto orders = doc->nodesForXPath("//o:order", {{"o", "urn:tavlo:order"}});
    EXPECT_EQ(attributeValues(orders, "id"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(doc->nodesForXPath("/x:reply/x:note", {{"x", "urn:tavlo:reply"}}).size(), 1u);
    EXPECT_TRUE(doc->nodesForXPath("//namespace::*").empty()); // namespace nodes get no wrapper
}

TEST(XmlDocument, Navigation) {
    auto doc = orderReply();
    XmlElement* root = doc->rootElement();
    ASSERT_TRUE(root);
    EXPECT_EQ(XmlNode::nodeWithLibXMLNode(root->libXMLNode()), root);
    EXPECT_EQ(root->rootDocument(), doc.get());
    EXPECT_EQ(root->parent(), doc.get());
    EXPECT_EQ(doc->parent(), nullptr);
    EXPECT_EQ(doc->level(), 0u);
    EXPECT_EQ(root->level(), 1u);
    EXPECT_EQ(root->name(), "tavloReply");

    XmlElement* order = root->elementsForName("customerOrder").at(0);
    EXPECT_EQ(order->level(), 2u);
    XmlNode* first = order->childAtIndex(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->kind(), XML_TEXT_NODE);
    EXPECT_EQ(first->index(), 0u);
    EXPECT_EQ(order->childAtIndex(order->childCount()), nullptr);
    EXPECT_EQ(order->childAtIndex(1)->previousSibling(), first);
    EXPECT_EQ(first->nextSibling(), order->childAtIndex(1));
    EXPECT_EQ(order->elementsForName("selection").size(), 4u);
    EXPECT_TRUE(order->elementsForName("Selection").empty());

    XmlElement* mixed = order->elementsForName("mixed").at(0);
    EXPECT_EQ(mixed->stringValue(), "ac");
    EXPECT_EQ(mixed->children().size(), 3u);
    EXPECT_EQ(order->elementsForName("empty").at(0)->stringValue(), std::nullopt);
    EXPECT_EQ(order->elementsForName("note").at(0)->stringValue(), "Chez Casa & Co!");

    XmlElement* payment = order->elementsForName("payment").at(0);
    const auto attributes = payment->attributes();
    ASSERT_EQ(attributes.size(), 2u);
    EXPECT_EQ(attributes[1]->name(), "type");
    EXPECT_EQ(payment->attributeForName("remoteId")->stringValue(), "p1");
    EXPECT_EQ(payment->attributeForName("missing"), nullptr);
    EXPECT_EQ(attributes[0]->parent(), payment);
}

TEST(XmlDocument, Serialisation) {
    auto doc = XmlDocument::fromXMLString(
        "<p class='say \"x\"'>a &amp; b<br/><span></span><img src='i.png'/><![CDATA[c<d]]><!--gone--></p>", 0);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->XMLString(),
              "<p class=\"say &quot;x&quot;\">a &amp; b<br/><span></span><img src=\"i.png\"/><![CDATA[c<d]]></p>");
    // What it writes parses back to the same text.
    auto again = XmlDocument::fromXMLString(doc->XMLString(), 0);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->XMLString(), doc->XMLString());
    EXPECT_NE(doc->rootElement()->description().find("XmlElement"), std::string::npos);
    EXPECT_NE(doc->description().find("<p class="), std::string::npos);
}

TEST(XmlDocument, HtmlParser) {
    auto doc = XmlDocument::fromXMLString("<html><body><p>One<p>Two &amp; <b>three</b></body>", XmlDocument::kTidyHTML);
    ASSERT_TRUE(doc);
    const auto paragraphs = doc->nodesForXPath("//p");
    ASSERT_EQ(paragraphs.size(), 2u);
    EXPECT_EQ(paragraphs[1]->stringValue(), "Two & ");
    EXPECT_EQ(doc->rootElement()->name(), "html");
    // The same text is not well-formed XML.
    Error error;
    EXPECT_EQ(XmlDocument::fromXMLString("<html><body><p>One<p>Two</body>", 0, &error), nullptr);
    EXPECT_EQ(error.code(), XmlDocument::kParseFailed);
}

TEST(XmlDocument, FailuresGiveNilAndError) {
    struct Case {
        const char* what;
        std::string data;
    };
    const Case cases[] = {
        {"empty", ""}, {"truncated", "<r><a>1</a"}, {"garbage", "\x01\x02"}, {"two roots", "<a/><b/>"}};
    for (const Case& c : cases) {
        Error error;
        EXPECT_EQ(XmlDocument::fromData(c.data, 0, &error), nullptr) << c.what;
        EXPECT_EQ(error, Error(XmlDocument::kErrorDomain, XmlDocument::kParseFailed, "")) << c.what;
    }
    // A stale error is cleared by a successful string parse.
    Error stale("X", 5, "old");
    EXPECT_TRUE(XmlDocument::fromXMLString("<a/>", 0, &stale));
    EXPECT_FALSE(stale.isSet());
}

TEST(XmlDocument, ContentsOfFile) {
    test::TempHome home;
    const auto path = home.path() / "reply.xml";
    std::ofstream(path) << "<r><v>1</v></r>";
    auto doc = XmlDocument::fromContentsOfURL("file://" + path.string(), 0);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->nodesForXPath("/r/v").at(0)->stringValue(), "1");
    Error error;
    EXPECT_EQ(XmlDocument::fromContentsOfURL((home.path() / "missing.xml").string(), 0, &error), nullptr);
    EXPECT_EQ(error.code(), XmlDocument::kReadFailed);
    EXPECT_EQ(XmlDocument::fromContentsOfURL("http://127.0.0.1/reply.xml", 0, &error), nullptr);
    EXPECT_EQ(error.code(), XmlDocument::kReadFailed);
}
