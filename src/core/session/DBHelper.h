#pragma once

#include "platform/foundation/Error.h"
#include "platform/store/ObjectContext.h"

#include <libxml/tree.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// The one way into the terminal's object store: queries by entity name, and the store and
// terminal parameters that carry all configuration. No state and no cache: every call fetches in
// the caller's context (null answers nil / empty) and leaves saving to the caller. A filter is a
// predicate format with at most one argument; a format without one ignores `param`. Failed
// fetches read as no row.
class DBHelper {
public:
    using Predicates = std::vector<Predicate>;

    // The terminal's one store file, in the data directory (ObjectStore::defaultPath()).
    static std::filesystem::path storePath();
    // The shared store, opened (or created, or brought up to the model) on first use; null with
    // `error` when the file cannot be opened.
    static std::shared_ptr<ObjectStore> sharedStore(Error* error = nullptr);
    // The main thread's context on the shared store, made on first use; null when the store
    // cannot be opened.
    static std::shared_ptr<ObjectContext> mainContext(Error* error = nullptr);
    // Lets go of the shared store and the main context (the next use opens the file again).
    static void closeSharedStore();

    // Queries by entity name.
    static ManagedObjectPtr getObject(std::string_view entity, std::optional<std::string_view> filter,
                                      const PredicateArgument& param, ObjectContext* context);
    static ManagedObjectPtr getObject(std::string_view entity, const Predicates& predicates, ObjectContext* context);
    // Sorted by `sortKey` when one is given; at most `maxRecords` when that is 1 or more.
    static std::vector<ManagedObjectPtr> getObjects(std::string_view entity, std::optional<std::string_view> filter,
                                                    const PredicateArgument& param,
                                                    std::optional<std::string_view> sortKey, bool ascending,
                                                    int64_t maxRecords, ObjectContext* context);
    static std::vector<ManagedObjectPtr> getObjects(std::string_view entity, std::optional<std::string_view> filter,
                                                    const PredicateArgument& param,
                                                    std::optional<std::string_view> sortKey, ObjectContext* context);
    static std::vector<ManagedObjectPtr> getObjects(std::string_view entity, const Predicates& predicates,
                                                    std::optional<std::string_view> sortKey, ObjectContext* context);
    // The largest value of the key path over the entity's stored rows, as `type`; nil when there
    // is none.
    static Value getMaxValue(std::string_view entity, std::string_view keyPath, AttributeType type,
                             ObjectContext* context);
    // Deletes every row of the entity from the context (not saved).
    static void cleanObjects(std::string_view entity, ObjectContext* context);

    // Parameters.
    static std::optional<std::string> getStoreValue(std::string_view name, ObjectContext* context);
    static std::optional<std::string> getTerminalValue(std::string_view name,
                                                       const std::optional<std::string>& terminalId,
                                                       ObjectContext* context);
    // This terminal's value for the name when it has one (not nil), else the store's.
    static std::optional<std::string> getValue(std::string_view name, ObjectContext* context);
    // Sets the store parameter, inserting its row when missing (not saved).
    static void saveStoreParam(std::string_view name, const std::optional<std::string>& value, ObjectContext* context);

    // Stores an order for each `orderSummary` element from `first` through its following siblings,
    // up to the first element of another name (DBHelperOrderSummaries.cpp). Not saved.
    static void saveOrderSummaries(xmlNodePtr first, xmlDocPtr doc, ObjectContext* context);

    // This terminal: the Terminal whose TS_UID parameter holds the device identifier.
    static ManagedObjectPtr getTerminal(const std::optional<std::string>& deviceId, ObjectContext* context);
    static std::optional<std::string> getTerminalId(const std::optional<std::string>& deviceId, ObjectContext* context);
};

} // namespace tavlo
