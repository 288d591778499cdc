#include "platform/foundation/NotificationCenter.h"

#include <algorithm>

namespace tavlo {

NotificationCenter& NotificationCenter::defaultCenter() {
    // Never destroyed: observers held by other process-long objects still remove themselves while
    // the process ends, whatever order its statics go in.
    static NotificationCenter& center = *new NotificationCenter;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(std::string name, const void* sender, Callback callback) {
    std::lock_guard lock(mutex_);
    Token token = nextToken_++;
    entries_.push_back({token, std::move(name), sender, std::make_shared<Callback>(std::move(callback))});
    return token;
}

void NotificationCenter::removeObserver(Token token) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [token](const Entry& e) { return e.token == token; });
}

void NotificationCenter::post(const Notification& n) {
    std::vector<std::pair<Token, std::shared_ptr<Callback>>> targets;
    {
        std::lock_guard lock(mutex_);
        for (const Entry& e : entries_) {
            if ((e.name.empty() || e.name == n.name) && (!e.sender || e.sender == n.sender))
                targets.emplace_back(e.token, e.callback);
        }
    }
    for (auto& [token, callback] : targets) {
        bool stillThere;
        {
            std::lock_guard lock(mutex_);
            stillThere =
                std::any_of(entries_.begin(), entries_.end(), [t = token](const Entry& e) { return e.token == t; });
        }
        if (stillThere) (*callback)(n);
    }
}

void NotificationCenter::post(std::string name, std::any object, UserInfo userInfo, const void* sender) {
    post(Notification{std::move(name), std::move(object), std::move(userInfo), sender});
}

ScopedObserver::ScopedObserver(std::string name, const void* sender, NotificationCenter::Callback callback,
                               NotificationCenter& center)
    : center_(&center), token_(center.addObserver(std::move(name), sender, std::move(callback))) {}

ScopedObserver::~ScopedObserver() { reset(); }

ScopedObserver::ScopedObserver(ScopedObserver&& other) noexcept : center_(other.center_), token_(other.token_) {
    other.center_ = nullptr;
    other.token_ = 0;
}

ScopedObserver& ScopedObserver::operator=(ScopedObserver&& other) noexcept {
    if (this != &other) {
        reset();
        center_ = other.center_;
        token_ = other.token_;
        other.center_ = nullptr;
        other.token_ = 0;
    }
    return *this;
}

void ScopedObserver::reset() {
    if (center_ && token_) center_->removeObserver(token_);
    center_ = nullptr;
    token_ = 0;
}

} // namespace tavlo
