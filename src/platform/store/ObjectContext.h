#pragma once

#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/store/FetchRequest.h"
#include "platform/store/HeldRows.h"
#include "platform/store/ManagedObject.h"
#include "platform/store/ObjectRegistry.h"
#include "platform/store/ObjectStore.h"
#include "platform/store/QueryCompiler.h"
#include "platform/store/RowKeySet.h"
#include "platform/store/StoreError.h"
#include "platform/store/StoredRows.h"

#include <array>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tavlo {

class SqlConnection;
class SqlStatement;
struct CompiledQuery;

// What a save changed: the object of the did-save notification.
struct ObjectContextChanges {
    const ObjectStore* store = nullptr;
    const ObjectContext* context = nullptr;
    std::vector<ObjectID> inserted, updated, deleted;
};

// A scratch pad over the store: the objects it read (one object per row: an identity map) and
// the changes not yet saved. Used only by the thread that made it; any number of contexts share
// one store, each with its own SQLite connection (a context that ends leaves its connection, and
// the statements prepared on it, to the next one made).
//
//   auto store = ObjectStore::open(model, ObjectStore::defaultPath(), &error);
//   ObjectContext context(store);
//   context.setMergePolicy(ObjectContext::MergePolicy::Overwrite);
//   auto param = context.fetchFirst("StoreParam", "name == %@", name);
//   if (!param) { param = context.insert("StoreParam"); param->setValue("name", name); }
//   param->setValue("value", value);
//   if (!context.save(&error)) ...
//   FetchRequest request("Order", Predicate::format("closed == nil && storeBatch.closedOn == nil"),
//                        {{"type"}, {"name"}});
//   for (const ManagedObjectPtr& order : context.fetch(request)) ...
class ObjectContext {
public:
    // Posted on the saving thread after each save; object: ObjectContextChanges, sender: the context.
    static constexpr const char* kDidSaveNotification = "ObjectContextDidSave";

    enum class MergePolicy {
        Error,     // a save over a row changed or deleted by another context since it was read fails
        Overwrite, // this context's changes win, attribute by attribute
    };

    explicit ObjectContext(std::shared_ptr<ObjectStore> store);
    ~ObjectContext();
    ObjectContext(const ObjectContext&) = delete;
    ObjectContext& operator=(const ObjectContext&) = delete;

    const std::shared_ptr<ObjectStore>& store() const { return store_; }
    const Model& model() const { return store_->model(); }
    MergePolicy mergePolicy() const { return mergePolicy_; }
    void setMergePolicy(MergePolicy policy) { mergePolicy_ = policy; }

    // Changes. An unknown entity name throws std::invalid_argument.
    ManagedObjectPtr insert(std::string_view entityName);
    // The same for an entity of this context's model.
    ManagedObjectPtr insert(const EntityDescription& entity);
    // Deletes the object and applies the delete rules (cascade, nullify) of its relationships.
    void deleteObject(const ManagedObjectPtr& object);
    bool hasChanges() const;
    std::vector<ManagedObjectPtr> insertedObjects() const;
    std::vector<ManagedObjectPtr> updatedObjects() const;
    std::vector<ManagedObjectPtr> deletedObjects() const;
    // Holds one read transaction of the file for its life: the fetches inside see one state of
    // the file and take the file's locks once instead of once each. Scopes nest; a save inside
    // ends the transaction first. With Hold::Objects the context also keeps every object it reads
    // inside alive until the outermost scope ends, so that a walk over many rows (a day's orders
    // and what they hold) reads each row once, whoever holds it meanwhile.
    class ReadScope {
    public:
        enum class Hold { Nothing, Objects };
        explicit ReadScope(ObjectContext& context, Hold hold = Hold::Nothing);
        ~ReadScope();
        ReadScope(const ReadScope&) = delete;
        ReadScope& operator=(const ReadScope&) = delete;

    private:
        ObjectContext& context_;
        bool held_ = false;
    };

