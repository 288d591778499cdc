#pragma once

#include <libxml/tree.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "xml/XmlHelper.h"

namespace tavlo::storesim {

// The text of the element's first child so named; empty when it has none.
inline std::string childText(xmlDocPtr doc, xmlNodePtr element, const char* name) {
    return XmlHelper::getNodeValue(doc, element, name).value_or("");
}

// The same read as a whole number (cents, counts); 0 when it is missing or not a number.
inline long childNumber(xmlDocPtr doc, xmlNodePtr element, const char* name) {
    return std::strtol(childText(doc, element, name).c_str(), nullptr, 10);
}

// Cents as an amount of money with two decimals: "12.50", "-0.75".
inline std::string amountText(long cents) {
    char out[32];
    std::snprintf(out, sizeof out, "%s%ld.%02ld", cents < 0 ? "-" : "", std::labs(cents) / 100, std::labs(cents) % 100);
    return out;
}

} // namespace tavlo::storesim
