#include "xml/XmlEventReader.h"

#include <libxml/parser.h>

#include <climits>
#include <cstring>

namespace tavlo {

struct XmlEventReader::Callbacks {
    static XmlEventReader& of(void* context) { return *static_cast<XmlEventReader*>(context); }
    static std::string_view text(const xmlChar* chars) { return reinterpret_cast<const char*>(chars); }

    static void start(void* context, const xmlChar* localName, const xmlChar*, const xmlChar*, int, const xmlChar**,
                      int, int, const xmlChar**) {
        of(context).startElement(text(localName));
    }
    static void end(void* context, const xmlChar* localName, const xmlChar*, const xmlChar*) {
        of(context).endElement(text(localName));
    }
    static void characters(void* context, const xmlChar* chars, int length) {
        of(context).characters(std::string_view(reinterpret_cast<const char*>(chars), static_cast<size_t>(length)));
    }
};

bool XmlEventReader::read(std::string_view document) {
    if (document.size() > static_cast<size_t>(INT_MAX)) return false;
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = &Callbacks::start;
    sax.endElementNs = &Callbacks::end;
    sax.characters = &Callbacks::characters;
    sax.cdataBlock = &Callbacks::characters;
    sax.serror = [](void*, auto*) {};

    xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&sax, this, nullptr, 0, nullptr);
    if (!context) return false;
    xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    xmlParseChunk(context, document.data(), static_cast<int>(document.size()), 1);
    bool wellFormed = context->wellFormed != 0;
    if (context->myDoc) xmlFreeDoc(context->myDoc);
    xmlFreeParserCtxt(context);
    return wellFormed;
}

} // namespace tavlo
