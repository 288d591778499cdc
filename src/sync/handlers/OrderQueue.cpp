#include "sync/handlers/OrderQueue.h"

#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "sync/exchange/CommHelper.h"
#include "sync/exchange/OrderDocument.h"

namespace tavlo {

ManagedObjectPtr OrderQueue::insert(ObjectContext& context, const std::string& type,
                                    const std::optional<std::string>& remoteId,
                                    const std::optional<std::string>& userId, const std::optional<std::string>& request,
                                    Date created) {
    ManagedObjectPtr row = context.insert(kEntityName);
    row->setValue("userId", userId);
    row->setValue("remoteId", remoteId);
    row->setValue("created", created);
    row->setValue("request", request);
    row->setValue("type", type);
    return row;
}

ManagedObjectPtr OrderQueue::load(ObjectContext& context, const std::string& uri) {
    std::optional<ObjectID> id = context.objectIDForURIRepresentation(uri);
    if (!id || id->entityName() != kEntityName) return nullptr;
    return context.objectWithID(*id);
}

bool OrderQueue::isAccepted(const std::optional<std::string>& reply) {
    return reply && (reply->find("success") != std::string::npos || reply->find("warning") != std::string::npos);
}

void OrderQueue::markSent(ManagedObject& row, const std::optional<std::string>& reply, Date attempt) {
    row.setValue("response", reply);
    row.setValue("sentDate", attempt);
}

void OrderQueue::countFailure(ManagedObject& row, Date attempt) {
    row.setValue("failures", static_cast<int32_t>(row.int32("failures") + 1));
    row.setValue("latestAttempt", attempt);
}

std::optional<std::string> OrderQueue::post(const std::string& url, const std::optional<std::string>& userId,
                                            const std::optional<std::string>& request, int timeoutSeconds,
                                            Error* error) {
    auto& defaults = UserDefaults::standardUserDefaults();
    HttpRequest http = CommHelper::getRequest(url, defaults.stringForKey("store_id"), defaults.stringForKey("password"),
                                              userId, std::nullopt, request, timeoutSeconds);
    return CommHelper::send(http, error);
}

std::optional<std::string> OrderQueue::logExchange(ObjectContext& context, const std::optional<std::string>& request,
                                                   const std::optional<std::string>& reply) {
    std::optional<std::string> logXml = Parameters::text(Parameter::LogXml, &context);
    if (boolValue(logXml)) {
        TAVLO_LOG("Request: %@", request ? std::optional(OrderDocument::forLog(*request)) : std::nullopt);
        TAVLO_LOG("Response: %@", OrderDocument::forLog(trim(reply.value_or(""))));
    }
    return logXml;
}

} // namespace tavlo
