// Screens shown by their interface name alone: the registry makes the controller registered
// for the name, and its view comes from the name's layout.
#include "platform/foundation/Error.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/Label.h"
#include "platform/ui/ViewController.h"

#include <gtest/gtest.h>

using namespace tavlo;
using namespace tavlo::ui;

namespace {

class GreetingController : public ViewController {
public:
    GreetingController() : ViewController("GreetingView") {}
};

class InterfaceRegistryControllers : public ::testing::Test {
protected:
    void TearDown() override { registry.remove("GreetingView"); }
    InterfaceRegistry& registry = InterfaceRegistry::shared();
};

TEST_F(InterfaceRegistryControllers, MakesANewControllerOfTheNameEachTime) {
    registry.add<GreetingController>("GreetingView", [](GreetingController&) -> std::shared_ptr<View> {
        auto label = std::make_shared<Label>(Rect(0, 0, 200, 40));
        label->setText("Hello");
        return label;
    });
    registry.addController("GreetingView", [] { return std::make_shared<GreetingController>(); });
    ASSERT_TRUE(registry.containsController("GreetingView"));

    std::shared_ptr<ViewController> first = registry.instantiate("GreetingView");
    std::shared_ptr<ViewController> second = registry.instantiate("GreetingView");
    ASSERT_NE(dynamic_cast<GreetingController*>(first.get()), nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->view()->displayedText(), "Hello");

    registry.remove("GreetingView");
    EXPECT_FALSE(registry.containsController("GreetingView"));
    EXPECT_FALSE(registry.contains("GreetingView"));
}

TEST_F(InterfaceRegistryControllers, AnUnknownNameOrAMakerThatMadeNothingIsAnError) {
    try {
        registry.instantiate("GreetingView");
        FAIL() << "no controller is registered";
    } catch (const InconsistencyError& e) {
        EXPECT_STREQ(e.what(), "No controller is registered under the name GreetingView");
    }
    registry.addController("GreetingView", [] { return std::shared_ptr<ViewController>(); });
    EXPECT_THROW(registry.instantiate("GreetingView"), InconsistencyError);
}

} // namespace
