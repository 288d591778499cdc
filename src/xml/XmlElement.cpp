#include "xml/XmlElement.h"

#include "xml/XmlHelper.h"

namespace tavlo {

std::vector<XmlElement*> XmlElement::elementsForName(std::string_view name) const {
    std::vector<XmlElement*> out;
    for (xmlNodePtr n = node_->children; n; n = n->next)
        if (XmlHelper::isElementNamed(n, name))
            if (auto* e = dynamic_cast<XmlElement*>(nodeWithLibXMLNode(n))) out.push_back(e);
    return out;
}

std::vector<XmlNode*> XmlElement::attributes() const {
    std::vector<XmlNode*> out;
    for (xmlAttrPtr a = node_->properties; a; a = a->next)
        if (XmlNode* w = nodeWithLibXMLNode(reinterpret_cast<xmlNodePtr>(a))) out.push_back(w);
    return out;
}

XmlNode* XmlElement::attributeForName(std::string_view name) const {
    for (xmlAttrPtr a = node_->properties; a; a = a->next)
        if (XmlHelper::hasName(a->name, name)) return nodeWithLibXMLNode(reinterpret_cast<xmlNodePtr>(a));
    return nullptr;
}

} // namespace tavlo
