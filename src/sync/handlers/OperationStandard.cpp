#include "sync/handlers/OperationStandard.h"

#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/Text.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderQueue.h"

namespace tavlo {

OperationStandard::OperationStandard(const ObjectID& row, std::shared_ptr<ObjectStore> coordinator, std::string url)
    : OperationAdapter(std::move(coordinator)), objectURI_(row.uriRepresentation()), url_(std::move(url)) {}

void OperationStandard::main() {
    Date attempt = Date::now();
    auto context = newContext();
    if (!context) return;
    int timeout = CommHelper::timeout(Parameter::SocketConnectTimeout, context.get());
    ManagedObjectPtr row = OrderQueue::load(*context, objectURI_);
    if (!row) {
        // Cleaned up meanwhile: nothing left to post.
        TAVLO_LOG("Queue row %@ is gone", objectURI_);
        return;
    }
    std::optional<std::string> request = row->text("request");
    Error exchangeError;
    std::optional<std::string> reply = OrderQueue::post(url_, row->text("userId"), request, timeout, &exchangeError);
    if (exchangeError.isSet()) setError(exchangeError);
    std::optional<std::string> logXml = OrderQueue::logExchange(*context, request, reply);

    if (OrderQueue::isAccepted(reply)) {
        if (reply->find("warning") != std::string::npos && !logXml) TAVLO_LOG("Warning: %@", reply);
        OrderQueue::markSent(*row, reply, attempt);
    } else {
        OrderQueue::countFailure(*row, attempt);
        std::optional<Error> kept = error();
        TAVLO_LOG("Error Sending %@ '%@' (%@)", row->text("type"), objectURI_,
                  kept ? kept->localizedDescription() : trim(reply.value_or("")));
    }
    Error saveError;
    if (!context->save(&saveError)) {
        TAVLO_LOG_MAIL("Unable to save standard operation response: %@", saveError.localizedDescription());
        if (!error()) setError(saveError);
    }
}

} // namespace tavlo
