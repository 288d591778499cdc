#pragma once

#include <libxml/tree.h>

#include <memory>

namespace tavlo {

// Owns a parsed libxml2 document; the node handles taken from it live as long as it does.
struct XmlDocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocDeleter>;

} // namespace tavlo
