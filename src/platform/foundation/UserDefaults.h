#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <variant>

namespace tavlo {

// The terminal's own settings: keys to texts, integers, booleans or doubles, kept in one file.
// Nothing is registered: an absent key reads as nil / 0 / NO. Every change is written at once
// (a temporary file renamed over the old one, readable by the owner only), so a crash loses
// nothing that was set. Thread-safe.
class UserDefaults {
public:
    using Value = std::variant<std::string, int64_t, bool, double>;
    static constexpr const char* kFileName = "userdefaults";

    // The one in the data directory; it follows $TAVLO_HOME when that changes (tests).
    static UserDefaults& standardUserDefaults();

    explicit UserDefaults(std::filesystem::path file);
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    std::optional<Value> objectForKey(const std::string& key) const;
    // Numbers read as their text; nil when absent.
    std::optional<std::string> stringForKey(const std::string& key) const;
    // Texts read as their leading number, booleans as 1 / 0.
    int64_t integerForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    // Texts read as boolValue() reads them; numbers YES when not zero.
    bool boolForKey(const std::string& key) const;

    // nil removes the key (a nil-able text may be passed as it is).
    void setObject(std::optional<Value> value, const std::string& key);
    void setInteger(int64_t value, const std::string& key) { setObject(Value(value), key); }
    void setBool(bool value, const std::string& key) { setObject(Value(value), key); }
    void setDouble(double value, const std::string& key) { setObject(Value(value), key); }
    void removeObjectForKey(const std::string& key);

    // Writes what an earlier failed write left unsaved; false when the file cannot be written.
    bool synchronize();
    // Writes the file again: false, with the reason, when it cannot be (its path a folder, a
    // folder without the right to write), so that the terminal can say its settings will not last.
    bool isWritable(std::string* reason = nullptr);
    const std::filesystem::path& file() const { return file_; }

private:
    void load();
    bool save(); // under the lock

    mutable std::mutex mutex_;
    std::filesystem::path file_;
    std::map<std::string, Value> values_;
    bool dirty_ = false;
    std::string writeError_; // why the last write failed
};

} // namespace tavlo
