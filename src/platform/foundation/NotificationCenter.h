#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tavlo {

using UserInfo = std::map<std::string, std::any>;

struct Notification {
    std::string name;
    std::any object; // what the poster hands along (an order list, a message, ...)
    UserInfo userInfo;
    const void* sender = nullptr; // identity used by observers that filter on the poster
};

// Delivers notifications synchronously on the posting thread. Registration is thread-safe and an
// observer may remove itself (or others) from inside its callback.
class NotificationCenter {
public:
    using Callback = std::function<void(const Notification&)>;
    using Token = uint64_t;

    static NotificationCenter& defaultCenter();

    // name empty: every name; sender null: every poster.
    Token addObserver(std::string name, const void* sender, Callback callback);
    void removeObserver(Token token);

    void post(const Notification& notification);
    void post(std::string name, std::any object = {}, UserInfo userInfo = {}, const void* sender = nullptr);

private:
    struct Entry {
        Token token;
        std::string name;
        const void* sender;
        std::shared_ptr<Callback> callback;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
    Token nextToken_ = 1;
};

// Removes its observer when it goes out of scope.
class ScopedObserver {
public:
    ScopedObserver() = default;
    ScopedObserver(std::string name, const void* sender, NotificationCenter::Callback callback,
                   NotificationCenter& center = NotificationCenter::defaultCenter());
    ~ScopedObserver();
    ScopedObserver(ScopedObserver&& other) noexcept;
    ScopedObserver& operator=(ScopedObserver&& other) noexcept;
    ScopedObserver(const ScopedObserver&) = delete;
    ScopedObserver& operator=(const ScopedObserver&) = delete;
    void reset();

private:
    NotificationCenter* center_ = nullptr;
    NotificationCenter::Token token_ = 0;
};

} // namespace tavlo
