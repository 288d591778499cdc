#pragma once

#include "sync/exchange/CardFieldEncryptor.h"
#include "sync/exchange/OrderDocumentWriter.h"

#include <optional>
#include <string>

namespace tavlo {

class ActivityLog;
class ObjectContext;
class Order;
class OrderTax;
class Payment;
class Selection;
class XmlStreamWriter;

// One order as the order send sees it: its `customerOrder` request, one line written with
// XmlStreamWriter (UTF-8, no DOCTYPE), the card fields encrypted with the key in use when the
// document is written (a resend after a key change picks up the new key). The server's summary of
// it is stored as an order of the local store.
class OrderDocument : public OrderDocumentWriter {
public:
    explicit OrderDocument(const Order& order, CardFieldEncryptor& encryptor = CardFieldEncryptor::serverKey())
        : order_(order), encryptor_(encryptor) {}

    // The order's `customerOrder` request. Payments go out when `allPayments`, or new, or
    // modified, or voided with `sendBackVoids`; every other record of the order always goes out.
    // The context serves the customer look-up.
    std::string getXmlOrder(const std::optional<std::string>& storeId, const std::optional<std::string>& terminalId,
                            bool printReceipt, const std::optional<std::string>& printURL,
                            const std::optional<std::string>& drawerURL, bool allPayments, bool sendBackVoids,
                            ObjectContext* context) const;

    // getXmlOrder: the document is always written.
    std::optional<std::string> document(const std::optional<std::string>& storeId,
                                        const std::optional<std::string>& terminalId, bool printReceipt,
                                        const std::optional<std::string>& printURL,
                                        const std::optional<std::string>& drawerURL, bool allPayments,
                                        bool sendBackVoids, ObjectContext* context) override;
    void saveOrderSummary(xmlDocPtr doc, xmlNodePtr summary, ObjectContext* context) override;

    // An exchanged document as the log may keep it: the cardholder's name and postal code of its
    // payments blanked, as their encrypted card fields are unreadable.
    static std::string forLog(std::string document);

private:
    // The order's customer as the local store holds it; nothing when it holds none.
    void appendCustomer(XmlStreamWriter& writer, ObjectContext* context) const;
    void appendDiscounts(XmlStreamWriter& writer) const;
    static void appendOrderTax(const OrderTax& tax, XmlStreamWriter& writer);
    // A line, a side (`parent` is the line it hangs from) or a combo's part (`inCombo`).
    void appendSelection(const Selection& selection, const Selection* parent, const std::string& type, bool inCombo,
                         XmlStreamWriter& writer) const;
    void appendPayment(const Payment& payment, XmlStreamWriter& writer) const;
    static void appendLog(const ActivityLog& entry, XmlStreamWriter& writer);

    const Order& order_;
    CardFieldEncryptor& encryptor_;
};

} // namespace tavlo
