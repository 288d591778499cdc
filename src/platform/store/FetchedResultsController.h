#pragma once

#include "platform/foundation/Error.h"
#include "platform/store/FetchRequest.h"
#include "platform/store/ManagedObject.h"
#include "platform/store/StoredRows.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

class ObjectContext;

// The rows of a list screen: a fetch with sort keys, cut into sections by a key path (objects
// with the same section text in a run form one section; sort by that key path first). Read again
// with performFetch; it follows no changes by itself. With a fetch batch size and no sections it
// holds the rows' ids and reads their objects a batch at a time as they are asked for (a row
// deleted meanwhile answers null); fetchedObjects then reads them all.
//
// A list that shows a few values of many rows names them (setValueKeyPaths): while the context
// has no unsaved changes, performFetch reads those values alone, by column in one statement, and
// no objects (objectAt reads a row's object when it is asked for; null for a row deleted
// meanwhile). A context with unsaved changes fetches the objects, which see them, and takes the
// values from them.
class FetchedResultsController {
public:
    struct Section {
        std::string name; // the key path's value as text ("" for nil); "" without a key path
        size_t first = 0; // the position of its first row among all rows
        size_t count = 0;
        size_t numberOfObjects() const { return count; }
    };

    FetchedResultsController(ObjectContext& context, FetchRequest request,
                             std::optional<std::string> sectionNameKeyPath = std::nullopt);

    // Fetches again; false with `error` when the store fails (the old results are then kept).
    bool performFetch(Error* error = nullptr);

    FetchRequest& fetchRequest() { return request_; }
    const std::optional<std::string>& sectionNameKeyPath() const { return sectionNameKeyPath_; }
    // The key paths (attributes, along to-ones too) whose values the list shows, read with the rows
    // from the next performFetch on.
    void setValueKeyPaths(std::vector<std::string> keyPaths) { valueKeyPaths_ = std::move(keyPaths); }
    // Takes the room of the values table of the list this one replaces, for its next fetch: a list
    // made again for each read fills the same memory instead of taking new memory each time.
    void takeRoom(FetchedResultsController& replaced) { spareValues_ = std::move(replaced.values_); }
    const std::vector<ManagedObjectPtr>& fetchedObjects() const;
    size_t numberOfObjects() const { return objects_.size(); }
    const std::vector<Section>& sections() const;
    // Null when the position is outside the results.
    ManagedObjectPtr objectAt(size_t section, size_t row) const;
    // A row's value of one of the value key paths, as of the fetch (nil outside the results); a
    // key path not among them is read from the row's object.
    Value valueAt(size_t section, size_t row, std::string_view keyPath) const;
    // The (section, row) of an object, nullopt when it is not among the results.
    std::optional<std::pair<size_t, size_t>> indexPathForObject(const ManagedObjectPtr& object) const;

private:
    // Reads the objects not read yet of the rows [from, to).
    void readObjects(size_t from, size_t to) const;
    // The position among all rows of a section's row; nullopt outside the results.
    std::optional<size_t> position(size_t section, size_t row) const;
    // The values of the rows (and their section names) taken from their objects.
    StoredRows valuesOf(const std::vector<ManagedObjectPtr>& objects, const std::vector<std::string>& keyPaths) const;

    ObjectContext& context_;
    FetchRequest request_;
    std::optional<std::string> sectionNameKeyPath_;
    std::vector<std::string> valueKeyPaths_;
    size_t batchSize_ = 0;      // of the last fetch when it read its objects as asked for; 0: read by it
    std::vector<ObjectID> ids_; // the rows of the last fetch that read its objects as asked for
    mutable std::vector<ManagedObjectPtr> objects_; // null until read then
    StoredRows values_;                             // the value key paths' (and the section's) values
    StoredRows spareValues_;                        // the table of the fetch before, filled by the next
    std::vector<Section> sections_;
};

} // namespace tavlo