    // Writes every change in one transaction and posts kDidSaveNotification. On failure answers
    // false with `error`, keeps every change in the context and leaves the file as it was.
    // Inside a held write (beginWrite) it writes what is left, commits and ends the write; on
    // failure the whole write is undone (see beginWrite).
    bool save(Error* error = nullptr);
    // Forgets the unsaved changes: objects return to their stored values, inserts go away. Inside
    // or after a held write: the write is undone and the context forgets every object.
    void rollback();

    // A held write, for a change too large to keep in objects until one save (the store load):
    // beginWrite opens one write transaction of the file, held until save() commits it or
    // rollback() (or the context's end) undoes it. Meanwhile flush() writes the changes so far
    // into it and lets go of the objects no one else holds; they are read again from the file
    // when asked for, and other connections see nothing until the commit (outside a held write,
    // flush is a save). The did-save notification of the commit lists every row written since
    // beginWrite. Undoing a held write (a failed flush or save, a rollback) leaves the file as it
    // was before beginWrite and the objects' stored state wrong: after a failed flush or save
    // inside a held write, every save and flush fails with that error until rollback(), which
    // lets go of every object.
    bool beginWrite(Error* error = nullptr);
    bool flush(Error* error = nullptr);
    bool isWriting() const { return writeHeld_; }
    // Objects inserted, changed or deleted since the last save or flush (not those a flush left
    // for later, see holdInserts).
    size_t changedCount() const { return changed_.size() - carried_; }
    // Rows inserted packed (insertHeld) since the last save or flush.
    size_t heldInsertedCount() const { return heldInserted_; }
    // Whether the entity's inserts are held (holdInserts).
    bool holdsInserts(std::string_view entity) const;
    bool holdsInserts(const EntityDescription& entity) const { return !holding_.empty() && holding_[entity.index()]; }
    // Inside a held write, for a load that inserts many rows of the entity and sets their links
    // later (items, then the sections that list them and the menus that hold those): from now
    // until the write ends, a flush does not write the entity's inserted rows that no one holds
    // but keeps each packed in memory (HeldRows) and lets go of its object; asked for again, the
    // row is unpacked. The save writes each once, as it is then. A read of the file that could
    // see the entity's rows (a fetch of them or over a key path, a count, their list in another
    // row, a prefetch) writes them first, so every read answers as if they were written.
    // `UntilFlush`: each flush writes the rows held so far too, for rows nothing changes later
    // that are many to keep until the save (a load's link rows, see insertHeld).
    enum class Hold { UntilSave, UntilFlush };
    void holdInserts(std::string_view entity, Hold until = Hold::UntilSave);
    // Rows held packed (holdInserts) read and changed without making their objects, for a load
    // that links many of them. A held row is neither an object nor in the file yet.
    bool isHeld(const EntityDescription& entity, int64_t pk) const {
        return holdsInserts(entity) && held_[entity.index()].contains(pk);
    }
    // The key a to-one of a held row holds; nullopt when the row is not held.
    std::optional<int64_t> heldToOne(const EntityDescription& entity, int64_t pk,
                                     const RelationshipDescription& toOne) const;
    // Sets attributes and to-ones of a held row in its packed bytes as its setters would: values
    // made storable, and the list that is a changed to-one's inverse told in each read row it
    // concerns. Each to-one's inverse must be a list its column keeps, or none (another needs the
    // row's object). False, changing nothing, when the row is not held.
    using HeldValue = std::pair<const AttributeDescription*, Value>;
    using HeldLink = std::pair<const RelationshipDescription*, int64_t>;
    bool changeHeld(const EntityDescription& entity, int64_t pk, std::initializer_list<HeldValue> values,
                    std::initializer_list<HeldLink> toOnes);
    // A new row of an entity whose inserts are held, made packed without an object, as an object
    // inserted with these values and to-ones set would be held (changeHeld's rules apply to the
    // parts): for a load's many link rows. Its id; invalid when the held write already failed.
    ObjectID insertHeld(const EntityDescription& entity, std::span<const HeldValue> values,
                        std::span<const HeldLink> toOnes);
    // Adds the members to a list a table of pairs keeps in a held row, as its object's addTo would:
    // the pairs are written at once, as a flush writes those of a row it packs, and a read member
    // whose inverse list is loaded lists the row. False when the row is not held, or the file
    // refused a pair (the held write is then over, as when a flush fails).
    bool addToHeld(const RelationshipDescription& list, int64_t pk, std::span<const int64_t> members);
    // Forgets everything, changes and read objects alike.
    void reset();
    // Applies another context's did-save notification: changed objects are read again (keeping
    // this context's own unsaved changes on top), deleted ones leave the context.
    void mergeChanges(const Notification& didSave);

