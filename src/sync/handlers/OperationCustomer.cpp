#include "sync/handlers/OperationCustomer.h"

#include "core/records/Customer.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderQueue.h"
#include "xml/XmlHelper.h"

namespace tavlo {

OperationCustomer::OperationCustomer(const ObjectID& row, std::shared_ptr<ObjectStore> coordinator, std::string url)
    : OperationAdapter(std::move(coordinator)), objectURI_(row.uriRepresentation()), url_(std::move(url)) {}

OperationCustomer::OperationCustomer(std::optional<std::string> remoteId, std::optional<std::string> request,
                                     std::optional<std::string> userId, std::shared_ptr<ObjectStore> coordinator,
                                     std::string url)
    : OperationAdapter(std::move(coordinator)), url_(std::move(url)), request_(std::move(request)),
      userId_(std::move(userId)), remoteId_(std::move(remoteId)) {}

void OperationCustomer::main() {
    Date attempt = Date::now();
    auto context = newContext();
    if (!context) return;
    int timeout = CommHelper::timeout(Parameter::StoreHandlerReadTimeout, context.get());
    ManagedObjectPtr row;
    if (objectURI_) {
        row = OrderQueue::load(*context, *objectURI_);
        if (!row) {
            TAVLO_LOG("Queue row %@ is gone", objectURI_);
            return;
        }
        remoteId_ = row->text("remoteId");
        request_ = row->text("request");
        userId_ = row->text("userId");
    }
    Error exchangeError;
    std::optional<std::string> reply = OrderQueue::post(url_, userId_, request_, timeout, &exchangeError);
    if (exchangeError.isSet()) setError(exchangeError);
    OrderQueue::logExchange(*context, request_, reply);

    if (OrderQueue::isAccepted(reply)) {
        storeReply(*reply, *context);
        if (row) OrderQueue::markSent(*row, reply, attempt);
        succeeded_ = true;
    } else {
        if (row) OrderQueue::countFailure(*row, attempt);
        std::optional<std::string> refusal;
        if (reply && reply->find("error") != std::string::npos) {
            XmlDocPtr doc = XmlHelper::parse(trim(*reply));
            if (doc) refusal = XmlHelper::getNodeValue(doc.get(), xmlDocGetRootElement(doc.get()), "error");
        }
        Error failure = Utils::getError(refusal.value_or(localized("Unable to send customer, no response received")),
                                        CommHelper::kStoreServerErrorDomain, -1);
        setError(failure);
        TAVLO_LOG("Error Sending Customer '%@' (%@)", request_, failure.localizedDescription());
    }
    Error saveError;
    if (context->hasChanges() && !context->save(&saveError)) {
        TAVLO_LOG_MAIL("Unable to save standard operation response: %@", saveError.localizedDescription());
        if (!error()) setError(saveError);
    }
}

void OperationCustomer::storeReply(const std::string& reply, ObjectContext& context) {
    XmlDocPtr doc = XmlHelper::parse(trim(reply));
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (!root) return;
    for (xmlNodePtr child = root->children; child; child = child->next) {
        if (XmlHelper::isElementNamed(child, "customer")) {
            Customer customer;
            customer.read(child, doc.get());
            customer.setRemoteId(remoteId_);
            customer.write(context);
            return;
        }
        if (child->type != XML_ELEMENT_NODE) continue;
        if (std::optional<std::string> warning = XmlHelper::getNodeValue(doc.get(), root, "warning"))
            TAVLO_LOG("Warning: %@", warning);
    }
}

} // namespace tavlo
