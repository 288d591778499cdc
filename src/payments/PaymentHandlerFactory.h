#pragma once

#include "core/ports/CardBatch.h"
#include "payments/PaymentHandlerAdapter.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tavlo {

class ObjectContext;

// The process-wide table of card gateway handlers by gateway name (any case). A handler is made
// on first use, with the factory's store context, and kept until the factory is given another
// context. The Larch gateway's handler is known from the start under "LARCH".
class PaymentHandlerFactory {
public:
    using Maker = std::function<std::shared_ptr<PaymentHandlerAdapter>(ObjectContext* context)>;

    // The first call makes the factory for the main store context. A later call with another
    // context (the store opened again) lets the handlers of the old one go: the next ones are
    // made with the new context.
    static PaymentHandlerFactory& initWithMOC(ObjectContext* context);
    // Throws InconsistencyError until initWithMOC ran.
    static PaymentHandlerFactory& getInstance();

    // The gateway's handler; null for nil and for a gateway no handler is known for.
    std::shared_ptr<PaymentHandlerAdapter> getPaymentHandler(const std::optional<std::string>& name);
    // Makes `name` (any case) a known gateway: its handler is made by `maker` on first use.
    void registerHandler(const std::string& name, Maker maker);
    // A handler of its own for `context` (a thread's own context), kept by nobody; null as
    // getPaymentHandler.
    std::shared_ptr<PaymentHandlerAdapter> makePaymentHandler(const std::optional<std::string>& name,
                                                              ObjectContext* context);

    ObjectContext* managedObjectContext() const;

    // The card batch of the model (the session's business day) over the factory's handlers; the
    // program installs it at start-up. Its calls need the factory made.
    static std::shared_ptr<CardBatch> cardBatch();

private:
    explicit PaymentHandlerFactory(ObjectContext* context);
    void setContext(ObjectContext* context);

    ObjectContext* context_;
    mutable std::recursive_mutex mutex_;
    std::map<std::string, Maker> makers_;
    std::map<std::string, std::shared_ptr<PaymentHandlerAdapter>> handlers_;
};

} // namespace tavlo
