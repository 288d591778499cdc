#pragma once

#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"
#include "xml/RequestValues.h"
#include "xml/XmlDocPtr.h"

#include <libxml/tree.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavlo {

class TextWriterDocument;
class XmlStreamWriter;

// Reading the server's replies and writing the request documents.
//
// Readers parse a reply with `parse` and walk it with the node getters; these convert nothing
// (numbers, flags and dates stay text). Names compare byte for byte, case-sensitively.
//
// Request builders give the document's bytes. "XW" documents come from XmlStreamWriter (UTF-8, one
// line, no DOCTYPE); "TW" documents from libxml2's text writer (ISO-8859-1 bytes, DOCTYPE naming
// `tavloRequest` and a DTD file) and are nil, with the failed step in `error`, when writing fails.
class XmlHelper {
public:
    // ---- node access ----

    // The reply's document, or null when the bytes are empty, truncated or not well formed.
    // The declared encoding is honoured unless `encoding` is given; no network access, no
    // external entities, no messages on standard error.
    static XmlDocPtr parse(std::string_view bytes, const char* encoding = nullptr);

    // The first child element so named, or null.
    static xmlNodePtr getFirstChildNode(xmlNodePtr parent, std::string_view name);
    // The text of the first child element so named (as getValue), or nil.
    static std::optional<std::string> getNodeValue(xmlDocPtr doc, xmlNodePtr root, std::string_view name);
    static std::optional<std::string> getChildValue(xmlDocPtr doc, xmlNodePtr root, std::string_view name);
    // The node's own text: its direct text and CDATA children and expanded entity references joined
    // in order, child elements skipped, nothing trimmed; nil when there is none.
    static std::optional<std::string> getValue(xmlNodePtr node, xmlDocPtr doc);
    // The attribute's value ("" when written empty), or nil when the element has none so named.
    static std::optional<std::string> getAttributeValue(xmlNodePtr node, std::string_view name);
    // The first child element so named whose attribute so named equals the value, or null.
    static xmlNodePtr getChildNode(xmlNodePtr parent, std::string_view elementName, std::string_view attributeName,
                                   std::string_view value);
    // A repeated child: the first child element so named and the sibling elements after it up to
    // the first element of another name (text and comments between them are passed over).
    static std::vector<xmlNodePtr> getChildRun(xmlNodePtr parent, std::string_view name);

    // Name tests, byte for byte.
    static bool hasName(const xmlChar* nodeName, std::string_view name);
    static bool isElementNamed(xmlNodePtr node, std::string_view name);

    // ---- value forms of the documents ----

    // Milliseconds since 1970 as written on the wire: the whole seconds followed by "000".
    static std::string wireDate(Date date);
    static const char* wireBool(bool value) { return value ? "true" : "false"; }

    // ---- XW request documents ----

    // Declaration and the opened `tavloRequest` root on a one-line writer.
    static void beginRequest(XmlStreamWriter& writer);
    // `<name>text</name>`
    static void writeTextElement(XmlStreamWriter& writer, const std::string& name, const std::string& text);

    static std::string getXmlStoreMenuData(const std::optional<std::string>& storeDateUpdated,
                                           const std::optional<std::string>& menuDateUpdated,
                                           const std::optional<std::string>& terminalId, const std::string& appVersion);
    static std::string getXmlTerminalInfo(const TerminalInfoValues& info);
    static std::string getXmlCloseStore(const std::string& userId, const std::string& terminalId,
                                        const std::optional<std::string>& printURL);
    static std::string getXmlReport(const std::string& reportName, const std::optional<std::string>& param);
    static std::string getXmlReportCashInOut(const std::optional<std::string>& cashInOutId, const std::string& userId,
                                             std::optional<Date> cashInDate, const std::optional<std::string>& drawer,
                                             std::optional<Date> cashOutDate, bool detailed);
    static std::string getXmlPrint(const std::vector<std::string>& lines, const std::string& printURL);
    static std::string getXmlUsersNotCashedOut();
    static std::string getXmlCashOutUser(const std::string& userId, const std::string& terminalId,
                                         const std::optional<std::string>& cashDrawer,
                                         const std::optional<std::string>& forcedBy, const std::string& printURL);
    // breakDown: amount text -> count text, written in the given order.
    static std::string getXmlCashInCD(const std::string& userId, const std::string& terminalId,
                                      const std::vector<std::pair<std::string, std::string>>& breakDown,
                                      const std::string& cashDrawer, const std::optional<std::string>& forcedBy,
                                      const std::string& printURL);
    static std::string getXmlPreCashOutCD(const std::string& userId, const std::string& terminalId,
                                          const std::string& cashDrawer, const std::optional<std::string>& forcedBy);
    // breakDown: amount text -> count, written in the given order.
    static std::string getXmlCashOutCD(const std::string& userId, const std::string& terminalId,
                                       const std::vector<std::pair<std::string, int64_t>>& breakDown, long counts,
                                       const std::string& cashDrawer, const std::optional<std::string>& safe,
                                       const std::optional<std::string>& forcedBy, const std::string& printURL);

    // ---- TW request documents ----

    static std::optional<std::string> getXmlOrdersByAreaLocationId(const std::optional<std::string>& areaLocationId,
                                                                   bool openOnly, Error* error = nullptr);
    static std::optional<std::string> getXmlOrders(bool openOnly, Error* error = nullptr);
    static std::optional<std::string> getXmlOrderByRemoteId(const std::optional<std::string>& remoteId,
                                                            Error* error = nullptr);
    // Any request element under the given DTD, with `dateUpdated` when a date is given.
    static std::optional<std::string> getXmlRequest(const std::string& request, const std::string& dtd,
                                                    std::optional<Date> dateUpdated, Error* error = nullptr);
    static std::optional<std::string> getXmlPaymentRefs(long paymentType, Error* error = nullptr);
    static std::optional<std::string> getXmlOpenStore(const std::optional<std::string>& userId,
                                                      const std::optional<std::string>& terminalId,
                                                      std::optional<Date> date, Error* error = nullptr);
    static std::optional<std::string> getXmlNoSale(const std::optional<std::string>& userId,
                                                   const std::optional<std::string>& terminalId,
                                                   const std::optional<std::string>& drawer, Date date,
                                                   const std::optional<std::string>& forcedBy, Error* error = nullptr);
    static std::optional<std::string> getXmlCommandProcessed(const std::optional<std::string>& terminalId,
                                                             Error* error = nullptr);
    // Dumps of a stored card transaction and batch (their own roots, an empty system id).
    static std::optional<std::string> getXmlTransaction(const CardTransactionValues& transaction,
                                                        Error* error = nullptr);
    static std::optional<std::string> getXmlBatch(const CardBatchValues& batch, Error* error = nullptr);
    static void appendTransactionDetails(const CardTransactionValues& transaction, TextWriterDocument& writer);
};

} // namespace tavlo
