#include "sync/handlers/OperationAdapter.h"

namespace tavlo {

OperationAdapter::OperationAdapter(std::shared_ptr<ObjectStore> coordinator) : coordinator_(std::move(coordinator)) {}

std::shared_ptr<ObjectStore> OperationAdapter::coordinator() const {
    std::lock_guard lock(mutex_);
    return coordinator_;
}

void OperationAdapter::setCoordinator(std::shared_ptr<ObjectStore> coordinator) {
    std::lock_guard lock(mutex_);
    coordinator_ = std::move(coordinator);
}

std::optional<Error> OperationAdapter::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void OperationAdapter::setError(std::optional<Error> error) {
    std::lock_guard lock(mutex_);
    error_ = std::move(error);
}

std::unique_ptr<ObjectContext> OperationAdapter::newContext() const {
    std::shared_ptr<ObjectStore> store = coordinator();
    if (!store) return nullptr;
    auto context = std::make_unique<ObjectContext>(std::move(store));
    context->setMergePolicy(ObjectContext::MergePolicy::Overwrite);
    return context;
}

} // namespace tavlo
