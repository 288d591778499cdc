#pragma once

#include "platform/foundation/Error.h"

#include <functional>
#include <memory>

namespace tavlo {

class Order;
class Session;

// The kitchen-ticket announcer: prints, on every enabled kitchen printer that has something of
// the order to make, the units just sent; a ticket that cannot reach its printer goes to the
// local receipt printer and `error` says so. The printing code provides the real one.
class Announcer {
public:
    using Maker = std::function<std::unique_ptr<Announcer>(Session& session)>;

    virtual ~Announcer() = default;
    virtual void announce(const Order& order, Error* error) = 0;

    // The announcer for the session's context; null while no maker is installed.
    static std::unique_ptr<Announcer> initWithSession(Session& session);
    // Installs how announcers are made (the printing code; tests install a recording one).
    static void setMaker(Maker maker);
};

} // namespace tavlo
