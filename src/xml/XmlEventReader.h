#pragma once

#include <string_view>

namespace tavlo {

// Reads a document as a stream of events, element starts and ends and the text between them,
// without building a tree: for replies read once into fields. The network is never used and
// entities are never fetched or expanded: a reply is data, not instructions. Nothing is written
// to stderr about a bad document; the answer says it.
class XmlEventReader {
public:
    virtual ~XmlEventReader() = default;

    // False when the text is not well-formed XML; the events up to the fault were delivered.
    bool read(std::string_view document);

protected:
    virtual void startElement(std::string_view name) = 0;
    virtual void endElement(std::string_view name) = 0;
    // Text and CDATA, possibly in several pieces.
    virtual void characters(std::string_view text) = 0;

private:
    struct Callbacks;
};

} // namespace tavlo
