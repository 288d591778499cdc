#include "devices/MSRMediator.h"

namespace tavlo {

namespace {

const char* const kCardReaderNotifications[] = {
    kMsrDidConnectNotification,
    kMsrDidDisconnectNotification,
    kMsrReceivedDataNotification,
    kMsrErrorNotification,
};

std::mutex creationMutex;
MSRMediator* instance = nullptr;

} // namespace

MSRMediator& MSRMediator::getInstance(const std::optional<std::string>& type)
{
    std::lock_guard<std::mutex> lock(creationMutex);
    if (!instance) {
        // Lives for the whole process: screens and readers hold on to it without owning it.
        instance = new MSRMediator(type);
    }
    return *instance;
}

MSRMediator& MSRMediator::getInstance()
{
    return getInstance(std::string("jackMag"));
}

MSRMediator::MSRMediator(std::optional<std::string> type) : type_(std::move(type)) {}

MSRMediator::~MSRMediator() = default;

bool MSRMediator::isType(const std::optional<std::string>& type) const
{
    return type && type_ && *type == *type_;
}

void MSRMediator::registerObserver(const void* observer, Callback callback)
{
    unregisterObserver(observer);
    auto shared = std::make_shared<Callback>(std::move(callback));
    std::vector<NotificationCenter::Token> tokens;
    for (const char* name : kCardReaderNotifications) {
        tokens.push_back(NotificationCenter::defaultCenter().addObserver(
            name, nullptr, [shared](const Notification& note) { (*shared)(note); }));
    }
    std::lock_guard<std::mutex> lock(observersMutex_);
    observers_[observer] = std::move(tokens);
}

void MSRMediator::unregisterObserver(const void* observer)
{
    std::vector<NotificationCenter::Token> tokens;
    {
        std::lock_guard<std::mutex> lock(observersMutex_);
        auto found = observers_.find(observer);
        if (found == observers_.end()) {
            return;
        }
        tokens = std::move(found->second);
        observers_.erase(found);
    }
    for (NotificationCenter::Token token : tokens) {
        NotificationCenter::defaultCenter().removeObserver(token);
    }
}

} // namespace tavlo