    // The object for an id (read from the store when not in the context); null when no such row.
    ManagedObjectPtr objectWithID(const ObjectID& id);
    // The same for a row of an entity of this context's model, by its primary key.
    ManagedObjectPtr object(const EntityDescription& entity, int64_t primaryKey) {
        return objectFor(entity, primaryKey);
    }
    std::optional<ObjectID> objectIDForURIRepresentation(std::string_view uri) const {
        return store_->objectIDForURIRepresentation(uri);
    }

    // Fetches see this context's unsaved inserts, changes and deletes. A failure of the file
    // answers empty with `error`; a bad entity, key path or format throws std::invalid_argument.
    std::vector<ManagedObjectPtr> fetch(const FetchRequest& request, Error* error = nullptr);
    ManagedObjectPtr fetchFirst(const FetchRequest& request, Error* error = nullptr);
    // The ids of what fetch would answer, in its order, without reading the rows into objects: a
    // list that shows a few of many rows reads those by id (objectWithID) as it shows them.
    std::vector<ObjectID> fetchObjectIDs(const FetchRequest& request, Error* error = nullptr);
    size_t count(const FetchRequest& request, Error* error = nullptr);

    template <typename... Args>
    std::vector<ManagedObjectPtr> fetch(std::string_view entity, std::string_view format, const Args&... args) {
        return fetch(FetchRequest(std::string(entity), Predicate::format(format, args...)));
    }
    std::vector<ManagedObjectPtr> fetchAll(std::string_view entity) { return fetch(FetchRequest(std::string(entity))); }
    template <typename... Args>
    ManagedObjectPtr fetchFirst(std::string_view entity, std::string_view format, const Args&... args) {
        return fetchFirst(FetchRequest(std::string(entity), Predicate::format(format, args...)));
    }
    template <typename... Args> size_t count(std::string_view entity, std::string_view format, const Args&... args) {
        return count(FetchRequest(std::string(entity), Predicate::format(format, args...)));
    }
    template <typename... Args> bool exists(std::string_view entity, std::string_view format, const Args&... args) {
        return fetchFirst(entity, format, args...) != nullptr;
    }

    // Reads what a key path of relationships ("selections.sides.sideSelection", to-one and
    // to-many steps alike) leads to from many owners (all of one entity) at once: per step one
    // statement per few hundred objects instead of one per object, each list then as toMany
    // would read it and each to-one as toOne would. Answers the objects at the path's end, each
    // once, lists read before and rows already in the context included. The objects on the way
    // stay in the context while someone holds them (a ReadScope with Hold::Objects does). An
    // unknown relationship or owners of more than one entity throw std::invalid_argument.
    std::vector<ManagedObjectPtr> prefetch(const std::vector<ManagedObjectPtr>& owners, std::string_view keyPath);

