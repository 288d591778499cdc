#include "xml/XmlDocument.h"

#include "platform/foundation/Text.h"
#include "xml/XmlHelper.h"

#include <libxml/HTMLparser.h>

#include <climits>
#include <fstream>
#include <sstream>

namespace tavlo {

namespace {

constexpr int kHtmlOptions = HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING;

bool fitsParser(std::string_view bytes) { return !bytes.empty() && bytes.size() <= static_cast<size_t>(INT_MAX); }

} // namespace

XmlDocument::XmlDocument(xmlDocPtr doc) : XmlNode(reinterpret_cast<xmlNodePtr>(doc)) {
    doc->_private = static_cast<XmlNode*>(this);
}

XmlDocument::~XmlDocument() {
    nodePool_.clear();
    auto* doc = reinterpret_cast<xmlDocPtr>(node_);
    node_ = nullptr;
    xmlFreeDoc(doc);
}

std::unique_ptr<XmlDocument> XmlDocument::adopt(xmlDocPtr doc, Error* error) {
    if (!doc) {
        Error::set(error, kErrorDomain, kParseFailed, "");
        return nullptr;
    }
    return std::unique_ptr<XmlDocument>(new XmlDocument(doc));
}

std::unique_ptr<XmlDocument> XmlDocument::fromXMLString(std::string_view text, unsigned options, Error* error) {
    Error::set(error, Error());
    if (!(options & kTidyHTML)) return adopt(XmlHelper::parse(text, "UTF-8").release(), error);
    xmlInitParser();
    if (!fitsParser(text)) return adopt(nullptr, error);
    return adopt(htmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8", kHtmlOptions), error);
}

std::unique_ptr<XmlDocument> XmlDocument::fromData(std::string_view data, unsigned, Error* error) {
    return adopt(XmlHelper::parse(data).release(), error);
}

std::unique_ptr<XmlDocument> XmlDocument::fromContentsOfURL(const std::string& url, unsigned options, Error* error) {
    Error::set(error, Error());
    // Only local files: nothing here reaches the network.
    const bool isFile = startsWith(url, "file://") || url.find("://") == std::string::npos;
    const std::string path = startsWith(url, "file://") ? url.substr(7) : url;
    std::ifstream in;
    if (isFile) in.open(path, std::ios::binary);
    if (!in.is_open() || !in) {
        Error::set(error, kErrorDomain, kReadFailed, format("Unable to read %@", url));
        return nullptr;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return fromData(bytes.str(), options, error);
}

XmlElement* XmlDocument::rootElement() const {
    return dynamic_cast<XmlElement*>(nodeWithLibXMLNode(xmlDocGetRootElement(reinterpret_cast<xmlDocPtr>(node_))));
}

std::string XmlDocument::XMLStringWithOptions(unsigned options) const {
    XmlElement* root = rootElement();
    return root ? root->XMLStringWithOptions(options) : std::string();
}

std::string XmlDocument::description() const {
    std::string out =
        format("<%@ %p [%p]> ", className(), static_cast<const void*>(this), static_cast<const void*>(node_));
    xmlChar* dump = nullptr;
    int size = 0;
    xmlDocDumpFormatMemory(reinterpret_cast<xmlDocPtr>(node_), &dump, &size, 1);
    if (dump) {
        out.append(reinterpret_cast<const char*>(dump), static_cast<size_t>(size));
        xmlFree(dump);
    }
    return out;
}

} // namespace tavlo
