#include "xml/XmlHelper.h"

#include "platform/foundation/Text.h"
#include "xml/TextWriterDocument.h"
#include "xml/XmlStreamWriter.h"

#include <libxml/entities.h>
#include <libxml/parser.h>

#include <climits>

namespace tavlo {

namespace {

// A reply's entities could expand without bound; text past these limits reads as none.
constexpr size_t kMaxNodeText = 16u << 20;
constexpr int kMaxEntityDepth = 16;

constexpr const char* kStoreData = "storeData.dtd";
constexpr const char* kCustomerOrder = "customerOrder.dtd";
constexpr const char* kLatin1 = "ISO-8859-1";

bool appendText(xmlDocPtr doc, xmlNodePtr list, std::string& out, int depth) {
    for (xmlNodePtr n = list; n; n = n->next) {
        if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
            if (n->content) out += reinterpret_cast<const char*>(n->content);
        } else if (n->type == XML_ENTITY_REF_NODE) {
            if (depth >= kMaxEntityDepth) return false;
            xmlEntityPtr entity = xmlGetDocEntity(doc, n->name);
            if (entity && !appendText(doc, entity->children, out, depth + 1)) return false;
        }
        if (out.size() > kMaxNodeText) return false;
    }
    return true;
}

// Joined text of a child list; nil when it holds no text.
std::optional<std::string> listText(xmlDocPtr doc, xmlNodePtr list) {
    std::string out;
    if (!appendText(doc, list, out, 0) || out.empty()) return std::nullopt;
    return out;
}

xmlAttrPtr findAttribute(xmlNodePtr node, std::string_view name) {
    if (!node || node->type != XML_ELEMENT_NODE) return nullptr;
    for (xmlAttrPtr a = node->properties; a; a = a->next)
        if (XmlHelper::hasName(a->name, name)) return a;
    return nullptr;
}

void writeIf(XmlStreamWriter& w, const std::string& name, const std::optional<std::string>& text) {
    if (text) XmlHelper::writeTextElement(w, name, *text);
}

void writePrinter(XmlStreamWriter& w, const std::string& printURL) {
    XmlHelper::writeTextElement(w, "printerConnType", "TCP/IP");
    XmlHelper::writeTextElement(w, "printerUrl", printURL);
}

// An XW request: `<tavloRequest><request ...>` with its body, then ended.
template <typename Body> std::string streamRequest(const std::string& request, Body body) {
    XmlStreamWriter w;
    XmlHelper::beginRequest(w);
    w.writeStartElement(request);
    body(w);
    w.writeEndDocument();
    return w.toString();
}

void writeBreakDown(XmlStreamWriter& w, const std::string& element, const std::string& amount,
                    const std::string& count) {
    w.writeStartElement(element);
    XmlHelper::writeTextElement(w, "amount", amount);
    XmlHelper::writeTextElement(w, "count", count);
    w.writeEndElement();
}

// A TW request: `<tavloRequest><request ...>` with its body, then finished.
template <typename Body>
std::optional<std::string> textWriterRequest(const std::string& dtd, const std::string& request, Error* error,
                                             Body body) {
    TextWriterDocument doc(kLatin1, dtd);
    doc.startElement(TextWriterDocument::kRequestRoot);
    doc.startElement(request);
    body(doc);
    return doc.finish(error);
}

} // namespace

// ---- node access ----

bool XmlHelper::hasName(const xmlChar* nodeName, std::string_view name) {
    return nodeName && std::string_view(reinterpret_cast<const char*>(nodeName)) == name;
}

bool XmlHelper::isElementNamed(xmlNodePtr node, std::string_view name) {
    return node && node->type == XML_ELEMENT_NODE && hasName(node->name, name);
}

