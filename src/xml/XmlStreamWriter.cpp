#include "xml/XmlStreamWriter.h"

#include "xml/XmlCharacters.h"

#include "platform/foundation/Text.h"

#include <cerrno>
#include <iconv.h>

namespace tavlo {

namespace {

using xmlchars::decodeUtf8;
using xmlchars::isXmlCharacter;

// The two namespaces that are always in force and never written out.
constexpr const char* kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr const char* kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";

} // namespace

XmlStreamWriter::XmlStreamWriter() {
    namespaceURIs_ = {kXmlNamespace, kXmlnsNamespace};
    namespaceWritten_ = {true, true};
    namespaceCounts_ = {2};
    namespaceURIPrefixMap_ = {{kXmlNamespace, "xml"}, {kXmlnsNamespace, "xmlns"}};
    prefixNamespaceURIMap_ = {{"xml", kXmlNamespace}, {"xmlns", kXmlnsNamespace}};
}

void XmlStreamWriter::fail(const std::string& reason) { throw XmlStreamWriterException(reason); }

std::string XmlStreamWriter::escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t runStart = 0;
    size_t i = 0;
    const auto flush = [&](size_t end) { out.append(text, runStart, end - runStart); };
    while (i < text.size()) {
        uint32_t cp = 0;
        const size_t len = decodeUtf8(text, i, cp);
        const char* replacement = nullptr;
        bool drop = false;
        if (len == 0) drop = true;
        else if (cp == '&') replacement = "&amp;";
        else if (cp == '<') replacement = "&lt;";
        else if (cp == '>') replacement = "&gt;";
        else if (cp == '"') replacement = "&quot;";
        else drop = cp > 0xFFFF || !isXmlCharacter(cp);
        if (replacement || drop) {
            flush(i);
            if (replacement) out += replacement;
            i += len == 0 ? 1 : len;
            runStart = i;
        } else {
            i += len;
        }
    }
    flush(i);
    return out;
}

void XmlStreamWriter::writeStartDocument() { writeStartDocumentWithEncodingAndVersion(std::nullopt, std::nullopt); }

void XmlStreamWriter::writeStartDocumentWithVersion(const std::string& version) {
    writeStartDocumentWithEncodingAndVersion(std::nullopt, version);
}

void XmlStreamWriter::writeStartDocumentWithEncodingAndVersion(const std::optional<std::string>& encoding,
                                                               const std::optional<std::string>& version) {
    if (!writer_.empty()) fail("Document has already been started");
    writer_ += "<?xml version=\"" + version.value_or("1.0") + "\"";
    if (encoding) writer_ += " encoding=\"" + *encoding + "\"";
    writer_ += " ?>";
    encoding_ = encoding;
}

void XmlStreamWriter::writeEndDocument() {
    while (level_ > 0) writeEndElement();
}

void XmlStreamWriter::writeLinebreakAndIndentation() {
    if (lineBreak_) writer_ += *lineBreak_;
    if (indentation_)
        for (int i = 0; i < level_; ++i) writer_ += *indentation_;
}

void XmlStreamWriter::writePrefixFor(const std::optional<std::string>& namespaceURI) {
    if (!namespaceURI) return;
    const auto prefix = getPrefix(*namespaceURI);
    if (!prefix) fail(format("Unknown namespace URI %@", *namespaceURI));
    if (!prefix->empty()) writer_ += *prefix + ":";
}

void XmlStreamWriter::closeStartElement(Close how) {
    const auto xmlnsPrefix = getPrefix(kXmlnsNamespace);
    for (size_t i = namespaceCounts_.back(); i < namespaceURIs_.size(); ++i) {
        if (namespaceWritten_[i]) continue;
        if (!xmlnsPrefix) fail(format("Cannot declare namespace without namespace %@", kXmlnsNamespace));
        const std::string& prefix = namespaceURIPrefixMap_[namespaceURIs_[i]];
        writer_ += " " + *xmlnsPrefix + (prefix.empty() ? "" : ":" + prefix) + "=\"" + escape(namespaceURIs_[i]) + "\"";
        namespaceWritten_[i] = true;
    }
    namespaceCounts_.push_back(namespaceURIs_.size());
    writer_ += how == Close::Start ? ">" : " />";
    openElement_ = false;
}

// Closes an open start tag, then writes the line break, the indentation and "<prefix:name".
void XmlStreamWriter::beginTag(const std::optional<std::string>& namespaceURI, const std::string& localName) {
    if (openElement_) closeStartElement(Close::Start);
    writeLinebreakAndIndentation();
    writer_ += "<";
    writePrefixFor(namespaceURI);
    writer_ += localName;
}

void XmlStreamWriter::writeStartElement(const std::string& localName) {
    writeStartElementWithNamespace(std::nullopt, localName);
}

void XmlStreamWriter::writeStartElementWithNamespace(const std::optional<std::string>& namespaceURI,
                                                     const std::string& localName) {
    beginTag(namespaceURI, localName);
    elementLocalNames_.push_back(localName);
    elementNamespaceURIs_.push_back(namespaceURI.value_or(""));
    openElement_ = true;
    emptyElement_ = true;
    ++level_;
}

void XmlStreamWriter::popNamespaceScope() {
    if (namespaceCounts_.size() < 2) return;
    const size_t below = namespaceCounts_[namespaceCounts_.size() - 2];
    while (namespaceURIs_.size() > below && namespaceURIs_.size() > 2) {
        const std::string uri = namespaceURIs_.back();
        auto it = namespaceURIPrefixMap_.find(uri);
        if (it != namespaceURIPrefixMap_.end()) {
            prefixNamespaceURIMap_.erase(it->second);
            namespaceURIPrefixMap_.erase(it);
        }
        namespaceURIs_.pop_back();
        namespaceWritten_.pop_back();
    }
    namespaceCounts_.pop_back();
}

