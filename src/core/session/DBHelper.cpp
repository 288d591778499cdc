#include "core/session/DBHelper.h"

#include "core/session/IDBroker.h"
#include "core/session/LocalStoreModel.h"
#include "core/session/Parameters.h"
#include "platform/foundation/Directories.h"

#include <mutex>

namespace tavlo {

namespace {

std::mutex sharedMutex;
std::shared_ptr<ObjectStore> sharedStoreInstance;
std::shared_ptr<ObjectContext> mainContextInstance;

std::optional<Predicate> filterPredicate(std::optional<std::string_view> filter, const PredicateArgument& param) {
    if (!filter) return std::nullopt;
    if (Predicate::argumentCount(*filter) == 0) return Predicate::withArguments(*filter, {});
    return Predicate::withArguments(*filter, {param});
}

std::vector<SortDescriptor> sortBy(std::optional<std::string_view> key, bool ascending) {
    if (!key) return {};
    return {SortDescriptor{std::string(*key), ascending}};
}

std::optional<std::string> textOf(const ManagedObjectPtr& row, std::string_view key) {
    return row ? row->text(key) : std::nullopt;
}

} // namespace

std::filesystem::path DBHelper::storePath() { return ObjectStore::defaultPath(); }

std::shared_ptr<ObjectStore> DBHelper::sharedStore(Error* error) {
    std::lock_guard lock(sharedMutex);
    if (!sharedStoreInstance) sharedStoreInstance = ObjectStore::open(LocalStoreModel::build(), storePath(), error);
    return sharedStoreInstance;
}

std::shared_ptr<ObjectContext> DBHelper::mainContext(Error* error) {
    std::shared_ptr<ObjectStore> store = sharedStore(error);
    if (!store) return nullptr;
    std::lock_guard lock(sharedMutex);
    if (!mainContextInstance) mainContextInstance = std::make_shared<ObjectContext>(store);
    return mainContextInstance;
}

void DBHelper::closeSharedStore() {
    std::lock_guard lock(sharedMutex);
    mainContextInstance.reset();
    sharedStoreInstance.reset();
}

ManagedObjectPtr DBHelper::getObject(std::string_view entity, std::optional<std::string_view> filter,
                                     const PredicateArgument& param, ObjectContext* context) {
    if (!context) return nullptr;
    return context->fetchFirst(FetchRequest(std::string(entity), filterPredicate(filter, param)));
}

ManagedObjectPtr DBHelper::getObject(std::string_view entity, const Predicates& predicates, ObjectContext* context) {
    if (!context) return nullptr;
    return context->fetchFirst(FetchRequest(std::string(entity), Predicate::andPredicates(predicates)));
}

std::vector<ManagedObjectPtr> DBHelper::getObjects(std::string_view entity, std::optional<std::string_view> filter,
                                                   const PredicateArgument& param,
                                                   std::optional<std::string_view> sortKey, bool ascending,
                                                   int64_t maxRecords, ObjectContext* context) {
    if (!context) return {};
    return context->fetch(FetchRequest(std::string(entity), filterPredicate(filter, param), sortBy(sortKey, ascending),
                                       maxRecords > 0 ? maxRecords : 0));
}

std::vector<ManagedObjectPtr> DBHelper::getObjects(std::string_view entity, std::optional<std::string_view> filter,
                                                   const PredicateArgument& param,
                                                   std::optional<std::string_view> sortKey, ObjectContext* context) {
    return getObjects(entity, filter, param, sortKey, true, 0, context);
}

std::vector<ManagedObjectPtr> DBHelper::getObjects(std::string_view entity, const Predicates& predicates,
                                                   std::optional<std::string_view> sortKey, ObjectContext* context) {
    if (!context) return {};
    return context->fetch(
        FetchRequest(std::string(entity), Predicate::andPredicates(predicates), sortBy(sortKey, true)));
}

Value DBHelper::getMaxValue(std::string_view entity, std::string_view keyPath, AttributeType type,
                            ObjectContext* context) {
    if (!context) return {};
    Value max = context->max(entity, keyPath);
    if (max.isNil()) return max;
    switch (type) {
    case AttributeType::Int16:
    case AttributeType::Int32:
    case AttributeType::Int64: return max.integer();
    case AttributeType::Boolean: return max.boolean();
    case AttributeType::Double:
    case AttributeType::Decimal: return max.real();
    default: return max;
    }
}

void DBHelper::cleanObjects(std::string_view entity, ObjectContext* context) {
    if (context) context->deleteAll(entity);
}

std::optional<std::string> DBHelper::getStoreValue(std::string_view name, ObjectContext* context) {
    return textOf(getObject("StoreParam", "name == %@", name, context), "value");
}

std::optional<std::string> DBHelper::getTerminalValue(std::string_view name,
                                                      const std::optional<std::string>& terminalId,
                                                      ObjectContext* context) {
    // No terminal has no values (a nil id would match rows that belong to no terminal).
    if (!context || !terminalId) return std::nullopt;
    return textOf(context->fetchFirst("TerminalParam", "name == %@ && terminal.terminalId == %@", name, terminalId),
                  "value");
}

std::optional<std::string> DBHelper::getValue(std::string_view name, ObjectContext* context) {
    if (!context) return std::nullopt;
    ObjectContext::ReadScope read(*context); // three fetches, one lock of the file
    std::optional<std::string> terminalId = getTerminalId(IDBroker::deviceIdentifier(), context);
    if (std::optional<std::string> value = getTerminalValue(name, terminalId, context)) return value;
    return getStoreValue(name, context);
}

void DBHelper::saveStoreParam(std::string_view name, const std::optional<std::string>& value, ObjectContext* context) {
    if (!context) return;
    ManagedObjectPtr row = getObject("StoreParam", "(name == %@)", name, context);
    if (!row) {
        row = context->insert("StoreParam");
        row->setValue("name", name);
    }
    row->setValue("value", value);
}

ManagedObjectPtr DBHelper::getTerminal(const std::optional<std::string>& deviceId, ObjectContext* context) {
    if (!context || !deviceId) return nullptr;
    // A row whose terminal was deleted binds nothing (the server may have moved the device).
    ManagedObjectPtr param = context->fetchFirst("TerminalParam", "name == %@ && value == %@ && terminal != nil",
                                                 Parameters::name(Parameter::TerminalDevice), deviceId);
    return param ? param->toOne("terminal") : nullptr;
}

std::optional<std::string> DBHelper::getTerminalId(const std::optional<std::string>& deviceId, ObjectContext* context) {
    return textOf(getTerminal(deviceId, context), "terminalId");
}

} // namespace tavlo
