#pragma once

#include "platform/foundation/Error.h"

#include <libxml/xmlwriter.h>

#include <optional>
#include <string>

namespace tavlo {

// A request document written with libxml2's text writer into memory: the declaration names the
// encoding, a DOCTYPE names `tavloRequest` and a DTD file. Values are handed over as UTF-8 and come
// out converted to the declared encoding, less the characters XML cannot hold (control characters
// but tab, line feed and carriage return; U+FFFE, U+FFFF). The first failing step is remembered
// and every later step does nothing, so a builder writes straight through and asks `finish` once.
class TextWriterDocument {
public:
    static constexpr const char* kErrorDomain = "XmlWriterErrorDomain";
    static constexpr const char* kRequestRoot = "tavloRequest";

    // encoding: "ISO-8859-1" or "UTF-8"; systemId may be empty.
    TextWriterDocument(const std::string& encoding, const std::string& systemId);
    ~TextWriterDocument();
    TextWriterDocument(const TextWriterDocument&) = delete;
    TextWriterDocument& operator=(const TextWriterDocument&) = delete;

    void startElement(const std::string& name);
    void endElement();
    void writeAttribute(const std::string& name, const std::string& value);
    // A child element holding the text; an absent value gives an empty element. A failure is
    // reported with `failureMessage` when given.
    void writeElement(const std::string& name, const std::optional<std::string>& value,
                      const std::optional<std::string>& failureMessage = std::nullopt);

    // Ends the document (closing every open element) and gives its bytes in the declared encoding;
    // nil and an error naming the failed step when any step failed.
    std::optional<std::string> finish(Error* error = nullptr);

    bool failed() const { return failure_.has_value(); }

private:
    bool step(bool ok, const std::string& message);

    xmlBufferPtr buffer_ = nullptr;
    xmlTextWriterPtr writer_ = nullptr;
    std::optional<std::string> failure_;
};

} // namespace tavlo