void XmlStreamWriter::popElement() {
    popNamespaceScope();
    elementLocalNames_.pop_back();
    elementNamespaceURIs_.pop_back();
    emptyElement_ = true;
    openElement_ = false;
}

void XmlStreamWriter::writeEndElement() {
    if (level_ < 1) fail("Cannot write more end elements than start elements.");
    if (openElement_ && automaticEmptyElements_) {
        closeStartElement(Close::Empty);
        popElement();
        --level_;
        return;
    }
    const std::string uri = elementNamespaceURIs_.back();
    writeEndElementWithNamespace(uri.empty() ? std::nullopt : std::optional<std::string>(uri),
                                 elementLocalNames_.back());
}

void XmlStreamWriter::writeEndElement(const std::string& localName) {
    writeEndElementWithNamespace(std::nullopt, localName);
}

void XmlStreamWriter::writeEndElementWithNamespace(const std::optional<std::string>& namespaceURI,
                                                   const std::string& localName) {
    if (level_ < 1) fail("Cannot write more end elements than start elements.");
    --level_;
    if (openElement_) closeStartElement(Close::Start);
    else if (emptyElement_) writeLinebreakAndIndentation();
    writer_ += "</";
    writePrefixFor(namespaceURI);
    writer_ += localName + ">";
    popElement();
}

void XmlStreamWriter::writeEmptyElement(const std::string& localName) {
    writeEmptyElementWithNamespace(std::nullopt, localName);
}

void XmlStreamWriter::writeEmptyElementWithNamespace(const std::optional<std::string>& namespaceURI,
                                                     const std::string& localName) {
    beginTag(namespaceURI, localName);
    writer_ += " />";
    emptyElement_ = true;
}

void XmlStreamWriter::writeAttribute(const std::string& localName, const std::string& value) {
    writeAttributeWithNamespace(std::nullopt, localName, value);
}

void XmlStreamWriter::writeAttributeWithNamespace(const std::optional<std::string>& namespaceURI,
                                                  const std::string& localName, const std::string& value) {
    if (!openElement_) fail("No open start element");
    writer_ += " ";
    writePrefixFor(namespaceURI);
    writer_ += localName + "=\"" + escape(value) + "\"";
}

void XmlStreamWriter::closeOpenTagForContent() {
    if (openElement_) closeStartElement(Close::Start);
    emptyElement_ = false;
}

void XmlStreamWriter::writeCharacters(std::string_view text) {
    closeOpenTagForContent();
    writer_ += escape(text);
}

void XmlStreamWriter::writeComment(std::string_view text) {
    closeOpenTagForContent();
    writer_ += "<!--";
    writer_ += text;
    writer_ += "-->";
}

void XmlStreamWriter::writeCData(std::string_view text) {
    closeOpenTagForContent();
    writer_ += "<![CDATA[";
    writer_ += text;
    writer_ += "]]>";
}

void XmlStreamWriter::writeProcessingInstruction(std::string_view target, std::string_view data) {
    closeOpenTagForContent();
    writer_ += "<?";
    writer_ += target;
    writer_ += " ";
    writer_ += data;
    writer_ += "?>";
}

void XmlStreamWriter::setPrefix(const std::string& prefix, const std::string& namespaceURI) {
    if (namespaceURIPrefixMap_.count(namespaceURI))
        fail(format("Name namespace %@ has already been set", namespaceURI));
    if (prefixNamespaceURIMap_.count(prefix)) {
        if (prefix.empty()) fail("Default namespace has already been set");
        fail(format("Prefix %@ has already been set", prefix));
    }
    namespaceURIs_.push_back(namespaceURI);
    namespaceURIPrefixMap_[namespaceURI] = prefix;
    prefixNamespaceURIMap_[prefix] = namespaceURI;
    namespaceWritten_.push_back(false);
    if (openElement_) {
        const auto xmlnsPrefix = getPrefix(kXmlnsNamespace);
        writer_ += " " + xmlnsPrefix.value_or("xmlns") + (prefix.empty() ? "" : ":" + prefix) + "=\"" +
                   escape(namespaceURI) + "\"";
        namespaceWritten_.back() = true;
    }
}

void XmlStreamWriter::writeNamespace(const std::string& prefix, const std::string& namespaceURI) {
    if (!openElement_) fail("No open start element");
    setPrefix(prefix, namespaceURI);
}

std::optional<std::string> XmlStreamWriter::getPrefix(const std::string& namespaceURI) const {
    auto it = namespaceURIPrefixMap_.find(namespaceURI);
    if (it == namespaceURIPrefixMap_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> XmlStreamWriter::getNamespaceURI(const std::string& prefix) const {
    auto it = prefixNamespaceURIMap_.find(prefix);
    if (it == prefixNamespaceURIMap_.end()) return std::nullopt;
    return it->second;
}

void XmlStreamWriter::writeCloseStartElement() {
    if (!openElement_) fail("No open start element");
    closeStartElement(Close::Start);
}

std::optional<std::string> XmlStreamWriter::toData() const {
    const std::string target = encoding_.value_or("UTF-8");
    const std::string upper = toUpper(target);
    if (upper == "UTF-8" || upper == "UTF8") return writer_;
    iconv_t cd = iconv_open(target.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    char* in = const_cast<char*>(writer_.data());
    size_t inLeft = writer_.size();
    char chunk[1024];
    bool ok = true;
    while (inLeft > 0) {
        char* dst = chunk;
        size_t dstLeft = sizeof chunk;
        const size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(chunk, sizeof chunk - dstLeft);
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    return out;
}

} // namespace tavlo
