#pragma once

#include "platform/ui/View.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace tavlo::ui {

class ViewController;

[[noreturn]] void throwWrongOwner(const std::string& interfaceName);

// Interface layouts by name: "OrderView" -> a builder that makes the view tree for its controller
// and connects the outlets (ViewController::connect) and actions. A screen that others show by
// its name alone, without knowing its class (the start-up shows "SettingsView" and "LoginView"),
// also registers the controller to make for it. Registration is explicit (a function each screen
// library calls at start-up): objects that register themselves from a static library are dropped
// by the linker.
class InterfaceRegistry {
public:
    using Builder = std::function<std::shared_ptr<View>(ViewController&)>;
    using ControllerMaker = std::function<std::shared_ptr<ViewController>()>;

    static InterfaceRegistry& shared();

    // A later registration under the same name replaces the earlier one.
    void add(std::string name, Builder builder);
    // For a builder that needs its own controller class; building for another class throws.
    template <typename C> void add(std::string name, std::function<std::shared_ptr<View>(C&)> builder);
    // The controller shown under the name; a later one replaces the earlier.
    void addController(std::string name, ControllerMaker maker);
    // Forgets the name's builder and its controller.
    void remove(std::string_view name);
    bool contains(std::string_view name) const;
    bool containsController(std::string_view name) const;

    // Throws InconsistencyError for an unknown name or a builder that made no view.
    std::shared_ptr<View> build(const std::string& name, ViewController& owner) const;
    // A new controller of the name; throws InconsistencyError when none is registered or the
    // maker made none.
    std::shared_ptr<ViewController> instantiate(const std::string& name) const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, Builder, std::less<>> builders_;
    std::map<std::string, ControllerMaker, std::less<>> controllers_;
};

template <typename C> void InterfaceRegistry::add(std::string name, std::function<std::shared_ptr<View>(C&)> builder) {
    add(name, [name, builder = std::move(builder)](ViewController& owner) -> std::shared_ptr<View> {
        C* typed = dynamic_cast<C*>(&owner);
        if (!typed) throwWrongOwner(name);
        return builder(*typed);
    });
}

} // namespace tavlo::ui