    // Stored rows as a table of the named properties (see StoredRows) instead of objects: for a
    // reader of many rows that wants a few of their values (a day's figures). They are read from
    // the file alone, without this context's unsaved changes (a reader with changes pending
    // fetches objects), and leave no objects in the context. An unknown property, or one that is
    // not an attribute or to-one (at the end of a path of to-ones), throws std::invalid_argument;
    // a statement that cannot be made, or a failed fetch, answers the rows read before it with
    // `error`.
    //
    // The rows the request matches, in its order.
    StoredRows fetchRows(const FetchRequest& request, const std::vector<std::string>& properties,
                         Error* error = nullptr);
    // The same into `rows`, of the properties it was made with, emptied first: a list that reads
    // its rows again and again keeps the table's room instead of making it anew each time.
    void fetchRows(const FetchRequest& request, StoredRows& rows, Error* error = nullptr);
    // The members of the to-many `relationship` (kept by its members' column) of the owners with
    // these keys, by owner then by key, with their owner's key: one statement per run of owners
    // or per few hundred of them, as prefetch reads.
    StoredRows fetchMembers(std::string_view entity, std::string_view relationship, const std::vector<int64_t>& owners,
                            const std::vector<std::string>& properties, Error* error = nullptr);
    // The rows of the entity with these keys, by key.
    StoredRows fetchRows(std::string_view entity, const std::vector<int64_t>& keys,
                         const std::vector<std::string>& properties, Error* error = nullptr);

    // The statements this context keeps prepared for its fetches and reads (a figure for tests).
    size_t preparedStatements() const;

    // The largest value of a key path over the entity's stored rows, computed by the store (saved
    // rows only); nil when the entity has no row with a value, or on failure (with `error`).
    Value max(std::string_view entity, std::string_view keyPath, Error* error = nullptr);
    // Deletes every object of the entity (delete rules apply); saving is the caller's. Stored rows
    // this context has not changed are deleted by key, without being read into objects: their
    // delete rules run over the keys and the link columns, read objects among them are marked
    // deleted, fetches no longer see them, and the save deletes them and lists them as deleted in
    // kDidSaveNotification (rows they left behind with a link set nil as updated). They go whatever
    // another context changed in them meanwhile (no merge conflict); rows another context saves
    // meanwhile stay. The keys they free serve this context's next inserts of the entity, so a
    // store emptied and filled again keeps its keys (and its file) the same size. A failure of the
    // file sets `error` and may leave the delete half done in the context (rollback undoes it).
    void deleteAll(std::string_view entity, Error* error = nullptr);

private:
    friend class ManagedObject;
    struct QueryCacheEntry {
        CompiledQuery query;
        SqlStatement* statement = nullptr;
        std::vector<AttributeType> types; // Answer::Values: how each property's column reads
    };
    enum class EntityStatement { ByKey, Insert, Delete };
    static constexpr size_t kEntityStatements = 3;

