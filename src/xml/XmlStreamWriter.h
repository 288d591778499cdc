#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// Misuse of the stream writer (an end tag too many, an attribute outside a start tag, ...).
class XmlStreamWriterException : public std::logic_error {
public:
    using std::logic_error::logic_error;
    static constexpr const char* name() { return "XmlStreamWriterException"; }
};

// Our own streaming XML writer: appends UTF-8 text to a string in memory.
// Request documents switch line breaks and indentation off, so a document is one line.
class XmlStreamWriter {
public:
    XmlStreamWriter();

    // Declaration `<?xml version="1.0" encoding="UTF-8" ?>`; the encoding part only when given.
    void writeStartDocument();
    void writeStartDocumentWithVersion(const std::string& version);
    void writeStartDocumentWithEncodingAndVersion(const std::optional<std::string>& encoding,
                                                  const std::optional<std::string>& version);
    // Ends every open element.
    void writeEndDocument();

    void writeStartElement(const std::string& localName);
    void writeStartElementWithNamespace(const std::optional<std::string>& namespaceURI, const std::string& localName);
    // Ends the innermost element; one still open start tag becomes an empty-element tag.
    void writeEndElement();
    void writeEndElement(const std::string& localName);
    void writeEndElementWithNamespace(const std::optional<std::string>& namespaceURI, const std::string& localName);
    void writeEmptyElement(const std::string& localName);
    void writeEmptyElementWithNamespace(const std::optional<std::string>& namespaceURI, const std::string& localName);

    void writeAttribute(const std::string& localName, const std::string& value);
    void writeAttributeWithNamespace(const std::optional<std::string>& namespaceURI, const std::string& localName,
                                     const std::string& value);

    void writeCharacters(std::string_view text);
    void writeComment(std::string_view text);
    void writeCData(std::string_view text);
    void writeProcessingInstruction(std::string_view target, std::string_view data);

    void setPrefix(const std::string& prefix, const std::string& namespaceURI);
    void setDefaultNamespace(const std::string& namespaceURI) { setPrefix("", namespaceURI); }
    // As setPrefix, but only while a start tag is open.
    void writeNamespace(const std::string& prefix, const std::string& namespaceURI);
    void writeDefaultNamespace(const std::string& namespaceURI) { writeNamespace("", namespaceURI); }
    std::optional<std::string> getPrefix(const std::string& namespaceURI) const;
    std::optional<std::string> getNamespaceURI(const std::string& prefix) const;

    void writeCloseStartElement();
    // Appends text unchanged.
    void write(std::string_view text) { writer_ += text; }
    // The output lives in memory: there is nothing to push out or release, and the document
    // stays open for more.
    void flush() {}
    void close() {}

    const std::string& toString() const { return writer_; }
    // The output in the declared encoding (UTF-8 when none); nil when a character cannot be
    // encoded in it or the encoding is unknown.
    std::optional<std::string> toData() const;

    const std::optional<std::string>& indentation() const { return indentation_; }
    void setIndentation(std::optional<std::string> indentation) { indentation_ = std::move(indentation); }
    const std::optional<std::string>& lineBreak() const { return lineBreak_; }
    void setLineBreak(std::optional<std::string> lineBreak) { lineBreak_ = std::move(lineBreak); }
    bool automaticEmptyElements() const { return automaticEmptyElements_; }
    void setAutomaticEmptyElements(bool on) { automaticEmptyElements_ = on; }
    int level() const { return level_; }

    // Text escaped for content and attribute values: & < > " become entities; control characters
    // other than tab, line feed and carriage return, characters beyond U+FFFF, U+FFFE, U+FFFF and
    // malformed UTF-8 are dropped.
    static std::string escape(std::string_view text);

private:
    enum class Close { Start, Empty };
    void closeStartElement(Close how);
    void writeLinebreakAndIndentation();
    void beginTag(const std::optional<std::string>& namespaceURI, const std::string& localName);
    void writePrefixFor(const std::optional<std::string>& namespaceURI);
    void popNamespaceScope();
    void popElement();
    void closeOpenTagForContent();
    static void fail(const std::string& reason);

    std::string writer_;
    std::optional<std::string> encoding_;
    int level_ = 0;
    bool openElement_ = false;
    bool emptyElement_ = false;
    std::vector<std::string> elementLocalNames_;
    std::vector<std::string> elementNamespaceURIs_;
    std::vector<std::string> namespaceURIs_;
    std::vector<size_t> namespaceCounts_;
    std::vector<bool> namespaceWritten_;
    std::map<std::string, std::string> namespaceURIPrefixMap_;
    std::map<std::string, std::string> prefixNamespaceURIMap_;
    std::optional<std::string> indentation_ = "\t";
    std::optional<std::string> lineBreak_ = "\n";
    bool automaticEmptyElements_ = true;
};

} // namespace tavlo
