#include "sync/exchange/OrderDocument.h"

#include "core/session/DBHelper.h"
#include "xml/XmlHelper.h"

namespace tavlo {

std::optional<std::string> OrderDocument::document(const std::optional<std::string>& storeId,
                                                   const std::optional<std::string>& terminalId, bool printReceipt,
                                                   const std::optional<std::string>& printURL,
                                                   const std::optional<std::string>& drawerURL, bool allPayments,
                                                   bool sendBackVoids, ObjectContext* context) {
    return XmlHelper::getXmlOrder(order_, storeId, terminalId, printReceipt, printURL, drawerURL, allPayments,
                                  sendBackVoids, context, encryptor_);
}

void OrderDocument::saveOrderSummary(xmlDocPtr doc, xmlNodePtr summary, ObjectContext* context) {
    DBHelper::saveOrderSummaries(summary, doc, context);
}

} // namespace tavlo
