// Feeds arbitrary replies to the XML readers: parsing, every node getter over the whole tree, and
// the document classes' XPath and serialisation must never crash or read out of bounds.
#include "xml/XmlDocument.h"
#include "xml/XmlHelper.h"

#include <string>

using namespace tavlo;

static void walk(xmlDocPtr doc, xmlNodePtr node, int depth) {
    if (depth > 64) return;
    for (xmlNodePtr c = node ? node->children : nullptr; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE) continue;
        const std::string name = reinterpret_cast<const char*>(c->name);
        (void)XmlHelper::getChildRun(node, name);
        (void)XmlHelper::getValue(c, doc);
        (void)XmlHelper::getChildValue(doc, c, "selection");
        (void)XmlHelper::getAttributeValue(c, "remoteId");
        walk(doc, c, depth + 1);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    XmlDocPtr doc = XmlHelper::parse(bytes);
    walk(doc.get(), xmlDocGetRootElement(doc.get()), 0);

    for (unsigned options : {0u, XmlDocument::kTidyHTML}) {
        auto document = XmlDocument::fromXMLString(bytes, options);
        if (!document) continue;
        for (XmlNode* n : document->nodesForXPath("//*|//@*|//text()")) {
            (void)n->stringValue();
            (void)n->XMLString();
        }
        (void)document->XMLString();
    }
    return 0;
}
