#include "platform/foundation/Error.h"

namespace tavlo {

Error::Error(std::string domain, int code, std::string description)
    : domain_(std::move(domain)), code_(code), description_(std::move(description)) {}

void Error::set(Error* out, std::string domain, int code, std::string description) {
    if (out) *out = Error(std::move(domain), code, std::move(description));
}

void Error::set(Error* out, const Error& error) {
    if (out) *out = error;
}

InconsistencyError InconsistencyError::notInitialised(const std::string& className, const std::string& selector) {
    return InconsistencyError("[" + className + " " + selector +
                              "] cannot be called until the init method has been called once");
}

InconsistencyError InconsistencyError::mustOverride(const std::string& selector) {
    return InconsistencyError("You must override " + selector + " in a subclass");
}

} // namespace tavlo
