#include "platform/store/FetchedResultsController.h"

#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/store/PredicateEvaluation.h"

#include <algorithm>

namespace tavlo {

FetchedResultsController::FetchedResultsController(ObjectContext& context, FetchRequest request,
                                                   std::optional<std::string> sectionNameKeyPath)
    : context_(context), request_(std::move(request)), sectionNameKeyPath_(std::move(sectionNameKeyPath)) {}

bool FetchedResultsController::performFetch(Error* error) {
    std::vector<std::string> keyPaths = valueKeyPaths_;
    if (!keyPaths.empty() && sectionNameKeyPath_ &&
        std::find(keyPaths.begin(), keyPaths.end(), *sectionNameKeyPath_) == keyPaths.end())
        keyPaths.push_back(*sectionNameKeyPath_);
    // Rows read by value stand for the objects only while the file holds what the context sees.
    const bool byValue = !keyPaths.empty() && !context_.hasChanges();
    const size_t batchSize = byValue ? 1 : sectionNameKeyPath_ ? 0 : request_.fetchBatchSize;
    Error failure;
    std::vector<ObjectID> ids;
    std::vector<ManagedObjectPtr> objects;
    // The values are read into the table of the fetch before last, keeping its room.
    StoredRows& values = spareValues_;
    if (byValue) {
        if (values.properties() != keyPaths) values = StoredRows(keyPaths);
        context_.fetchRows(request_, values, &failure);
        const EntityDescription& e = context_.model().requireEntity(request_.entityName);
        ids.reserve(values.size());
        for (size_t row = 0; row < values.size(); ++row) ids.emplace_back(&e, values.key(row));
    } else if (batchSize > 0) {
        ids = context_.fetchObjectIDs(request_, &failure);
        values = StoredRows();
    } else {
        // The values' walk in one read of the file, each row they name read once.
        std::optional<ObjectContext::ReadScope> read;
        if (!keyPaths.empty()) read.emplace(context_, ObjectContext::ReadScope::Hold::Objects);
        objects = context_.fetch(request_, &failure);
        values = keyPaths.empty() || failure.isSet() ? StoredRows() : valuesOf(objects, keyPaths);
    }
    if (failure.isSet()) {
        Error::set(error, failure);
        return false;
    }
    batchSize_ = batchSize;
    ids_ = std::move(ids);
    objects_ = std::move(objects);
    std::swap(values_, spareValues_);
    if (batchSize_ > 0) objects_.resize(ids_.size());
    sections_.clear();
    if (!sectionNameKeyPath_) {
        if (!objects_.empty()) sections_.push_back({"", 0, objects_.size()});
        return true;
    }
    const std::vector<std::string> path = split(*sectionNameKeyPath_, ".");
    for (size_t row = 0; row < objects_.size(); ++row) {
        Value v = values_.properties().empty() ? keyPathValue(*objects_[row], path)
                                               : values_.value(row, values_.column(*sectionNameKeyPath_));
        std::string name = v.isNil() ? std::string() : v.description();
        if (sections_.empty() || sections_.back().name != name) sections_.push_back({name, row, 0});
        ++sections_.back().count;
    }
    return true;
}

StoredRows FetchedResultsController::valuesOf(const std::vector<ManagedObjectPtr>& objects,
                                              const std::vector<std::string>& keyPaths) const {
    // The rows the key paths lead to, read for all the objects at once instead of one by one.
    std::set<std::string> steps;
    for (const std::string& keyPath : keyPaths)
        if (size_t dot = keyPath.rfind('.'); dot != std::string::npos) steps.insert(keyPath.substr(0, dot));
    if (!objects.empty())
        for (const std::string& step : steps) context_.prefetch(objects, step);
    StoredRows values(keyPaths);
    values.reserve(objects.size());
    for (const ManagedObjectPtr& o : objects) {
        values.add(o->objectID().primaryKey(), 0);
        for (const std::string& keyPath : keyPaths) values.addValue(o->value(keyPath));
    }
    return values;
}

void FetchedResultsController::readObjects(size_t from, size_t to) const {
    if (batchSize_ == 0) return;
    for (size_t i = from; i < std::min(to, ids_.size()); ++i)
        if (!objects_[i]) objects_[i] = context_.objectWithID(ids_[i]);
}

const std::vector<ManagedObjectPtr>& FetchedResultsController::fetchedObjects() const {
    readObjects(0, ids_.size());
    return objects_;
}

const std::vector<FetchedResultsController::Section>& FetchedResultsController::sections() const { return sections_; }

std::optional<size_t> FetchedResultsController::position(size_t section, size_t row) const {
    if (section >= sections_.size() || row >= sections_[section].count) return std::nullopt;
    return sections_[section].first + row;
}

ManagedObjectPtr FetchedResultsController::objectAt(size_t section, size_t row) const {
    std::optional<size_t> at = position(section, row);
    if (!at) return nullptr;
    if (batchSize_ > 0 && !objects_[*at]) {
        const size_t first = *at / batchSize_ * batchSize_;
        readObjects(first, first + batchSize_);
    }
    return objects_[*at];
}

Value FetchedResultsController::valueAt(size_t section, size_t row, std::string_view keyPath) const {
    std::optional<size_t> at = position(section, row);
    if (!at) return {};
    const std::vector<std::string>& read = values_.properties();
    if (auto column = std::find(read.begin(), read.end(), keyPath); column != read.end())
        return values_.value(*at, static_cast<size_t>(column - read.begin()));
    ManagedObjectPtr object = objectAt(section, row);
    return object ? object->value(keyPath) : Value();
}

std::optional<std::pair<size_t, size_t>> FetchedResultsController::indexPathForObject(
    const ManagedObjectPtr& object) const {
    if (!object) return std::nullopt;
    size_t at = 0;
    if (batchSize_ > 0) {
        auto found = std::find(ids_.begin(), ids_.end(), object->objectID());
        if (found == ids_.end()) return std::nullopt;
        at = static_cast<size_t>(found - ids_.begin());
    } else {
        auto found = std::find(objects_.begin(), objects_.end(), object);
        if (found == objects_.end()) return std::nullopt;
        at = static_cast<size_t>(found - objects_.begin());
    }
    for (size_t s = 0; s < sections_.size(); ++s)
        if (at < sections_[s].first + sections_[s].count) return std::make_pair(s, at - sections_[s].first);
    return std::nullopt;
}

} // namespace tavlo