XmlDocPtr XmlHelper::parse(std::string_view bytes, const char* encoding) {
    xmlInitParser(); // once per process; libxml2 guards it
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX)) return nullptr;
    return XmlDocPtr(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, encoding,
                                   XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

xmlNodePtr XmlHelper::getFirstChildNode(xmlNodePtr parent, std::string_view name) {
    if (!parent) return nullptr;
    for (xmlNodePtr n = parent->children; n; n = n->next)
        if (XmlHelper::isElementNamed(n, name)) return n;
    return nullptr;
}

std::optional<std::string> XmlHelper::getNodeValue(xmlDocPtr doc, xmlNodePtr root, std::string_view name) {
    xmlNodePtr node = getFirstChildNode(root, name);
    return node ? getValue(node, doc) : std::nullopt;
}

std::optional<std::string> XmlHelper::getChildValue(xmlDocPtr doc, xmlNodePtr root, std::string_view name) {
    return getNodeValue(doc, root, name);
}

std::optional<std::string> XmlHelper::getValue(xmlNodePtr node, xmlDocPtr doc) {
    if (!node) return std::nullopt;
    return listText(doc ? doc : node->doc, node->children);
}

std::optional<std::string> XmlHelper::getAttributeValue(xmlNodePtr node, std::string_view name) {
    xmlAttrPtr attribute = findAttribute(node, name);
    if (!attribute) return std::nullopt;
    return listText(node->doc, attribute->children).value_or("");
}

xmlNodePtr XmlHelper::getChildNode(xmlNodePtr parent, std::string_view elementName, std::string_view attributeName,
                                   std::string_view value) {
    if (!parent) return nullptr;
    for (xmlNodePtr n = parent->children; n; n = n->next) {
        if (!XmlHelper::isElementNamed(n, elementName)) continue;
        const auto attribute = getAttributeValue(n, attributeName);
        if (attribute && *attribute == value) return n;
    }
    return nullptr;
}

std::vector<xmlNodePtr> XmlHelper::getChildRun(xmlNodePtr parent, std::string_view name) {
    std::vector<xmlNodePtr> run;
    for (xmlNodePtr n = getFirstChildNode(parent, name); n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE) continue;
        if (!XmlHelper::hasName(n->name, name)) break;
        run.push_back(n);
    }
    return run;
}

// ---- value forms ----

std::string XmlHelper::wireDate(Date date) { return std::to_string(date.wholeSeconds()) + "000"; }

// ---- XW documents ----

void XmlHelper::beginRequest(XmlStreamWriter& w) {
    w.setIndentation(std::nullopt);
    w.setLineBreak(std::nullopt);
    w.writeStartDocumentWithEncodingAndVersion("UTF-8", "1.0");
    w.writeStartElement(TextWriterDocument::kRequestRoot);
}

void XmlHelper::writeTextElement(XmlStreamWriter& w, const std::string& name, const std::string& text) {
    w.writeStartElement(name);
    w.writeCharacters(text);
    w.writeEndElement();
}

std::string XmlHelper::getXmlStoreMenuData(const std::optional<std::string>& storeDateUpdated,
                                           const std::optional<std::string>& menuDateUpdated,
                                           const std::optional<std::string>& terminalId,
                                           const std::string& appVersion) {
    return streamRequest("getStoreData", [&](XmlStreamWriter& w) {
        if (terminalId) {
            w.writeAttribute("terminalId", *terminalId);
            w.writeAttribute("version", appVersion);
        }
        writeTextElement(w, "storeDateUpdated", storeDateUpdated.value_or("0"));
        writeTextElement(w, "menuDateUpdated", menuDateUpdated.value_or("0"));
    });
}

std::string XmlHelper::getXmlTerminalInfo(const TerminalInfoValues& info) {
    return streamRequest("terminalInfo", [&](XmlStreamWriter& w) {
        w.writeAttribute("id", info.terminalId);
        writeTextElement(w, "terminalName", info.terminalName);
        writeTextElement(w, "ip", info.ip);
        writeTextElement(w, "os", "iOS");
        writeTextElement(w, "architecture", info.architecture);
        writeTextElement(w, "cpus", "1");
        writeTextElement(w, "ram", std::to_string(info.ram));
        writeTextElement(w, "sdkVersion", info.sdkVersion);
        writeTextElement(w, "appVersion", info.appVersion);
        writeTextElement(w, "libVersion", "NA");
    });
}

std::string XmlHelper::getXmlCloseStore(const std::string& userId, const std::string& terminalId,
                                        const std::optional<std::string>& printURL) {
    return streamRequest("close", [&](XmlStreamWriter& w) {
        writeTextElement(w, "userId", userId);
        writeTextElement(w, "terminalId", terminalId);
        if (printURL) writePrinter(w, *printURL);
    });
}

std::string XmlHelper::getXmlReport(const std::string& reportName, const std::optional<std::string>& param) {
    return streamRequest(reportName, [&](XmlStreamWriter& w) {
        if (param) w.writeAttribute("param", *param);
    });
}

