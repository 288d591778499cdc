#include "payments/CardRequest.h"

#include "core/util/TavloLog.h"
#include "payments/PaymentHandlerFactory.h"
#include "platform/foundation/RunLoop.h"
#include "platform/store/ObjectContext.h"

#include <cmath>
#include <exception>
#include <mutex>
#include <thread>

namespace tavlo {

namespace {

std::mutex countMutex;
int unanswered = 0;
bool closing = false;

} // namespace

CardRequest::CardRequest(std::string host, Done done)
    : host_(std::move(host)), done_(std::move(done)), started_(Date::now()) {}

std::shared_ptr<CardRequest> CardRequest::start(std::shared_ptr<ObjectStore> store, const std::string& host, Call call,
                                                Done done) {
    std::shared_ptr<CardRequest> request(new CardRequest(host, std::move(done)));
    {
        std::lock_guard lock(countMutex);
        ++unanswered;
    }
    // The thread keeps the request until its answer is handed over; nobody joins it.
    std::thread([request, store = std::move(store), call = std::move(call)]() mutable {
        request->run(std::move(store), std::move(call));
    }).detach();
    return request;
}

void CardRequest::run(std::shared_ptr<ObjectStore> store, Call call) {
    Error error;
    bool succeeded = false;
    try {
        ObjectContext context(store);
        context.setMergePolicy(ObjectContext::MergePolicy::Overwrite);
        std::shared_ptr<PaymentHandlerAdapter> handler =
            PaymentHandlerFactory::getInstance().makePaymentHandler(host_, &context);
        if (handler) succeeded = call(*handler, &error);
        else Error::set(&error, PaymentHandlerAdapter::error("Host not supported, please contact support"));
    } catch (const std::exception& e) {
        // The answer is unknown: said so rather than lost with the thread.
        TAVLO_LOG_MAIL("Card request to %@ failed: %@", host_, std::string(e.what()));
        Error::set(&error, PaymentHandlerAdapter::error("Unable to process payment"));
        succeeded = false;
    }
    std::shared_ptr<CardRequest> self = shared_from_this();
    RunLoop::main().perform([self, succeeded, error] { self->finish(succeeded, error); });
}

void CardRequest::finish(bool succeeded, Error error) {
    finished_ = true;
    {
        // Answered from here on, whatever its handling does: the program's end waits no more.
        std::lock_guard lock(countMutex);
        --unanswered;
    }
    Done done = std::move(done_);
    if (done) done(succeeded, error);
}

int CardRequest::elapsedSeconds() const {
    return static_cast<int>(std::floor(std::max(0.0, Date::now().secondsSince(started_))));
}

int CardRequest::inFlight() {
    std::lock_guard lock(countMutex);
    return unanswered;
}

bool CardRequest::isClosing() {
    std::lock_guard lock(countMutex);
    return closing;
}

void CardRequest::waitForAll() {
    if (inFlight() == 0) return;
    TAVLO_LOG("Waiting for %d card requests before ending", inFlight());
    {
        std::lock_guard lock(countMutex);
        closing = true;
    }
    while (inFlight() > 0) RunLoop::main().runOnce(RunLoop::defaultMode, 0.1);
    std::lock_guard lock(countMutex);
    closing = false;
}

} // namespace tavlo
