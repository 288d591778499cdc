#pragma once

#include "sync/exchange/CardFieldEncryptor.h"
#include "sync/exchange/OrderDocumentWriter.h"

namespace tavlo {

class Order;

// One order as the order send sees it: its `customerOrder` document written by XmlHelper, the
// card fields encrypted with the key in use when the document is written (a resend after a key
// change picks up the new key). The server's summary of it is stored as an order of the local store.
class OrderDocument : public OrderDocumentWriter {
public:
    explicit OrderDocument(const Order& order, CardFieldEncryptor& encryptor = CardFieldEncryptor::serverKey())
        : order_(order), encryptor_(encryptor) {}

    std::optional<std::string> document(const std::optional<std::string>& storeId,
                                        const std::optional<std::string>& terminalId, bool printReceipt,
                                        const std::optional<std::string>& printURL,
                                        const std::optional<std::string>& drawerURL, bool allPayments,
                                        bool sendBackVoids, ObjectContext* context) override;
    void saveOrderSummary(xmlDocPtr doc, xmlNodePtr summary, ObjectContext* context) override;

private:
    const Order& order_;
    CardFieldEncryptor& encryptor_;
};

} // namespace tavlo
