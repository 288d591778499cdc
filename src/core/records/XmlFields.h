#pragma once

#include "platform/foundation/Clock.h"

#include <libxml/tree.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// Typed readings of one element of a server reply, as the record readers take them: texts,
// integers, flags and wire times of its children and attributes. Absent values read as nil, 0 or
// NO; nothing here fails.
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
    // The run of consecutive child elements so named, from the first one.
    std::vector<xmlNodePtr> run(std::string_view name) const;
    XmlFields child(std::string_view name) const;

    // Milliseconds since 1970 as decimal text: the text less its last three characters read as
    // whole seconds, in 64 bits (signed: dates before 1970 come back negative). Three characters
    // or fewer read as the start of 1970.
    static Date wireTime(std::string_view text);

private:
    xmlNodePtr element_;
    xmlDocPtr doc_;
};

} // namespace tavlo
