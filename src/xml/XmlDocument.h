#pragma once

#include "xml/XmlElement.h"
#include "xml/XmlNode.h"

#include <memory>
#include <string>
#include <string_view>

namespace tavlo {

// A parsed document that owns its libxml2 tree and every wrapper made for its nodes.
class XmlDocument : public XmlNode {
public:
    static constexpr const char* kErrorDomain = "XmlDocumentErrorDomain";
    static constexpr int kParseFailed = 1;
    static constexpr int kReadFailed = 2;
    // Option bit: parse the text as HTML (parser messages silenced).
    static constexpr unsigned kTidyHTML = 0x200;

    ~XmlDocument() override;

    // Parses the text's UTF-8 bytes (as HTML with kTidyHTML); null and an error when it fails.
    static std::unique_ptr<XmlDocument> fromXMLString(std::string_view text, unsigned options, Error* error = nullptr);
    // Parses bytes in their declared encoding; null and an error when empty or not well formed.
    static std::unique_ptr<XmlDocument> fromData(std::string_view data, unsigned options, Error* error = nullptr);
    // Reads a file ("file://" URL or path), then as fromData.
    static std::unique_ptr<XmlDocument> fromContentsOfURL(const std::string& url, unsigned options,
                                                          Error* error = nullptr);

    XmlElement* rootElement() const;
    const std::vector<std::unique_ptr<XmlNode>>& nodePool() const { return nodePool_; }
    // The root element's serialisation, without a declaration.
    std::string XMLStringWithOptions(unsigned options) const override;
    std::string description() const override;

protected:
    const char* className() const override { return "XmlDocument"; }

private:
    explicit XmlDocument(xmlDocPtr doc);
    static std::unique_ptr<XmlDocument> adopt(xmlDocPtr doc, Error* error);

    friend class XmlNode;
    std::vector<std::unique_ptr<XmlNode>> nodePool_;
};

} // namespace tavlo
