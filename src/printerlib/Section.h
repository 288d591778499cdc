#pragma once

#include <mutex>

namespace tavlo::printerlib {

// The library's plain lock: not recursive, entered and left by the same thread.
class Section {
public:
    void enter() { mutex_.lock(); }
    void leave() { mutex_.unlock(); }

    bool allowLog() const { return allowLog_; }
    void setAllowLog(bool allow) { allowLog_ = allow; }
    int levelLog() const { return levelLog_; }
    void setLevelLog(int level) { levelLog_ = level; }

private:
    std::mutex mutex_;
    bool allowLog_ = false;
    int levelLog_ = 0;
};

} // namespace tavlo::printerlib
