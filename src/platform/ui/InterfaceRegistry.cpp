#include "platform/ui/InterfaceRegistry.h"

#include "platform/foundation/Error.h"

namespace tavlo::ui {

InterfaceRegistry& InterfaceRegistry::shared() {
    static InterfaceRegistry registry;
    return registry;
}

void InterfaceRegistry::add(std::string name, Builder builder) {
    std::lock_guard lock(mutex_);
    builders_[std::move(name)] = std::move(builder);
}

void InterfaceRegistry::addController(std::string name, ControllerMaker maker) {
    std::lock_guard lock(mutex_);
    controllers_[std::move(name)] = std::move(maker);
}

void InterfaceRegistry::remove(std::string_view name) {
    std::lock_guard lock(mutex_);
    if (auto it = builders_.find(name); it != builders_.end()) builders_.erase(it);
    if (auto it = controllers_.find(name); it != controllers_.end()) controllers_.erase(it);
}

bool InterfaceRegistry::contains(std::string_view name) const {
    std::lock_guard lock(mutex_);
    return builders_.find(name) != builders_.end();
}

bool InterfaceRegistry::containsController(std::string_view name) const {
    std::lock_guard lock(mutex_);
    return controllers_.find(name) != controllers_.end();
}

std::shared_ptr<View> InterfaceRegistry::build(const std::string& name, ViewController& owner) const {
    Builder builder;
    {
        std::lock_guard lock(mutex_);
        auto it = builders_.find(name);
        if (it == builders_.end()) throw InconsistencyError("No interface is registered under the name " + name);
        builder = it->second;
    }
    std::shared_ptr<View> view = builder(owner);
    if (!view) throw InconsistencyError("The interface " + name + " made no view");
    return view;
}

std::shared_ptr<ViewController> InterfaceRegistry::instantiate(const std::string& name) const {
    ControllerMaker maker;
    {
        std::lock_guard lock(mutex_);
        auto it = controllers_.find(name);
        if (it == controllers_.end()) throw InconsistencyError("No controller is registered under the name " + name);
        maker = it->second;
    }
    std::shared_ptr<ViewController> controller = maker();
    if (!controller) throw InconsistencyError("The controller of " + name + " was not made");
    return controller;
}

void throwWrongOwner(const std::string& interfaceName) {
    throw InconsistencyError("The interface " + interfaceName + " was built for a controller of another class");
}

} // namespace tavlo::ui
