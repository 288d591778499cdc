#pragma once

#include "xml/XmlNode.h"

#include <string_view>

namespace tavlo {

// A wrapped element node.
class XmlElement : public XmlNode {
public:
    using XmlNode::XmlNode;

    // Child elements so named, in document order.
    std::vector<XmlElement*> elementsForName(std::string_view name) const;
    std::vector<XmlNode*> attributes() const;
    XmlNode* attributeForName(std::string_view name) const;

protected:
    const char* className() const override { return "XmlElement"; }
};

} // namespace tavlo
