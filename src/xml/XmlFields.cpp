#include "xml/XmlFields.h"

#include "platform/foundation/Text.h"
#include "xml/XmlHelper.h"

#include <cctype>

namespace tavlo {

std::optional<std::string> XmlFields::attribute(std::string_view name) const {
    return element_ ? XmlHelper::getAttributeValue(element_, name) : std::nullopt;
}

std::optional<std::string> XmlFields::text(std::string_view name) const {
    return element_ ? XmlHelper::getChildValue(doc_, element_, name) : std::nullopt;
}

bool XmlFields::has(std::string_view name) const { return XmlHelper::getFirstChildNode(element_, name) != nullptr; }

int32_t XmlFields::integer(std::string_view name) const { return intValue(text(name)); }

std::optional<int32_t> XmlFields::integerIfPresent(std::string_view name) const {
    std::optional<std::string> t = text(name);
    return t ? std::optional<int32_t>(intValue(*t)) : std::nullopt;
}

bool XmlFields::flag(std::string_view name) const { return boolValue(text(name)); }

std::optional<Date> XmlFields::time(std::string_view name) const {
    std::optional<std::string> t = text(name);
    return t ? std::optional<Date>(wireTime(*t)) : std::nullopt;
}

std::optional<Date> XmlFields::positiveTime(std::string_view name) const {
    std::optional<std::string> t = text(name);
    if (!t || longLongValue(*t) < 1) return std::nullopt;
    return wireTime(*t);
}

std::vector<xmlNodePtr> XmlFields::run(std::string_view name) const {
    return element_ ? XmlHelper::getChildRun(element_, name) : std::vector<xmlNodePtr>{};
}

std::vector<std::string> XmlFields::runTexts(std::string_view name) const {
    std::vector<std::string> texts;
    for (xmlNodePtr node : run(name))
        if (std::optional<std::string> t = XmlHelper::getValue(node, doc_)) texts.push_back(std::move(*t));
    return texts;
}

std::vector<std::string> XmlFields::texts(std::string_view name) const {
    std::vector<std::string> texts;
    for (xmlNodePtr node = XmlHelper::getFirstChildNode(element_, name); node; node = node->next)
        if (XmlHelper::isElementNamed(node, name))
            if (std::optional<std::string> t = XmlHelper::getValue(node, doc_)) texts.push_back(std::move(*t));
    return texts;
}

XmlFields XmlFields::child(std::string_view name) const {
    return XmlFields(XmlHelper::getFirstChildNode(element_, name), doc_);
}

Date XmlFields::wireTime(std::string_view text) {
    // Blanks after the digits (a value on a line of its own) are no milliseconds to cut.
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    if (text.size() <= 3) return Date(0);
    return Date(static_cast<double>(longLongValue(text.substr(0, text.size() - 3))));
}

} // namespace tavlo