    SqlConnection* connection(Error* error);
    void closeConnection();
    void endRead();
    SqlStatement* entityStatement(EntityStatement kind, const EntityDescription& entity, Error* error);
    ManagedObject* registered(const EntityDescription& entity, int64_t pk) const;
    ManagedObjectPtr registeredPtr(const EntityDescription& entity, int64_t pk) const;
    ManagedObjectPtr objectFor(const EntityDescription& entity, int64_t pk);
    ManagedObjectPtr objectFromRow(const EntityDescription& entity, SqlStatement& row);
    static void readRow(const EntityDescription& entity, SqlStatement& row, std::vector<Value>& values,
                        std::vector<int64_t>& toOnes, int64_t& version);
    void registerObject(const ManagedObjectPtr& object);
    void unregister(const ManagedObject& object);
    void noteChanged(ManagedObject& object);
    void forgetChanged(ManagedObject& object);
    // The index of changed objects by the row their to-ones name (see changedByLink_).
    static bool listsInverse(const RelationshipDescription& toOne);
    void indexLinks(ManagedObject& object);
    void unindexLinks(ManagedObject& object);
    void linkMoved(ManagedObject& object, const RelationshipDescription& toOne, int64_t from, int64_t to);
    void detach(ManagedObject& object);
    void dropToManyCaches();
    static void dropToManyCaches(ManagedObject& object);
    // `read` (when given) keeps the objects read from the file alive for the caller, who would
    // otherwise read each again by its key.
    void loadToMany(const ManagedObject& owner, const RelationshipDescription& r,
                    std::vector<ManagedObjectPtr>* read = nullptr);
    // A list's members as this context sees them beyond the stored ones; the list is then loaded.
    void addUnsavedMembers(ManagedObject::ToMany& st, const RelationshipDescription& r, int64_t owner);
    enum class KeySet { One, List, Range }; // what a statement by keys takes: a key, kPrefetchOwners of them, a range
    static std::string keyCondition(const std::string& column, KeySet keys);
    // The SELECT of a to-many's members by their owner, prepared once per relationship and key
    // set; by more than one owner at once, the owner's key last in each row.
    SqlStatement* toManyStatement(const RelationshipDescription& r, KeySet keys);
    static constexpr size_t kPrefetchOwners = 200;
    void readByKeys(const std::vector<int64_t>& keys, const std::function<SqlStatement*(KeySet)>& statement,
                    const std::function<void(SqlStatement&)>& each);
    // One step of prefetch: a to-many's members, or the targets of a to-one read by their keys.
    std::vector<ManagedObjectPtr> prefetchMembers(const std::vector<ManagedObjectPtr>& owners,
                                                  const RelationshipDescription& r);
    std::vector<ManagedObjectPtr> prefetchTargets(const std::vector<ManagedObjectPtr>& owners,
                                                  const RelationshipDescription& r);
    // The SELECT of an entity's rows by their keys, prepared once per entity and key set.
    SqlStatement* byKeysStatement(const EntityDescription& entity, KeySet keys);
    // fetchMembers and fetchRows by keys (ObjectContextRows.cpp): the rows whose `column` holds one
    // of `keys`, the column's value last in each row.
    StoredRows rowsByColumn(const EntityDescription& entity, const std::string& column, std::vector<int64_t> keys,
                            const std::vector<std::string>& properties, Error* error);
    // Keeps an object read inside a holding ReadScope.
    void holdRead(const ManagedObjectPtr& object) {
        if (holdingReads_) heldReads_.push_back(object);
    }
    bool isDoomed(const EntityDescription& entity, int64_t pk) const;
    bool isWholeDoomed(const EntityDescription& entity) const {
        return !wholeDoomed_.empty() && wholeDoomed_[entity.index()];
    }

    // The key of a new row of the entity.
    int64_t newPrimaryKey(const EntityDescription& entity);
    // Binds a row to the entity's INSERT: its key, its values (texts in place: they must outlive
    // the step), its to-ones.
    static void bindInsert(SqlStatement& statement, const EntityDescription& entity, int64_t pk,
                           const std::vector<Value>& values, const std::vector<int64_t>& toOnes);
    // Binds the keys of the entity's to-ones (0: none) from the parameter `first` on.
    static void bindToOnes(SqlStatement& statement, const EntityDescription& entity, int first,
                           const std::vector<int64_t>& toOnes);
    // Binds a held row's packed bytes to the entity's INSERT, as bindInsert binds an unpacked one
    // (texts and bytes in place: they stay until the rows are drained).
    static void bindHeld(SqlStatement& statement, const EntityDescription& entity, int64_t pk, HeldRows::Packed& row);

    // Held inserts (ObjectContextHeldRows.cpp).
    // Refuses parts that are not the entity's own attributes and to-ones, and a to-one whose
    // inverse needs the row's object (changeHeld, insertHeld).
    static void checkRowParts(const EntityDescription& entity, std::span<const HeldValue> values,
                              std::span<const HeldLink> toOnes);
    // Tells the read row a to-one of `pk` left (`from`) and the one it now names (`to`), as the
    // to-one's setter does for an inverse list its column keeps.
    void tellInverse(const RelationshipDescription& toOne, int64_t pk, int64_t from, int64_t to);
    // The object of a held row, unpacked and taken out of the held rows (null when none is held).
    ManagedObjectPtr unpackHeld(const EntityDescription& entity, int64_t pk);
    // Writes the held rows into the held write (at a flush, only those held until it) and lists
    // them in `changes`.
    bool writeHeldRows(ObjectContextChanges& changes, Error* error, bool atFlush = false);
    // Before a read of the file: writes the held rows when the read could see them (it reads the
    // entity's table, or other tables too: `ownTableOnly` false). A failure ends the held write as
    // a failed flush does.
    void writeHeldRowsBefore(const EntityDescription& entity, bool ownTableOnly);
    static bool readsOwnTableOnly(const FetchRequest& request);

