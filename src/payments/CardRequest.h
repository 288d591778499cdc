#pragma once

#include "payments/PaymentHandlerAdapter.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"
#include "platform/store/ObjectStore.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace tavlo {

// One call to the card host (a sale, a return) run on a thread of its own, so that the main
// thread keeps drawing and answering while the host takes its time. The thread works in a context
// of its own on the store, through a handler of its own made by the factory; its saves reach the
// main context as every background save does. The answer is handed to the main thread.
//
// A call in flight cannot be called off: the host may already have charged the card. At the end
// of the program waitForAll() keeps the main loop running until every answer is in and handled,
// so what the host answered is stored before the process ends.
//
//   auto request = CardRequest::start(store, "LARCH",
//       [transaction, config](PaymentHandlerAdapter& handler, Error* error) {
//           return handler.sale(*transaction, config, error);
//       },
//       [](bool answered, const Error& error) { ... on the main thread ... });
class CardRequest : public std::enable_shared_from_this<CardRequest> {
public:
    using Call = std::function<bool(PaymentHandlerAdapter& handler, Error* error)>;
    using Done = std::function<void(bool succeeded, const Error& error)>;

    // Starts the call for the card host `host` on a new thread. Main thread.
    static std::shared_ptr<CardRequest> start(std::shared_ptr<ObjectStore> store, const std::string& host, Call call,
                                              Done done);

    const std::string& host() const { return host_; }
    // Whole seconds since the call started, by the process clock.
    int elapsedSeconds() const;
    // The answer has been handed to `done`.
    bool isFinished() const { return finished_; }

    // Calls whose answer has not been handled yet.
    static int inFlight();
    // Runs the main loop until every call in flight has been answered and handled. Main thread,
    // at the end of the program; while it runs, isClosing() is true.
    static void waitForAll();
    static bool isClosing();

private:
    CardRequest(std::string host, Done done);
    void run(std::shared_ptr<ObjectStore> store, Call call);
    void finish(bool succeeded, Error error);

    std::string host_;
    Done done_;
    Date started_;
    std::atomic<bool> finished_{false};
};

} // namespace tavlo