std::string XmlHelper::getXmlReportCashInOut(const std::optional<std::string>& cashInOutId, const std::string& userId,
                                             std::optional<Date> cashInDate, const std::optional<std::string>& drawer,
                                             std::optional<Date> cashOutDate, bool detailed) {
    return streamRequest("getCashInOutReport", [&](XmlStreamWriter& w) {
        if (cashInOutId) {
            writeTextElement(w, "cashInOutId", *cashInOutId);
        } else {
            writeTextElement(w, "userId", userId);
            if (cashInDate) writeTextElement(w, "cashInDate", wireDate(*cashInDate));
            writeIf(w, "cashDrawerId", drawer);
            if (cashOutDate) writeTextElement(w, "cashOutDate", wireDate(*cashOutDate));
        }
        writeTextElement(w, "detailed", wireBool(detailed));
    });
}

std::string XmlHelper::getXmlPrint(const std::vector<std::string>& lines, const std::string& printURL) {
    return streamRequest("print", [&](XmlStreamWriter& w) {
        writePrinter(w, printURL);
        for (const std::string& line : lines) writeTextElement(w, "line", line);
    });
}

std::string XmlHelper::getXmlUsersNotCashedOut() {
    return streamRequest("getUsersNotCashedOut", [](XmlStreamWriter&) {});
}

std::string XmlHelper::getXmlCashOutUser(const std::string& userId, const std::string& terminalId,
                                         const std::optional<std::string>& cashDrawer,
                                         const std::optional<std::string>& forcedBy, const std::string& printURL) {
    return streamRequest("cashOutUser", [&](XmlStreamWriter& w) {
        writeTextElement(w, "userId", userId);
        writeTextElement(w, "cashOutTerminalId", terminalId);
        writeIf(w, "cashDrawerId", cashDrawer);
        writeIf(w, "cashOutForcedById", forcedBy);
        writePrinter(w, printURL);
    });
}

std::string XmlHelper::getXmlCashInCD(const std::string& userId, const std::string& terminalId,
                                      const std::vector<std::pair<std::string, std::string>>& breakDown,
                                      const std::string& cashDrawer, const std::optional<std::string>& forcedBy,
                                      const std::string& printURL) {
    return streamRequest("cashInCashDrawer", [&](XmlStreamWriter& w) {
        writeTextElement(w, "userId", userId);
        writeTextElement(w, "cashInTerminalId", terminalId);
        writeTextElement(w, "cashDrawerId", cashDrawer);
        writeIf(w, "cashInForcedById", forcedBy);
        for (const auto& [amount, count] : breakDown) writeBreakDown(w, "cashInBreakDown", amount, count);
        writePrinter(w, printURL);
    });
}

std::string XmlHelper::getXmlPreCashOutCD(const std::string& userId, const std::string& terminalId,
                                          const std::string& cashDrawer, const std::optional<std::string>& forcedBy) {
    return streamRequest("preCashOutCashDrawer", [&](XmlStreamWriter& w) {
        writeTextElement(w, "userId", userId);
        writeTextElement(w, "cashOutTerminalId", terminalId);
        writeTextElement(w, "cashDrawerId", cashDrawer);
        writeIf(w, "cashOutForcedById", forcedBy);
    });
}

std::string XmlHelper::getXmlCashOutCD(const std::string& userId, const std::string& terminalId,
                                       const std::vector<std::pair<std::string, int64_t>>& breakDown, long counts,
                                       const std::string& cashDrawer, const std::optional<std::string>& safe,
                                       const std::optional<std::string>& forcedBy, const std::string& printURL) {
    return streamRequest("cashOutCashDrawer", [&](XmlStreamWriter& w) {
        writeTextElement(w, "userId", userId);
        writeTextElement(w, "cashOutTerminalId", terminalId);
        writeTextElement(w, "cashDrawerId", cashDrawer);
        writeIf(w, "safeId", safe);
        writeIf(w, "cashOutForcedById", forcedBy);
        for (const auto& [amount, count] : breakDown)
            writeBreakDown(w, "cashOutBreakDown", amount, std::to_string(count));
        writeTextElement(w, "count", std::to_string(counts));
        writePrinter(w, printURL);
    });
}

// ---- TW documents ----

std::optional<std::string> XmlHelper::getXmlOrdersByAreaLocationId(const std::optional<std::string>& areaLocationId,
                                                                   bool openOnly, Error* error) {
    return textWriterRequest(kCustomerOrder, "getOrders", error, [&](TextWriterDocument& doc) {
        if (openOnly) doc.writeAttribute("openOnly", "true");
        if (areaLocationId) doc.writeElement("areaLocationId", areaLocationId);
    });
}

std::optional<std::string> XmlHelper::getXmlOrders(bool openOnly, Error* error) {
    return getXmlOrdersByAreaLocationId(std::nullopt, openOnly, error);
}

