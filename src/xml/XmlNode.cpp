#include "xml/XmlNode.h"

#include "platform/foundation/Text.h"
#include "xml/XmlDocument.h"
#include "xml/XmlElement.h"
#include "xml/XmlHelper.h"

#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <array>
#include <memory>

namespace tavlo {

namespace {

const char* text(const xmlChar* s) { return reinterpret_cast<const char*>(s); }
const xmlChar* X(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }

bool isVoidElement(const xmlChar* name) {
    static constexpr std::array<std::string_view, 10> names = {"br", "area",  "link", "img",  "param",
                                                               "hr", "input", "col",  "base", "meta"};
    if (!name) return false;
    for (std::string_view n : names)
        if (n == text(name)) return true;
    return false;
}

// Escapes text for content and attribute values alike.
void appendEscaped(std::string& out, const xmlChar* value) {
    if (!value) return;
    for (const char* p = text(value); *p; ++p) {
        switch (*p) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += *p;
        }
    }
}

void appendAttribute(xmlAttrPtr attribute, std::string& out) {
    out += " ";
    out += text(attribute->name);
    out += "=\"";
    if (auto value = XmlHelper::getValue(reinterpret_cast<xmlNodePtr>(attribute), attribute->doc))
        appendEscaped(out, X(*value));
    out += "\"";
}

void silentXPathError(void*, xmlErrorPtr) {}

struct XPathContextFree {
    void operator()(xmlXPathContext* c) const { xmlXPathFreeContext(c); }
};
struct XPathObjectFree {
    void operator()(xmlXPathObject* o) const { xmlXPathFreeObject(o); }
};

} // namespace

XmlNode::~XmlNode() {
    if (node_ && node_->_private == this) node_->_private = nullptr;
    node_ = nullptr;
}

XmlNode* XmlNode::nodeWithLibXMLNode(xmlNodePtr node) {
    // A namespace node is laid out differently: its first field is not the private pointer.
    if (!node || node->type == XML_NAMESPACE_DECL) return nullptr;
    if (node->_private) return static_cast<XmlNode*>(node->_private);
    std::unique_ptr<XmlNode> wrapper;
    switch (node->type) {
    case XML_ELEMENT_NODE: wrapper = std::make_unique<XmlElement>(node); break;
    case XML_ATTRIBUTE_NODE:
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE: wrapper = std::make_unique<XmlNode>(node); break;
    default: return nullptr;
    }
    auto* owner = node->doc ? dynamic_cast<XmlDocument*>(static_cast<XmlNode*>(node->doc->_private)) : nullptr;
    if (!owner) return nullptr;
    XmlNode* made = wrapper.get();
    owner->nodePool_.push_back(std::move(wrapper));
    node->_private = made;
    return made;
}

std::optional<std::string> XmlNode::name() const {
    if (!node_ || !node_->name) return std::nullopt;
    return std::string(text(node_->name));
}

std::optional<std::string> XmlNode::stringValue() const {
    if (!node_) return std::nullopt;
    if (node_->type == XML_TEXT_NODE || node_->type == XML_CDATA_SECTION_NODE) {
        if (!node_->content) return std::nullopt;
        return std::string(text(node_->content));
    }
    return XmlHelper::getValue(node_, node_->doc);
}

size_t XmlNode::index() const {
    size_t n = 0;
    for (xmlNodePtr p = node_ ? node_->prev : nullptr; p; p = p->prev) ++n;
    return n;
}

size_t XmlNode::level() const {
    size_t n = 0;
    for (xmlNodePtr p = node_ ? node_->parent : nullptr; p; p = p->parent) ++n;
    return n;
}

XmlDocument* XmlNode::rootDocument() const {
    if (!node_ || !node_->doc) return nullptr;
    return dynamic_cast<XmlDocument*>(static_cast<XmlNode*>(node_->doc->_private));
}

XmlNode* XmlNode::parent() const { return node_ ? nodeWithLibXMLNode(node_->parent) : nullptr; }

size_t XmlNode::childCount() const {
    size_t n = 0;
    for (xmlNodePtr c = node_ ? node_->children : nullptr; c; c = c->next) ++n;
    return n;
}

std::vector<XmlNode*> XmlNode::children() const {
    std::vector<XmlNode*> out;
    for (xmlNodePtr c = node_ ? node_->children : nullptr; c; c = c->next)
        if (XmlNode* w = nodeWithLibXMLNode(c)) out.push_back(w);
    return out;
}

XmlNode* XmlNode::childAtIndex(size_t index) const {
    xmlNodePtr c = node_ ? node_->children : nullptr;
    for (size_t i = 0; c && i < index; ++i) c = c->next;
    return nodeWithLibXMLNode(c);
}

XmlNode* XmlNode::previousSibling() const { return node_ ? nodeWithLibXMLNode(node_->prev) : nullptr; }
XmlNode* XmlNode::nextSibling() const { return node_ ? nodeWithLibXMLNode(node_->next) : nullptr; }

void XmlNode::appendXMLString(xmlNodePtr node, std::string& out) {
    switch (node->type) {
    case XML_ATTRIBUTE_NODE: appendAttribute(reinterpret_cast<xmlAttrPtr>(node), out); break;
    case XML_TEXT_NODE: appendEscaped(out, node->content); break;
    case XML_CDATA_SECTION_NODE:
        out += "<![CDATA[";
        if (node->content) out += text(node->content);
        out += "]]>";
        break;
    case XML_ELEMENT_NODE:
        out += "<";
        out += text(node->name);
        for (xmlAttrPtr a = node->properties; a; a = a->next) appendAttribute(a, out);
        if (!node->children && isVoidElement(node->name)) {
            out += "/>";
            break;
        }
        out += ">";
        for (xmlNodePtr c = node->children; c; c = c->next) appendXMLString(c, out);
        out += "</";
        out += text(node->name);
        out += ">";
        break;
    default: break; // comments and the rest are left out
    }
}

std::string XmlNode::XMLStringWithOptions(unsigned) const {
    std::string out;
    if (node_) appendXMLString(node_, out);
    return out;
}

std::vector<XmlNode*> XmlNode::nodesForXPath(const std::string& xpath, Error* error) const {
    return nodesForXPath(xpath, {}, error);
}

std::vector<XmlNode*> XmlNode::nodesForXPath(const std::string& xpath,
                                             const std::map<std::string, std::string>& namespaceMappings,
                                             Error* error) const {
    std::vector<XmlNode*> out;
    if (!node_ || !node_->doc) return out;
    std::unique_ptr<xmlXPathContext, XPathContextFree> context(xmlXPathNewContext(node_->doc));
    if (!context) return out;
    context->node = node_;
    context->error = silentXPathError;
    for (const auto& [prefix, uri] : namespaceMappings) xmlXPathRegisterNs(context.get(), X(prefix), X(uri));
    std::unique_ptr<xmlXPathObject, XPathObjectFree> result(xmlXPathEvalExpression(X(xpath), context.get()));
    if (!result) {
        Error::set(error, XmlDocument::kErrorDomain, XmlDocument::kParseFailed,
                   format("Invalid XPath expression: %@", xpath));
        return out;
    }
    if (result->type != XPATH_NODESET || !result->nodesetval) return out;
    for (int i = 0; i < result->nodesetval->nodeNr; ++i)
        if (XmlNode* w = nodeWithLibXMLNode(result->nodesetval->nodeTab[i])) out.push_back(w);
    return out;
}

std::string XmlNode::description() const {
    return format("<%@ %p [%p] %@ %@>", className(), static_cast<const void*>(this), static_cast<const void*>(node_),
                  name(), XMLString());
}

} // namespace tavlo
