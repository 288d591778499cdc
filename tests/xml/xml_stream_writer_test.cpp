#include "xml/XmlStreamWriter.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tavlo;

namespace {

XmlStreamWriter oneLine() {
    XmlStreamWriter w;
    w.setLineBreak(std::nullopt);
    w.setIndentation(std::nullopt);
    return w;
}

std::string reasonOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const XmlStreamWriterException& e) { return e.what(); }
    return "(no exception)";
}

} // namespace

TEST(XmlStreamWriter, EscapingTable) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"a & b", "a &amp; b"},
        {"<tag>", "&lt;tag&gt;"},
        {"say \"hi\"", "say &quot;hi&quot;"},
        {"it's", "it's"},
        {"bell\x07!", "bell!"},
        {"\x01\x1f", ""},
        {"tab\tlf\ncr\r", "tab\tlf\ncr\r"},
        {"smile \xF0\x9F\x98\x80!", "smile !"}, // beyond U+FFFF: dropped
        {"\xEF\xBF\xBE\xEF\xBF\xBFok", "ok"},   // U+FFFE, U+FFFF
        {"\xED\xA0\x80x", "x"},                 // an encoded surrogate is malformed
        {"bad\xff\xc3", "bad"},                 // malformed bytes dropped
        {"Crème brûlée € 中", "Crème brûlée € 中"},
        {"\x7f", "\x7f"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(XmlStreamWriter::escape(c.in), c.out) << c.in;
        XmlStreamWriter w = oneLine();
        w.writeStartElement("e");
        w.writeAttribute("a", c.in);
        w.writeCharacters(c.in);
        w.writeEndElement();
        EXPECT_EQ(w.toString(), "<e a=\"" + c.out + "\">" + c.out + "</e>") << c.in;
    }
}

TEST(XmlStreamWriter, OneLineDocumentsByteForByte) {
    XmlStreamWriter w = oneLine();
    w.writeStartDocumentWithEncodingAndVersion("UTF-8", "1.0");
    w.writeStartElement("tavloRequest");
    w.writeStartElement("getStoreData");
    w.writeAttribute("terminalId", "T1");
    w.writeAttribute("version", "2.0");
    w.writeStartElement("empty");
    w.writeEndElement();
    w.writeStartElement("emptyText");
    w.writeCharacters("");
    w.writeEndElement();
    w.writeEmptyElement("explicit");
    w.writeComment("c < d");
    w.writeCData("x & y");
    w.writeProcessingInstruction("pi", "data");
    w.writeEndDocument();
    EXPECT_EQ(
        w.toString(),
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><tavloRequest><getStoreData terminalId=\"T1\" version=\"2.0\">"
        "<empty /><emptyText></emptyText><explicit /><!--c < d--><![CDATA[x & y]]><?pi data?>"
        "</getStoreData></tavloRequest>");
    EXPECT_EQ(w.level(), 0);
}

TEST(XmlStreamWriter, DefaultLineBreakAndIndentation) {
    XmlStreamWriter w;
    w.writeStartDocument();
    w.writeStartElement("root");
    w.writeStartElement("child");
    w.writeCharacters("t");
    w.writeEndElement();
    w.writeStartElement("inner");
    w.writeStartElement("leaf");
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    EXPECT_EQ(w.toString(),
              "<?xml version=\"1.0\" ?>\n<root>\n\t<child>t</child>\n\t<inner>\n\t\t<leaf />\n\t</inner>\n</root>");
}

TEST(XmlStreamWriter, EndDocumentClosesEverything) {
    XmlStreamWriter w = oneLine();
    w.writeStartElement("a");
    w.writeStartElement("b");
    w.writeCharacters("x");
    w.writeStartElement("c");
    w.writeCharacters("y");
    EXPECT_EQ(w.level(), 3);
    w.writeEndDocument();
    EXPECT_EQ(w.toString(), "<a><b>x<c>y</c></b></a>");

    XmlStreamWriter noAuto = oneLine();
    noAuto.setAutomaticEmptyElements(false);
    noAuto.writeStartElement("a");
    noAuto.writeEndElement();
    EXPECT_EQ(noAuto.toString(), "<a></a>");
}

