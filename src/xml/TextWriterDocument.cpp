#include "xml/TextWriterDocument.h"

#include "xml/XmlCharacters.h"

#include <libxml/xmlstring.h>

namespace tavlo {

namespace {

constexpr const char* kWriteElementFailed = "testXmlwriterMemory: Error at xmlTextWriterWriteElement";

const xmlChar* X(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }

// libxml2 takes NUL-terminated UTF-8; anything else would be cut short or fail while encoding.
bool isCleanUtf8(const std::string& s) { return s.find('\0') == std::string::npos && xmlCheckUTF8(X(s)) == 1; }

// Characters XML cannot hold are dropped, as the stream-written requests drop them; libxml2 would
// write them through (or as references to them) and the document would no longer be well formed.
// `s` is clean UTF-8.
std::string xmlCharactersOnly(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        uint32_t cp = 0;
        size_t len = xmlchars::decodeUtf8(s, i, cp);
        if (len == 0) len = 1;
        if (xmlchars::isXmlCharacter(cp)) out.append(s, i, len);
        i += len;
    }
    return out;
}

} // namespace

TextWriterDocument::TextWriterDocument(const std::string& encoding, const std::string& systemId) {
    buffer_ = xmlBufferCreate();
    if (!step(buffer_ != nullptr, "testXmlwriterMemory: Error creating the xml buffer")) return;
    writer_ = xmlNewTextWriterMemory(buffer_, 0);
    if (!step(writer_ != nullptr, "testXmlwriterMemory: Error creating the xml writer")) return;
    if (!step(xmlTextWriterStartDocument(writer_, nullptr, encoding.c_str(), nullptr) >= 0,
              "testXmlwriterMemory: Error at xmlTextWriterStartDocument"))
        return;
    step(xmlTextWriterWriteDTD(writer_, X(std::string(kRequestRoot)), nullptr, X(systemId), nullptr) >= 0,
         "testXmlwriterMemory: Error at xmlTextWriterWriteDocType");
}

TextWriterDocument::~TextWriterDocument() {
    if (writer_) xmlFreeTextWriter(writer_);
    if (buffer_) xmlBufferFree(buffer_);
}

bool TextWriterDocument::step(bool ok, const std::string& message) {
    if (!ok && !failure_) failure_ = message;
    return ok;
}

void TextWriterDocument::startElement(const std::string& name) {
    if (failed()) return;
    step(xmlTextWriterStartElement(writer_, X(name)) >= 0, "testXmlwriterMemory: Error at xmlTextWriterStartElement");
}

void TextWriterDocument::endElement() {
    if (failed()) return;
    step(xmlTextWriterEndElement(writer_) >= 0, "testXmlwriterMemory: Error at xmlTextWriterEndElement");
}

void TextWriterDocument::writeAttribute(const std::string& name, const std::string& value) {
    if (failed()) return;
    const char* message = "testXmlwriterMemory: Error at xmlTextWriterWriteAttribute";
    if (!step(isCleanUtf8(value), message)) return;
    step(xmlTextWriterWriteAttribute(writer_, X(name), X(xmlCharactersOnly(value))) >= 0, message);
}

void TextWriterDocument::writeElement(const std::string& name, const std::optional<std::string>& value,
                                      const std::optional<std::string>& failureMessage) {
    if (failed()) return;
    const std::string message = failureMessage.value_or(kWriteElementFailed);
    if (!value) {
        // Start and end with nothing between: libxml2 writes one empty-element tag.
        step(xmlTextWriterStartElement(writer_, X(name)) >= 0 && xmlTextWriterEndElement(writer_) >= 0, message);
        return;
    }
    if (!step(isCleanUtf8(*value), message)) return;
    step(xmlTextWriterWriteElement(writer_, X(name), X(xmlCharactersOnly(*value))) >= 0, message);
}

std::optional<std::string> TextWriterDocument::finish(Error* error) {
    if (!failed())
        step(xmlTextWriterEndDocument(writer_) >= 0, "testXmlwriterMemory: Error at xmlTextWriterEndDocument");
    if (failed()) {
        Error::set(error, kErrorDomain, -1, *failure_);
        return std::nullopt;
    }
    xmlFreeTextWriter(writer_); // flushes into the buffer
    writer_ = nullptr;
    return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer_)),
                       static_cast<size_t>(xmlBufferLength(buffer_)));
}

} // namespace tavlo
