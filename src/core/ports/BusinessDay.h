#pragma once

#include "core/ports/Port.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"

#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class ObjectContext;

// The store's business day as the session opens and closes it. The sync layer implements it: the
// order handler records the open and the close and reports them to the store server, the
// background handlers stand still while the day closes, and the server lists the day's payments
// for the card batch's settlement. Main thread.
class BusinessDay : public Port<BusinessDay> {
public:
    static constexpr const char* kClassName = "BusinessDay";

    virtual ~BusinessDay() = default;
    // False with `error` when the day could not be opened; an error with a true answer is a
    // warning (the day was open already).
    virtual bool openStore(const std::optional<std::string>& userId, Date date, ObjectContext* context,
                           Error* error) = 0;
    // A lite terminal's checks before the close: the order handler paused, the day still open,
    // nothing left to send, no order left open.
    virtual bool canClose(ObjectContext* context, Error* error) = 0;
    virtual bool closeStore(const std::optional<std::string>& userId, Date date, ObjectContext* context,
                            Error* error) = 0;
    // Stops and restarts the background exchange with the store server around the close.
    virtual void pauseHandlers() = 0;
    virtual void resumeHandlers() = 0;
    // The store server's references of the day's payments of `paymentType` (a request to the
    // server); nil with `error` when it failed.
    virtual std::optional<std::vector<std::string>> getPaymentRefs(long paymentType,
                                                                   const std::optional<std::string>& storeId,
                                                                   const std::optional<std::string>& password,
                                                                   const std::optional<std::string>& userId,
                                                                   ObjectContext* context, Error* error) = 0;
};

} // namespace tavlo