TEST(XmlStreamWriter, FlushAndCloseLeaveTheDocumentAsItIs) {
    XmlStreamWriter w = oneLine();
    w.writeStartElement("a");
    w.writeAttribute("x", "1");
    const std::string before = w.toString();
    w.flush();
    w.close();
    EXPECT_EQ(w.toString(), before);
    w.writeAttribute("y", "2"); // the start tag is still open
    w.writeEndDocument();
    EXPECT_EQ(w.toString(), "<a x=\"1\" y=\"2\" />");
    w.close();
    EXPECT_EQ(w.toData(), w.toString());
}

TEST(XmlStreamWriter, Namespaces) {
    XmlStreamWriter w = oneLine();
    w.setPrefix("t", "urn:t");
    w.writeStartElementWithNamespace("urn:t", "order");
    w.writeDefaultNamespace("urn:d");
    w.writeAttributeWithNamespace("urn:t", "id", "1");
    w.writeStartElementWithNamespace("urn:d", "line");
    w.writeEndElement();
    w.writeEndElement();
    EXPECT_EQ(w.toString(), "<t:order xmlns=\"urn:d\" t:id=\"1\" xmlns:t=\"urn:t\"><line /></t:order>");
    // Namespaces declared inside an element go out of force when it ends.
    EXPECT_EQ(w.getPrefix("urn:t"), std::nullopt);
    EXPECT_EQ(w.getNamespaceURI("xml"), "http://www.w3.org/XML/1998/namespace");
    w.setPrefix("t", "urn:t"); // may be declared again
    EXPECT_EQ(w.getNamespaceURI("t"), "urn:t");
}

TEST(XmlStreamWriter, MisuseRaises) {
    struct Case {
        std::function<void(XmlStreamWriter&)> misuse;
        std::string reason;
    };
    const Case cases[] = {
        {[](XmlStreamWriter& w) { w.writeEndElement(); }, "Cannot write more end elements than start elements."},
        {[](XmlStreamWriter& w) { w.writeAttribute("a", "b"); }, "No open start element"},
        {[](XmlStreamWriter& w) { w.writeCloseStartElement(); }, "No open start element"},
        {[](XmlStreamWriter& w) { w.writeNamespace("p", "urn:p"); }, "No open start element"},
        {[](XmlStreamWriter& w) { w.writeStartElementWithNamespace("urn:none", "a"); },
         "Unknown namespace URI urn:none"},
        {[](XmlStreamWriter& w) {
             w.write("x");
             w.writeStartDocument();
         },
         "Document has already been started"},
        {[](XmlStreamWriter& w) {
             w.setPrefix("p", "urn:p");
             w.setPrefix("q", "urn:p");
         },
         "Name namespace urn:p has already been set"},
        {[](XmlStreamWriter& w) {
             w.setPrefix("p", "urn:p");
             w.setPrefix("p", "urn:q");
         },
         "Prefix p has already been set"},
        {[](XmlStreamWriter& w) {
             w.setDefaultNamespace("urn:p");
             w.setDefaultNamespace("urn:q");
         },
         "Default namespace has already been set"},
    };
    for (const Case& c : cases) {
        XmlStreamWriter w;
        EXPECT_EQ(reasonOf([&] { c.misuse(w); }), c.reason);
    }
    EXPECT_STREQ(XmlStreamWriterException::name(), "XmlStreamWriterException");
}

TEST(XmlStreamWriter, DataInDeclaredEncoding) {
    XmlStreamWriter utf8 = oneLine();
    utf8.writeStartDocumentWithEncodingAndVersion("UTF-8", "1.0");
    utf8.writeStartElement("n");
    utf8.writeCharacters("José");
    utf8.writeEndDocument();
    EXPECT_EQ(utf8.toData(), utf8.toString());

    XmlStreamWriter latin = oneLine();
    latin.writeStartDocumentWithEncodingAndVersion("ISO-8859-1", "1.0");
    latin.writeStartElement("n");
    latin.writeCharacters("Peña");
    latin.writeEndDocument();
    EXPECT_EQ(latin.toData(), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><n>Pe\xf1"
                              "a</n>");
    latin.write("€"); // cannot be encoded: no lossy conversion
    EXPECT_EQ(latin.toData(), std::nullopt);
}
