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
    Error failure;
    const size_t batchSize = sectionNameKeyPath_ ? 0 : request_.fetchBatchSize;
    std::vector<ObjectID> ids;
    std::vector<ManagedObjectPtr> objects;
    if (batchSize > 0) ids = context_.fetchObjectIDs(request_, &failure);
    else objects = context_.fetch(request_, &failure);
    if (failure.isSet()) {
        Error::set(error, failure);
        return false;
    }
    batchSize_ = batchSize;
    ids_ = std::move(ids);
    objects_ = std::move(objects);
    sections_.clear();
    if (batchSize_ > 0) {
        objects_.resize(ids_.size());
        return true;
    }
    std::vector<std::string> path;
    if (sectionNameKeyPath_) path = split(*sectionNameKeyPath_, ".");
    for (const ManagedObjectPtr& o : objects_) {
        std::string name;
        if (!path.empty()) {
            Value v = keyPathValue(*o, path);
            if (!v.isNil()) name = v.description();
        }
        if (sections_.empty() || sections_.back().name != name) sections_.push_back({name, {}});
        sections_.back().objects.push_back(o);
    }
    return true;
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

const std::vector<FetchedResultsController::Section>& FetchedResultsController::sections() const {
    if (batchSize_ > 0 && sections_.empty() && !ids_.empty()) sections_.push_back({"", fetchedObjects()});
    return sections_;
}

ManagedObjectPtr FetchedResultsController::objectAt(size_t section, size_t row) const {
    if (batchSize_ > 0) {
        if (section != 0 || row >= objects_.size()) return nullptr;
        if (!objects_[row]) {
            const size_t first = row / batchSize_ * batchSize_;
            readObjects(first, first + batchSize_);
        }
        return objects_[row];
    }
    if (section >= sections_.size() || row >= sections_[section].objects.size()) return nullptr;
    return sections_[section].objects[row];
}

std::optional<std::pair<size_t, size_t>> FetchedResultsController::indexPathForObject(
    const ManagedObjectPtr& object) const {
    if (batchSize_ > 0) {
        if (!object) return std::nullopt;
        auto at = std::find(ids_.begin(), ids_.end(), object->objectID());
        if (at == ids_.end()) return std::nullopt;
        return std::make_pair(size_t{0}, static_cast<size_t>(at - ids_.begin()));
    }
    for (size_t s = 0; s < sections_.size(); ++s)
        for (size_t r = 0; r < sections_[s].objects.size(); ++r)
            if (sections_[s].objects[r] == object) return std::make_pair(s, r);
    return std::nullopt;
}

} // namespace tavlo
