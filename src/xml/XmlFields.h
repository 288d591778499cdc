#pragma once

#include "platform/foundation/Clock.h"

#include <libxml/tree.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// Typed readings of one element of a server reply: the texts, integers, flags and wire times of
// its children and attributes. The readers of the order document, of the store's records and of
// the store load all read their values here, so a value on the wire reads the same in each.
//
// What is not there reads as nil, 0 or NO: a missing child, a child without text (`<a/>`,
// `<a></a>`) and a null element alike. Texts come as written: entities expanded, nothing trimmed.
// Numbers read as Text.h's intValue and longLongValue (leading blanks skipped, digits up to the
// first other character, out of range saturates, nothing readable is 0); flags as boolValue.
// Nothing here fails.
//
// A streamed reply (XmlChildStream) gives each of the root's children whole, so the children of an
// element it gave read here as in a whole document; the root's own run is walked with the stream.
class XmlFields {
public:
    XmlFields(xmlNodePtr element, xmlDocPtr doc) : element_(element), doc_(doc) {}

    xmlNodePtr element() const { return element_; }
    xmlDocPtr doc() const { return doc_; }

    std::optional<std::string> attribute(std::string_view name) const;
    // The text of the first child element so named; nil when absent or empty.
    std::optional<std::string> text(std::string_view name) const;
    bool has(std::string_view name) const;
    int32_t integer(std::string_view name) const;
    // The child's integer only when it carries text.
    std::optional<int32_t> integerIfPresent(std::string_view name) const;
    bool flag(std::string_view name) const;
    // A time on the wire; nil when the child carries no text.
    std::optional<Date> time(std::string_view name) const;
    // The same, only when the text's value is at least 1 (a zero or negative value means none).
    std::optional<Date> positiveTime(std::string_view name) const;
    // The run of consecutive child elements so named, from the first one (text and comments
    // between them are passed over; an element of another name ends it).
    std::vector<xmlNodePtr> run(std::string_view name) const;
    // The texts of that run, in order; elements without text give nothing.
    std::vector<std::string> runTexts(std::string_view name) const;
    // The texts of every child element so named, in document order, whatever stands between them;
    // elements without text give nothing.
    std::vector<std::string> texts(std::string_view name) const;
    XmlFields child(std::string_view name) const;

    // Milliseconds since 1970 as decimal text: the text less its last three characters read as
    // whole seconds, in 64 bits (signed: dates before 1970 come back negative). Blanks around the
    // number are passed over. Three characters or fewer read as the start of 1970.
    static Date wireTime(std::string_view text);

private:
    xmlNodePtr element_;
    xmlDocPtr doc_;
};

} // namespace tavlo
