#include "sync/handlers/OperationStoreOpen.h"

#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/UserDefaults.h"
#include "sync/exchange/CommHelper.h"

namespace tavlo {

OperationStoreOpen::OperationStoreOpen(std::optional<std::string> serverId, std::optional<Date> dateOpened,
                                       std::shared_ptr<ObjectStore> coordinator, std::string url)
    : OperationAdapter(std::move(coordinator)), serverId_(std::move(serverId)), dateOpened_(dateOpened),
      url_(std::move(url)) {}

void OperationStoreOpen::main() {
    while (!isCancelled()) {
        if (attempt()) return;
        if (isCancelled()) return;
        Clock::current().sleepFor(kRetryDelay);
    }
}

bool OperationStoreOpen::attempt() {
    ++attempts_;
    auto context = newContext();
    if (!context) return true;
    ManagedObjectPtr day =
        DBHelper::getObject("StoreBatch", {Predicate::format("max(openedOn) == openedOn")}, context.get());
    TAVLO_LOG("Sending open");
    if (!day || day->date("synchedOn")) return true;

    auto& defaults = UserDefaults::standardUserDefaults();
    std::optional<std::string> storeId = defaults.stringForKey("store_id");
    Error sendError;
    std::optional<std::string> terminalId = DBHelper::getTerminalId(IDBroker::deviceIdentifier(), context.get());
    if (CommHelper::openStore(storeId, defaults.stringForKey("password"), serverId_, dateOpened_, terminalId, url_,
                              context.get(), &sendError)) {
        day->setValue("synchedOn", Date::now());
        context->setMergePolicy(ObjectContext::MergePolicy::Overwrite);
        Error saveError;
        if (context->save(&saveError)) {
            setError(std::nullopt);
            return true;
        }
        TAVLO_LOG_MAIL("Unable to save open store operation: %@", saveError.localizedDescription());
        setError(saveError);
        context->rollback();
        return false;
    }
    setError(sendError);
    TAVLO_LOG("Unable to open store %@ , will retry in %d seconds (%@)", storeId, static_cast<int>(kRetryDelay),
              sendError.localizedDescription());
    return false;
}

} // namespace tavlo