    // Deletes by key (ObjectContextDeleteAll.cpp).
    struct NullifiedLink {
        const RelationshipDescription* link; // a to-one of the row's entity
        int64_t row, target;
    };
    void doomRows(const EntityDescription& entity, std::vector<int64_t> keys, Error* error);
    bool scanLinks(const EntityDescription& entity, const std::string& column,
                   const std::function<void(int64_t row, int64_t target)>& each, Error* error);
    void applyNullifiedLinks();
    bool writeDoomedRows(ObjectContextChanges& changes, Error* error);
    bool linkCleanups(const EntityDescription& entity, bool whole, std::vector<SqlStatement*>& statements,
                      Error* error);
    bool deleteRowLinks(const EntityDescription& entity, int64_t pk, Error* error);
    const std::vector<const RelationshipDescription*>& incomingToOnes(const EntityDescription& entity);
    void forgetDoomed(bool restore);

    std::vector<ManagedObjectPtr> fetchObjects(const FetchRequest& request, bool countOnly, bool first, size_t* count,
                                               Error* error);
    static const AttributeDescription* equalityConjunct(const EntityDescription& entity, const Predicate& predicate,
                                                        const PredicateNode& node, Value& value);
    static void sortObjects(std::vector<ManagedObjectPtr>& objects, const std::vector<SortDescriptor>& sorts);
    std::vector<Value> aggregateValues(const EntityDescription& entity, const Predicate& predicate, Error* error,
                                       bool& ok);
    QueryCacheEntry* compiled(const EntityDescription& entity, const FetchRequest& request,
                              QueryCompiler::Answer answer, bool limited, Error* error,
                              const std::vector<std::string>& properties = {});
    bool runQuery(QueryCacheEntry& entry, const Predicate* predicate, const std::vector<Value>& aggregates,
                  int64_t limit, const std::function<void(SqlStatement&)>& onRow, Error* error);
    // What writeChanges did with an inserted row of a held entity at a flush (in place of its version).
    static constexpr int64_t kPackedRow = -1; // packed into held_ (no one else held it)
    static constexpr int64_t kKeptRow = -2;   // left unwritten and changed (someone holds it)
    bool writeChanges(std::vector<int64_t>& versions, bool flushing, Error* error);
    // Writes the pending changes into the open transaction (the versions of the rows after it);
    // false with `error` when the file refused them. markSaved then takes them as stored and
    // lists them in `changes`. A flush keeps held entities' inserted rows back (holdInserts); a
    // save writes them and the held rows.
    bool writePending(ObjectContextChanges& changes, std::vector<int64_t>& versions, bool flushing, Error* error);
    void markSaved(const std::vector<int64_t>& versions, ObjectContextChanges& changes);
    // Ends a held write: commits it or undoes it (the context then forgets every object).
    bool endWrite(bool commit, Error* error);
    bool writeJoinChanges(ManagedObject& object, Error* error);
    // The statements that add a pair of the list's table, remove one, and list the other ends of
    // an owner's pairs (prepared once); null when the file refused one.
    enum JoinStatement { AddPair, RemovePair, PairedKeys, kJoinStatements };
    std::array<SqlStatement*, kJoinStatements>* joinStatements(const RelationshipDescription& list, Error* error);
    // Adds to a list of pairs read from the file the members whose pairs are stored but whose
    // rows are not: rows of a held entity unpacked into new objects.
    void addUnpackedMembers(ManagedObject::ToMany& list, const RelationshipDescription& r, int64_t owner);
    // The UPDATE of the object's changed columns (prepared once per entity, form and set of
    // them): checked against the version read (under "error"), answering the new version, or
    // plain (inside a held write, where the version is counted on).
    enum class UpdateForm : char { Checked = 1, Returning, Plain };
    SqlStatement* updateStatement(const ManagedObject& object, UpdateForm form, Error* error);

