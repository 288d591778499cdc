#pragma once

#include "platform/foundation/Error.h"
#include "platform/foundation/Operation.h"
#include "platform/store/ObjectContext.h"
#include "platform/store/ObjectStore.h"

#include <memory>
#include <mutex>
#include <optional>

namespace tavlo {

// The base of every background operation: the store it works on, the last failure it recorded,
// and a context of its own for each run (changes saved from it win over stored values; the shell
// merges its saves into the main context).
class OperationAdapter : public Operation {
public:
    explicit OperationAdapter(std::shared_ptr<ObjectStore> coordinator = nullptr);

    std::shared_ptr<ObjectStore> coordinator() const;
    void setCoordinator(std::shared_ptr<ObjectStore> coordinator);

    // nil until the operation records a failure.
    std::optional<Error> error() const;
    void setError(std::optional<Error> error);

    // A new context on the coordinator with the overwrite merge policy; null without a coordinator.
    std::unique_ptr<ObjectContext> newContext() const;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<ObjectStore> coordinator_;
    std::optional<Error> error_;
};

} // namespace tavlo
