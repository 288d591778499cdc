#pragma once

#include "platform/foundation/Error.h"

#include <memory>
#include <mutex>
#include <string>

namespace tavlo {

// What core needs from a layer above it is an interface that core declares (a port): the layer
// above implements it and the program installs the implementation at start-up; tests install
// fakes. An interface derives from Port<itself> and names itself in `kClassName`. Any thread.
template <class Interface> class Port {
public:
    // Null uninstalls.
    static void install(std::shared_ptr<Interface> implementation) {
        std::lock_guard lock(mutex_);
        installed_ = std::move(implementation);
    }
    // Null while nothing is installed.
    static std::shared_ptr<Interface> current() {
        std::lock_guard lock(mutex_);
        return installed_;
    }
    // Throws InconsistencyError while nothing is installed: the program forgot it at start-up.
    static std::shared_ptr<Interface> required() {
        if (std::shared_ptr<Interface> implementation = current()) return implementation;
        throw InconsistencyError(std::string(Interface::kClassName) + " is used before the program installed it");
    }

private:
    static inline std::mutex mutex_;
    static inline std::shared_ptr<Interface> installed_;
};

} // namespace tavlo
