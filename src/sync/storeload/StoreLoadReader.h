#pragma once

#include "platform/store/ObjectContext.h"
#include "sync/storeload/StoreLoadIndex.h"
#include "xml/XmlFields.h"

#include <libxml/tree.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// What the readers of one store-data reply share: the reply's document, the load's context, the
// index of the rows they look up, and the walk over the reply's runs.
//
// Runs: a reader starts at the first element of a run of sibling elements with its name and
// reads each in turn up to the first element of another name, which it returns (null at the
// end). Text and comments between elements are passed over. The reply is read as a stream
// (XmlChildStream): next() on the element the stream gave last reads the one after it and frees
// it, so a reader must not use an element of the reply's root once it has moved past it.
class StoreLoadReader {
public:
    StoreLoadReader(xmlDocPtr doc, ObjectContext& context) : doc_(doc), context_(context), index_(context) {}
    StoreLoadReader(const StoreLoadReader&) = delete;
    StoreLoadReader& operator=(const StoreLoadReader&) = delete;

    xmlDocPtr doc() const { return doc_; }
    ObjectContext& context() const { return context_; }
    StoreLoadIndex& index() { return index_; }

    // ---- walking the reply ----

    // The next element after the node (null at the end); see Runs above. The values of an element
    // read through XmlFields, and so do the runs of its children.
    static xmlNodePtr next(xmlNodePtr node);
    static bool isNamed(xmlNodePtr node, std::string_view name);

    // ---- rows ----

    // The row of a run element: looked up by the element's attribute "id" under `idAttribute` and
    // inserted with it when missing. Null, with a log line, for an element without an id.
    ManagedObjectPtr rowFor(xmlNodePtr element, std::string_view entity, std::string_view idAttribute,
                            bool* inserted = nullptr);
    // The id of a run element whose row is to be new and held packed: the context holds the
    // entity's inserts and no row has the id yet (StoreLoadIndex::insertHeld then inserts it).
    // Nullopt for any other element, which rowFor reads.
    std::optional<std::string> newHeldRowId(xmlNodePtr element, const EntityDescription& entity,
                                            std::string_view idAttribute);
    // A link list: members of the owner's to-many whose `targetId` the ids do not list leave it
    // (and are deleted when `deleteDropped`); then each listed row found by `targetId` joins it,
    // in order; `missing` hears each id that names no row.
    void associate(const ManagedObjectPtr& owner, std::string_view relation, std::string_view targetEntity,
                   std::string_view targetId, const std::vector<std::string>& ids, bool deleteDropped,
                   const std::function<void(const std::string& id)>& missing);

    // Deletes the entity's rows whose id the parent's consecutive `idField` children do not list
    // (every row when it lists none).
    void removeObjectsNotReceived(xmlNodePtr parent, std::string_view entity, std::string_view idField);
    // The first failure of a flush of the load's held write (a full disk), if one failed; the
    // load then fails, and nothing of it is kept.
    const std::optional<Error>& flushFailure() const { return flushFailure_; }

    // Names of preparations, groups, recipes and items: " " for none, the first 31 characters of
    // one of 33 or more.
    static std::string shortName(const std::optional<std::string>& name);

private:
    // Inside a held write of the context, writes the rows read so far once they are many, so
    // that they need not stand in memory until the save.
    void flushWhenDue();

    xmlDocPtr doc_;
    ObjectContext& context_;
    StoreLoadIndex index_;
    std::optional<Error> flushFailure_;
};

} // namespace tavlo
