#pragma once

#include <stdexcept>
#include <string>

namespace tavlo {

// A failure reported to a caller: a domain of the program's own, a code and a readable text.
class Error {
public:
    Error() = default;
    Error(std::string domain, int code, std::string description);

    const std::string& domain() const { return domain_; }
    int code() const { return code_; }
    const std::string& localizedDescription() const { return description_; }
    bool isSet() const { return !domain_.empty() || code_ != 0 || !description_.empty(); }

    // Fills `out` when the caller asked for the error (out may be null).
    static void set(Error* out, std::string domain, int code, std::string description);
    static void set(Error* out, const Error& error);

    bool operator==(const Error&) const = default;

private:
    std::string domain_;
    int code_ = 0;
    std::string description_;
};

// A programming fault: a singleton used before its initialiser, an abstract operation called.
class InconsistencyError : public std::logic_error {
public:
    using std::logic_error::logic_error;

    // "[Class selector] cannot be called until the init method has been called once"
    static InconsistencyError notInitialised(const std::string& className, const std::string& selector);
    // "You must override selector in a subclass"
    static InconsistencyError mustOverride(const std::string& selector);
};

} // namespace tavlo
