#pragma once

#include "platform/foundation/Error.h"
#include "platform/store/Model.h"
#include "platform/store/ObjectID.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

namespace tavlo {

class SqlConnection;

struct ObjectStoreOptions {
    // Upper bound of the file's size in bytes (0: none); a save past it fails as a full disk.
    int64_t maxFileBytes = 0;
};

// The store file: one SQLite file (WAL, synchronous=FULL) with a table per entity, named after
// the entity, and a column per attribute and to-one relationship, so that the sqlite3 tool reads
// it. Opening brings an older file up to the model by adding the tables and columns it lacks.
// Contexts (ObjectContext) read and write through it; one ObjectStore per file in a process.
class ObjectStore : public std::enable_shared_from_this<ObjectStore> {
public:
    using Options = ObjectStoreOptions;

    // Opens (creating when missing) the file for the model; null with `error` when the file
    // cannot be opened or brought up to the model. A bad model throws std::invalid_argument.
    static std::shared_ptr<ObjectStore> open(Model model, const std::filesystem::path& file, Error* error,
                                             Options options = {});
    // The store file of the terminal in the documents directory.
    static std::filesystem::path defaultPath();

    ~ObjectStore();

    const Model& model() const { return model_; }
    const std::filesystem::path& path() const { return path_; }
    // Reads the text form of an object id back (ObjectID::uriRepresentation); nullopt when it
    // names no entity of this model.
    std::optional<ObjectID> objectIDForURIRepresentation(std::string_view uri) const;

    // For contexts: a connection to the file (one an ended context gave back, with the
    // statements it prepared, else a new one), and the next key of an entity.
    std::unique_ptr<SqlConnection> connect(Error* error) const;
    // Takes the connection of a context that ends, for the next context to connect: kept while
    // it is idle (no transaction and no statement open) and writable, up to kIdleConnections.
    void giveBack(std::unique_ptr<SqlConnection> connection) const;
    int64_t nextPrimaryKey(const EntityDescription& entity);

private:
    ObjectStore(Model model, std::filesystem::path path, Options options);
    bool migrate(SqlConnection& connection, Error* error);

    Model model_;
    std::filesystem::path path_;
    Options options_;
    int64_t maxPageCount_ = 0;
    std::unique_ptr<std::atomic<int64_t>[]> nextKeys_;
    static constexpr size_t kIdleConnections = 4;
    mutable std::mutex idleLock_; // contexts of any thread connect and give back
    mutable std::vector<std::unique_ptr<SqlConnection>> idle_;
};

} // namespace tavlo
