#include "platform/store/FetchedResultsController.h"

#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/store/PredicateEvaluation.h"

namespace tavlo {

FetchedResultsController::FetchedResultsController(ObjectContext& context, FetchRequest request,
                                                   std::optional<std::string> sectionNameKeyPath)
    : context_(context), request_(std::move(request)), sectionNameKeyPath_(std::move(sectionNameKeyPath)) {}

bool FetchedResultsController::performFetch(Error* error) {
    Error failure;
    std::vector<ManagedObjectPtr> objects = context_.fetch(request_, &failure);
    if (failure.isSet()) {
        Error::set(error, failure);
        return false;
    }
    objects_ = std::move(objects);
    sections_.clear();
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

ManagedObjectPtr FetchedResultsController::objectAt(size_t section, size_t row) const {
    if (section >= sections_.size() || row >= sections_[section].objects.size()) return nullptr;
    return sections_[section].objects[row];
}

std::optional<std::pair<size_t, size_t>> FetchedResultsController::indexPathForObject(const ManagedObjectPtr& object) const {
    for (size_t s = 0; s < sections_.size(); ++s)
        for (size_t r = 0; r < sections_[s].objects.size(); ++r)
            if (sections_[s].objects[r] == object) return std::make_pair(s, r);
    return std::nullopt;
}

} // namespace tavlo
