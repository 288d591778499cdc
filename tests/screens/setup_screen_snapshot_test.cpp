// Pictures of the store set-up screen on the pad and the phone, alone, under the wait overlay
// while the store loads, and with the "Validation" alert over it, compared with golden files.
#include "SetupScreen.h"
#include "platform/ui/render/Snapshot.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::SetupScreen;

class SetupScreenSnapshot : public ::testing::TestWithParam<DeviceIdiom> {
protected:
    void SetUp() override {
        UserDefaults& defaults = UserDefaults::standardUserDefaults();
        defaults.setObject(std::string("1042"), "store_id");
        defaults.setObject(std::string("secret"), "password");
        s.show();
    }
    std::string name(const std::string& what) const {
        return what + (GetParam() == DeviceIdiom::Tablet ? "_pad" : "_phone");
    }
    render::Bitmap picture() { return render::snapshot(s.h.window(), s.h.window().bounds().size); }

    SetupScreen s{GetParam()};
};

TEST_P(SetupScreenSnapshot, TheScreenWithTheStoredStore) {
    s.retype("textStoreGateway", "till-1");
    EXPECT_TRUE(ui::test::matchesGolden(picture(), name("setup")));
}

TEST_P(SetupScreenSnapshot, TheWaitOverlayWhileTheStoreLoads) {
    s.server.setFault("getStoreData", storesim::Fault::Hang, 1);
    s.save(); // no gateway typed: the store comes from the hosted service (the server)
    ASSERT_TRUE(ActivityIndicator::overlay());
    EXPECT_TRUE(ui::test::matchesGolden(picture(), name("setup_overlay")));
    s.server.stop(); // the hanging load gives up
    ASSERT_TRUE(s.waitForLoad());
}

TEST_P(SetupScreenSnapshot, TheValidationAlertOverTheScreen) {
    s.retype("textStorePassword", "");
    s.h.tap("Save");
    ASSERT_TRUE(s.h.hasAlert());
    EXPECT_TRUE(ui::test::matchesGolden(picture(), name("setup_validation")));
}

INSTANTIATE_TEST_SUITE_P(Devices, SetupScreenSnapshot, ::testing::Values(DeviceIdiom::Tablet, DeviceIdiom::Phone),
                         [](const auto& instance) { return instance.param == DeviceIdiom::Tablet ? "Pad" : "Phone"; });

} // namespace
} // namespace tavlo::screens
