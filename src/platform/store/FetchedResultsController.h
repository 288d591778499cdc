#pragma once

#include "platform/foundation/Error.h"
#include "platform/store/FetchRequest.h"
#include "platform/store/ManagedObject.h"

#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class ObjectContext;

// The rows of a list screen: a fetch with sort keys, cut into sections by a key path (objects
// with the same section text in a run form one section; sort by that key path first). Read again
// with performFetch; it follows no changes by itself. With a fetch batch size and no sections it
// holds the rows' ids and reads their objects a batch at a time as they are asked for (a row
// deleted meanwhile answers null); fetchedObjects and sections then read them all.
class FetchedResultsController {
public:
    struct Section {
        std::string name; // the key path's value as text ("" for nil); "" without a key path
        std::vector<ManagedObjectPtr> objects;
        size_t numberOfObjects() const { return objects.size(); }
    };

    FetchedResultsController(ObjectContext& context, FetchRequest request,
                             std::optional<std::string> sectionNameKeyPath = std::nullopt);

    // Fetches again; false with `error` when the store fails (the old results are then kept).
    bool performFetch(Error* error = nullptr);

    FetchRequest& fetchRequest() { return request_; }
    const std::optional<std::string>& sectionNameKeyPath() const { return sectionNameKeyPath_; }
    const std::vector<ManagedObjectPtr>& fetchedObjects() const;
    size_t numberOfObjects() const { return objects_.size(); }
    const std::vector<Section>& sections() const;
    // Null when the position is outside the results.
    ManagedObjectPtr objectAt(size_t section, size_t row) const;
    // The (section, row) of an object, nullopt when it is not among the results.
    std::optional<std::pair<size_t, size_t>> indexPathForObject(const ManagedObjectPtr& object) const;

private:
    // Reads the objects not read yet of the rows [from, to).
    void readObjects(size_t from, size_t to) const;

    ObjectContext& context_;
    FetchRequest request_;
    std::optional<std::string> sectionNameKeyPath_;
    size_t batchSize_ = 0;      // of the last fetch; 0: every object read by it
    std::vector<ObjectID> ids_; // the last batched fetch's rows; their objects_ are null until read
    mutable std::vector<ManagedObjectPtr> objects_;
    mutable std::vector<Section> sections_; // made on first use after a batched fetch
};

} // namespace tavlo
