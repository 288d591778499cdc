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
// and connects the outlets (ViewController::connect) and actions. Registration is explicit (a
// function each screen library calls at start-up): objects that register themselves from a static
// library are dropped by the linker.
class InterfaceRegistry {
public:
    using Builder = std::function<std::shared_ptr<View>(ViewController&)>;

    static InterfaceRegistry& shared();

    // A later registration under the same name replaces the earlier one.
    void add(std::string name, Builder builder);
    // For a builder that needs its own controller class; building for another class throws.
    template <typename C>
    void add(std::string name, std::function<std::shared_ptr<View>(C&)> builder);
    void remove(std::string_view name);
    bool contains(std::string_view name) const;

    // Throws InconsistencyError for an unknown name or a builder that made no view.
    std::shared_ptr<View> build(const std::string& name, ViewController& owner) const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, Builder, std::less<>> builders_;
};

template <typename C>
void InterfaceRegistry::add(std::string name, std::function<std::shared_ptr<View>(C&)> builder) {
    add(name, [name, builder = std::move(builder)](ViewController& owner) -> std::shared_ptr<View> {
        C* typed = dynamic_cast<C*>(&owner);
        if (!typed) throwWrongOwner(name);
        return builder(*typed);
    });
}

} // namespace tavlo::ui