std::optional<std::string> XmlHelper::getXmlOrderByRemoteId(const std::optional<std::string>& remoteId, Error* error) {
    return textWriterRequest(kCustomerOrder, "getOrder", error,
                             [&](TextWriterDocument& doc) { doc.writeElement("remoteId", remoteId); });
}

std::optional<std::string> XmlHelper::getXmlRequest(const std::string& request, const std::string& dtd,
                                                    std::optional<Date> dateUpdated, Error* error) {
    return textWriterRequest(dtd, request, error, [&](TextWriterDocument& doc) {
        if (dateUpdated) doc.writeElement("dateUpdated", wireDate(*dateUpdated));
    });
}

std::optional<std::string> XmlHelper::getXmlPaymentRefs(long paymentType, Error* error) {
    return textWriterRequest(kStoreData, "getPaymentRefs", error, [&](TextWriterDocument& doc) {
        doc.writeElement("paymentType", std::to_string(paymentType));
    });
}

std::optional<std::string> XmlHelper::getXmlOpenStore(const std::optional<std::string>& userId,
                                                      const std::optional<std::string>& terminalId,
                                                      std::optional<Date> date, Error* error) {
    return textWriterRequest(kStoreData, "open", error, [&](TextWriterDocument& doc) {
        doc.writeElement("userId", userId);
        doc.writeElement("terminalId", terminalId);
        if (date) doc.writeElement("date", wireDate(*date));
    });
}

std::optional<std::string> XmlHelper::getXmlNoSale(const std::optional<std::string>& userId,
                                                   const std::optional<std::string>& terminalId,
                                                   const std::optional<std::string>& drawer, Date date,
                                                   const std::optional<std::string>& forcedBy, Error* error) {
    return textWriterRequest(kStoreData, "noSale", error, [&](TextWriterDocument& doc) {
        doc.writeElement("userId", userId);
        doc.writeElement("forcedBy", forcedBy.value_or(""));
        doc.writeElement("date", wireDate(date));
        doc.writeElement("terminalId", terminalId);
        doc.writeElement("cashDrawerId", drawer);
    });
}

std::optional<std::string> XmlHelper::getXmlCommandProcessed(const std::optional<std::string>& terminalId,
                                                             Error* error) {
    return textWriterRequest(kStoreData, "processedTerminalCommand", error,
                             [&](TextWriterDocument& doc) { doc.writeElement("terminalId", terminalId); });
}

void XmlHelper::appendTransactionDetails(const CardTransactionValues& t, TextWriterDocument& doc) {
    doc.startElement("transaction");
    doc.writeAttribute("id", std::to_string(t.transactionId));
    doc.writeElement("number", t.number,
                     format("testXmlwriterMemory: Error at xmlTextWriterWriteElement, number: %@", t.number));
    doc.writeElement("approval", t.approval,
                     format("testXmlwriterMemory: Error at xmlTextWriterWriteElement, approval: %@", t.approval));
    doc.writeElement("subTotal", std::to_string(t.subTotal));
    doc.writeElement("tax", std::to_string(t.tax));
    doc.writeElement("tip", std::to_string(t.tip));
    doc.writeElement("created", wireDate(t.created));
    if (t.adjusted) doc.writeElement("adjusted", wireDate(*t.adjusted));
    if (t.voided) doc.writeElement("voided", wireDate(*t.voided));
    doc.startElement("fields");
    for (const auto& [name, value] : t.fields) {
        doc.startElement("field");
        doc.writeAttribute("name", name);
        doc.writeAttribute("value", value);
        doc.endElement();
    }
    doc.endElement();
    doc.endElement();
}

std::optional<std::string> XmlHelper::getXmlTransaction(const CardTransactionValues& transaction, Error* error) {
    TextWriterDocument doc(kLatin1, "");
    appendTransactionDetails(transaction, doc);
    return doc.finish(error);
}

std::optional<std::string> XmlHelper::getXmlBatch(const CardBatchValues& batch, Error* error) {
    TextWriterDocument doc(kLatin1, "");
    doc.startElement("batch");
    doc.writeElement("host", batch.hostName);
    doc.writeElement("merchantId", batch.merchantId);
    doc.writeElement("batchId", std::to_string(batch.batchId));
    doc.writeElement("created", wireDate(batch.created));
    doc.startElement("transactions");
    for (const CardTransactionValues& t : batch.transactions) appendTransactionDetails(t, doc);
    doc.endElement();
    doc.endElement();
    return doc.finish(error);
}

} // namespace tavlo