    std::shared_ptr<ObjectStore> store_;
    std::unique_ptr<SqlConnection> connection_;
    int readScopes_ = 0;
    bool readOpen_ = false; // a ReadScope's transaction is open on connection_
    int holdingReads_ = 0;  // ReadScopes with Hold::Objects open
    std::vector<ManagedObjectPtr> heldReads_;
    MergePolicy mergePolicy_ = MergePolicy::Error;
    ObjectRegistry registered_;
    std::vector<ManagedObjectPtr> changed_; // keeps changed objects alive until save or rollback
    std::vector<std::vector<ManagedObject*>> changedByEntity_;
    // Changed objects by the key their to-one holds, for each to-one whose inverse to-many is
    // kept by it: a member list is read with the changed members of its owner alone, not a walk
    // over every changed object of the entity for each owner. Per relationship: key -> objects.
    std::unordered_map<const RelationshipDescription*, std::unordered_map<int64_t, std::vector<ManagedObject*>>>
        changedByLink_;
    std::vector<std::array<SqlStatement*, kEntityStatements>> entityStatements_;
    std::unordered_map<const RelationshipDescription*, std::array<SqlStatement*, 3>> toManyStatements_; // by KeySet
    std::unordered_map<const EntityDescription*, std::array<SqlStatement*, 2>> byKeysStatements_;       // list, range
    std::unordered_map<const RelationshipDescription*, std::array<SqlStatement*, kJoinStatements>> joinStatements_;
    std::unordered_map<std::string, SqlStatement*> updateStatements_;    // by updateStatement's key
    std::vector<std::optional<std::vector<SqlStatement*>>> rowCleanups_; // per entity: what goes with a deleted row
    // Stored rows deleted by key (deleteAll and its delete rules) and not read into changed objects.
    std::vector<RowKeySet> doomed_; // per entity
    size_t doomedCount_ = 0;
    // Per entity: deleteAll doomed every row its table held, inside a held write (no other writer):
    // a walk over the table's rows would find only doomed rows.
    std::vector<bool> wholeDoomed_;
    std::vector<std::vector<int64_t>> freeKeys_;  // per entity: doomed keys for new rows, smallest last
    std::vector<ManagedObjectPtr> doomedObjects_; // read objects among the doomed rows
    std::vector<NullifiedLink> nullified_;        // links of unread rows to doomed rows, set nil on read
    std::vector<std::vector<const RelationshipDescription*>> incoming_; // per entity: to-ones that target it
    std::unordered_map<std::string, std::unique_ptr<QueryCacheEntry>> queries_;
    // rowsByColumn's statements by entity, column and properties: per key set (list, range).
    struct RowsStatement {
        std::array<SqlStatement*, 2> byKeySet{};
        std::vector<AttributeType> types;
    };
    std::unordered_map<std::string, RowsStatement> rowsStatements_;
    bool writeHeld_ = false;            // a held write's transaction is open (beginWrite)
    std::optional<Error> writeFailure_; // a held write was undone by a failure: saves fail so
    ObjectContextChanges flushed_;      // the rows flushed since beginWrite, for the commit's notification
    std::vector<bool> holding_;         // per entity: its inserts are held (holdInserts)
    std::vector<bool> heldUntilFlush_;  // per entity: and written at each flush
    std::vector<HeldRows> held_;        // per entity: its held rows
    size_t carried_ = 0;                // inserts a flush left unwritten in changed_ (someone held them)
    size_t heldInserted_ = 0;           // rows insertHeld packed since the last save or flush
};

} // namespace tavlo
