#pragma once

#include "core/ports/BusinessDay.h"
#include "core/ports/OrderSender.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/store/ObjectContext.h"
#include "sync/handlers/HandlerWaker.h"

#include <memory>
#include <string>

namespace tavlo {

// What the application shell does for the background work: creates the two handlers, the id
// broker and the card-field key from the configuration, starts the handlers after sign-in, ends
// them with the program, and merges every other context's save into the main context on the main
// thread (the only way background saves reach the screens).
class AppShell {
public:
    // Observes the saves of every context of the main context's store.
    explicit AppShell(std::shared_ptr<ObjectContext> mainContext);
    ~AppShell();
    AppShell(const AppShell&) = delete;
    AppShell& operator=(const AppShell&) = delete;

    // Creates the store and order handlers (paused) on the main context's store, with the
    // intervals, URLs and download switches of the configuration; makes the id broker on the main
    // context and the gateway the exchanges use. Outside queueing (lite) mode it also sets the
    // card-field encryption's key length (HH_ENC_KEY_LENGTH, 2048 when absent) and, when no key
    // is installed yet, the store server's built-in key of that length.
    void setupHandlers(bool queueing, const std::string& gateway);
    // On a terminal that is its own till: the card host is asked about every charge sent
    // without an answer, and approved charges their orders lack are put on them (at start-up,
    // before anyone can charge again).
    void checkCardCharges();
    // After a good sign-in: the store handler, then the order handler.
    void login();
    // At the end of the program: both handlers paused and let go, waiting for the operations
    // they run now; later runs of their timers do nothing.
    static void endHandlers();
    // The store server's public key built in for a key length, as Base64 of its DER
    // SubjectPublicKeyInfo: 2048 bits in lines of 76 characters each followed by a blank, any
    // other length a 1024-bit key on one line.
    static std::string builtInServerKey(int keyLength);
    // Merges a save of another context into the main context, on the main thread; from another
    // thread it waits until the merge is done.
    void contextChanged(const Notification& didSave);

    // Wakes the handlers that exist (the change announcements' listener holds it).
    static std::shared_ptr<HandlerWaker> handlerWaker();
    // The handlers as the model's ports: the order sender is the order handler; the business day
    // is the order handler's open and close, both handlers' pause and resume, and the store
    // server's payment references. Their calls need the handlers made (setupHandlers).
    static std::shared_ptr<OrderSender> orderSender();
    static std::shared_ptr<BusinessDay> businessDay();
    // Installs what the model needs from the layers above it: the two above and the card batch
    // of the card handlers. Once, at start-up.
    static void installPorts();
    // Seconds from a configured interval in milliseconds: truncated, 60 when absent, at least 1.
    static int intervalSeconds(const std::optional<std::string>& milliseconds);

    const std::shared_ptr<ObjectContext>& mainContext() const { return mainContext_; }

private:
    std::shared_ptr<ObjectContext> mainContext_;
    ScopedObserver saves_;
};

} // namespace tavlo
