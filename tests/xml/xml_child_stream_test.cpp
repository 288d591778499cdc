#include "xml/XmlChildStream.h"

#include "support/TempHome.h"
#include "xml/XmlHelper.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace tavlo;

namespace {

// An element as text, with the texts the readers would take from it (its own, each child's and
// each attribute's, entities expanded), so that two documents can be compared child by child.
std::string describe(xmlNodePtr element) {
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlNodeDump(buffer, element->doc, element, 0, 0);
    std::string out(reinterpret_cast<const char*>(xmlBufferContent(buffer)));
    xmlBufferFree(buffer);
    auto add = [&](const std::optional<std::string>& text) { out += "|" + text.value_or("(nil)"); };
    add(XmlHelper::getValue(element, element->doc));
    for (xmlAttrPtr a = element->properties; a; a = a->next)
        add(XmlHelper::getAttributeValue(element, reinterpret_cast<const char*>(a->name)));
    for (xmlNodePtr c = xmlFirstElementChild(element); c; c = xmlNextElementSibling(c)) out += "{" + describe(c) + "}";
    return out;
}

// The root's children as a whole parse gives them; nothing when the bytes are no document.
std::optional<std::vector<std::string>> parsedChildren(const std::string& bytes, const char* encoding = nullptr) {
    XmlDocPtr doc = XmlHelper::parse(bytes, encoding);
    if (!doc) return std::nullopt;
    std::vector<std::string> out;
    for (xmlNodePtr c = xmlFirstElementChild(xmlDocGetRootElement(doc.get())); c; c = xmlNextElementSibling(c))
        out.push_back(describe(c));
    return out;
}

// The same as the stream gives them, reading the bytes in place or taking them over.
enum class Bytes { InPlace, Owned };
std::optional<std::vector<std::string>> streamedChildren(const std::string& bytes, const char* encoding = nullptr,
                                                         Bytes how = Bytes::InPlace) {
    std::string owned = bytes;
    XmlChildStream stream =
        how == Bytes::InPlace ? XmlChildStream(bytes, encoding) : XmlChildStream(std::move(owned), encoding);
    std::vector<std::string> out;
    while (xmlNodePtr c = stream.next()) out.push_back(describe(c));
    if (!stream.complete()) return std::nullopt;
    return out;
}

} // namespace

TEST(XmlChildStream, GivesTheChildrenAWholeParseGivesAndFailsWhereItFails) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* encoding = nullptr;
    };
    // Far longer than what the parser reads ahead of the child being read.
    std::string longRoot = "<r>";
    for (int i = 0; i < 500; ++i) longRoot += "<a id=\"" + std::to_string(i) + "\">text</a>";
    longRoot += "</r>";
    // Far longer than a piece of owned bytes, with characters of two and three bytes across the
    // pieces' bounds.
    std::string manyPieces = "<r>";
    for (int i = 0; manyPieces.size() < (1u << 20); ++i)
        manyPieces += "<item id=\"" + std::to_string(i) + "\"><name>Caf\xC3\xA9 \xE2\x82\xAC" + std::to_string(i) +
                      "</name></item>";
    manyPieces += "</r>";
    const Case cases[] = {
        {"store reply", test::readFixture("storeload/store_full.xml")},
        {"many pieces", manyPieces},
        {"many pieces, cut", manyPieces.substr(0, manyPieces.size() - 7)},
        {"between the children", "<?xml version=\"1.0\"?><!-- head --><r a=\"1\">text<a>1</a> <!-- c --><?pi x?>"
                                 "<b x=\"y\"><c>2</c><c/></b>\n<a/>tail</r><!-- after -->\n"},
        {"entities", "<!DOCTYPE r [<!ENTITY co \"Harbour &amp; Co\"><!ENTITY deep \"[&co;]\">]>"
                     "<r><a id=\"&co;\">&co; &lt;&#65;&gt; &deep;</a><b><![CDATA[<raw>]]></b>&co;<c/></r>"},
        {"declared encoding", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r><a>caf\xE9</a></r>"},
        {"given encoding", "<r><a>caf\xE9</a></r>", "ISO-8859-1"},
        {"empty root", "<r/>"},
        {"root without children", "<r a=\"1\">only text</r>"},
        {"one child", "<r><only>x</only></r>"},
        {"empty", ""},
        {"blank", "  \n"},
        {"comment alone", "<!-- nothing -->"},
        {"not xml", "Service unavailable"},
        {"cut in a child", "<r><a>1</a><b>2</"},
        {"cut before the root ends", "<r><a>1</a>"},
        {"mismatched tags", "<r><a>1</b></r>"},
        {"two roots", "<r><a>1</a></r><r/>"},
        {"text after the root", "<r><a>1</a></r>trailing"},
        {"text long after the root", longRoot + std::string(8192, ' ') + "trailing"},
        {"comment long after the root", longRoot + std::string(8192, '\n') + "<!-- end -->"},
        {"undeclared entity", "<r><a>&nowhere;</a></r>"},
        {"bad UTF-8", "<r><a>\xC3\x28</a></r>"},
        {"bad name", "<r><1a/></r>"},
    };
    for (const Case& c : cases) {
        std::optional<std::vector<std::string>> whole = parsedChildren(c.bytes, c.encoding);
        EXPECT_EQ(streamedChildren(c.bytes, c.encoding), whole) << c.name;
        EXPECT_EQ(streamedChildren(c.bytes, c.encoding, Bytes::Owned), whole) << c.name << ", owned";
    }
    EXPECT_TRUE(parsedChildren(cases[0].bytes).has_value());
}

