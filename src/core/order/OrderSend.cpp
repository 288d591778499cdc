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
    // The send stands whatever the tickets do; a ticket that did not print leaves its error for
    // the order screen to show.
    if (std::unique_ptr<Announcer> announcer = Announcer::initWithSession(session))
        announcer->announce(*tickets, error);
    clearTempData();
    return true;
}

bool Order::send(Session& session, const SendDone& done, Error* error) {
    // The callback hears of a failure even when the caller did not ask for the error.
    Error failure;
    bool sent = send(session, &failure);
    if (!sent || failure.isSet()) Error::set(error, failure);
    if (done) done(sent ? nullptr : &failure);
    return sent;
}

} // namespace tavlo
