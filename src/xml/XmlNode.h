#pragma once

#include "platform/foundation/Error.h"

#include <libxml/tree.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class XmlDocument;

// An object view of one node of a document parsed by XmlDocument. Wrappers are made on demand,
// one per node, and belong to their document: they stay valid exactly as long as it does.
class XmlNode {
public:
    // Makes a wrapper without registering it; use nodeWithLibXMLNode to get a node's wrapper.
    explicit XmlNode(xmlNodePtr node) : node_(node) {}
    virtual ~XmlNode();
    XmlNode(const XmlNode&) = delete;
    XmlNode& operator=(const XmlNode&) = delete;

    // The node's wrapper (made and registered with its document on first use); null for kinds
    // other than element, attribute, text, CDATA and comment, and for nodes of a document that no
    // XmlDocument owns.
    static XmlNode* nodeWithLibXMLNode(xmlNodePtr node);

    int kind() const { return node_ ? static_cast<int>(node_->type) : 0; }
    std::optional<std::string> name() const;
    // A text node's content; otherwise the joined direct text, CDATA and entity children (an
    // attribute's value); nil when there is none.
    std::optional<std::string> stringValue() const;
    size_t index() const; // siblings before it
    size_t level() const; // ancestors: the document is 0, the root element 1
    XmlDocument* rootDocument() const;
    XmlNode* parent() const;
    size_t childCount() const; // child nodes of every kind
    std::vector<XmlNode*> children() const;
    XmlNode* childAtIndex(size_t index) const;
    XmlNode* previousSibling() const;
    XmlNode* nextSibling() const;

    std::string XMLString() const { return XMLStringWithOptions(0); }
    virtual std::string XMLStringWithOptions(unsigned options) const;

    // The nodes selected by an XPath expression evaluated with this node as context node, in the
    // order libxml2 gives them (document order); empty when the result is not a node set. An
    // expression libxml2 cannot evaluate also gives an empty result, and an error.
    std::vector<XmlNode*> nodesForXPath(const std::string& xpath, Error* error = nullptr) const;
    std::vector<XmlNode*> nodesForXPath(const std::string& xpath,
                                        const std::map<std::string, std::string>& namespaceMappings,
                                        Error* error = nullptr) const;

    virtual std::string description() const;
    xmlNodePtr libXMLNode() const { return node_; }

protected:
    virtual const char* className() const { return "XmlNode"; }
    // Serialises a node and what it holds (text escaped, HTML void elements self-closed).
    static void appendXMLString(xmlNodePtr node, std::string& out);

    xmlNodePtr node_;
};

} // namespace tavlo
