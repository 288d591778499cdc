// Sending an order: the hand-over to the order sender and, in lite mode, the kitchen tickets.
#include "core/order/Order.h"

#include "core/ports/Announcer.h"
#include "core/ports/OrderSender.h"
#include "core/session/Session.h"

namespace tavlo {

bool Order::send(Session& session, Error* error) {
    if (!modified()) return true;
    // Taken first: the send counts every unit as sent.
    std::shared_ptr<Order> tickets = clone();
    if (!OrderSender::required()->sendOrder(*this, session.userId(), session.managedObjectContext(), error))
        return false;
    if (!session.isLite()) return true;
    if (std::unique_ptr<Announcer> announcer = Announcer::initWithSession(session)) {
        Error ignored;
        announcer->announce(*tickets, &ignored);
    }
    clearTempData();
    return true;
}

bool Order::send(Session& session, const SendDone& done, Error* error) {
    // The callback hears of a failure even when the caller did not ask for the error.
    Error failure;
    bool sent = send(session, &failure);
    if (!sent) Error::set(error, failure);
    if (done) done(sent ? nullptr : &failure);
    return sent;
}

} // namespace tavlo