TEST(XmlChildStream, AReplyCutAnywhereIsNoDocument) {
    const std::string reply = test::readFixture("storeload/store_partial.xml");
    for (size_t size = 0; size < reply.size(); ++size) {
        const std::string cut = reply.substr(0, size);
        // Only a cut in the blanks after the root leaves a document.
        const bool whole = parsedChildren(cut).has_value();
        EXPECT_EQ(streamedChildren(cut).has_value(), whole) << size;
        EXPECT_EQ(streamedChildren(cut, nullptr, Bytes::Owned).has_value(), whole) << size << ", owned";
    }
}

TEST(XmlChildStream, KeepsNoChildItHasPassed) {
    std::string bytes = "<r>";
    for (int i = 0; i < 2000; ++i) bytes += "<item id=\"" + std::to_string(i) + "\"><name>n</name></item> ";
    bytes += "</r>";
    XmlChildStream stream(bytes);
    int read = 0, passedStillThere = 0;
    for (xmlNodePtr c = stream.next(); c; c = stream.next(), ++read) {
        EXPECT_EQ(XmlHelper::getAttributeValue(c, "id"), std::to_string(read));
        // What lies before the child being read: at most the blanks after the one before it.
        if (xmlPreviousElementSibling(c)) ++passedStillThere;
    }
    EXPECT_EQ(read, 2000);
    EXPECT_EQ(passedStillThere, 0);
    EXPECT_TRUE(stream.complete());
}

TEST(XmlChildStream, NextElementWalksRunsAcrossTheStreamAndWithinAnElement) {
    const std::string bytes = "<r><a id=\"1\"><x>1</x><y/><x>2</x></a><a id=\"2\"/><!-- c --><a id=\"3\"/><b id=\"4\"/>"
                              "<a id=\"5\"/></r>";
    XmlChildStream stream(bytes);
    auto ids = [](xmlNodePtr from, const char* name, xmlNodePtr* after) {
        std::string out;
        xmlNodePtr n = from;
        for (; XmlHelper::isElementNamed(n, name); n = XmlChildStream::nextElement(n))
            out += XmlHelper::getAttributeValue(n, "id").value_or(XmlHelper::getValue(n, nullptr).value_or("-"));
        if (after) *after = n;
        return out;
    };
    xmlNodePtr first = stream.next();
    // Within an element: plain siblings, the stream does not move.
    xmlNodePtr x = XmlHelper::getFirstChildNode(first, "x");
    EXPECT_EQ(XmlChildStream::nextElement(x), XmlHelper::getFirstChildNode(first, "y"));
    xmlNodePtr after = nullptr;
    EXPECT_EQ(ids(first, "a", &after), "123");
    EXPECT_EQ(XmlHelper::getAttributeValue(after, "id"), "4");
    EXPECT_EQ(ids(XmlChildStream::nextElement(after), "a", &after), "5");
    EXPECT_EQ(after, nullptr);
    EXPECT_TRUE(stream.complete());
    EXPECT_EQ(XmlChildStream::nextElement(nullptr), nullptr);
}

TEST(XmlChildStream, KeptCopiesOutliveTheStreamsMoveEachOnItsOwn) {
    const std::string bytes = "<!DOCTYPE r [<!ENTITY co \"Harbour &amp; Co\">]>"
                              "<r><c id=\"&co;\"><n>&co;</n></c><c id=\"2\"/><d id=\"3\"/></r>";
    XmlChildStream stream(bytes);
    std::vector<xmlNodePtr> kept;
    for (xmlNodePtr n = stream.next(); n; n = stream.next()) kept.push_back(stream.keep(n));
    ASSERT_TRUE(stream.complete());
    ASSERT_EQ(kept.size(), 3u);
    std::string read;
    for (xmlNodePtr n : kept) {
        read += XmlHelper::getAttributeValue(n, "id").value_or("?") + ";";
        EXPECT_EQ(XmlChildStream::nextElement(n), nullptr);
    }
    EXPECT_EQ(read, "Harbour & Co;2;3;");
    EXPECT_EQ(XmlHelper::getNodeValue(stream.doc(), kept[0], "n"), "Harbour & Co");
}
