// Pictures of screens compared with golden files: a change to the drawing is seen, not guessed.
// A failing comparison writes the picture it got under build/test-output/golden/.
#include "platform/ui/NavigationController.h"
#include "platform/ui/render/Snapshot.h"
#include "support/ui/Golden.h"
#include "support/ui/GuestListScreen.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

using namespace tavlo::ui;
using namespace tavlo::ui::test;

namespace {

class GuestListSnapshot : public ::testing::TestWithParam<DeviceIdiom> {
protected:
    void SetUp() override {
        registerGuestListView();
        h.show(std::make_shared<NavigationController>(std::make_shared<GuestListViewController>()));
        for (const char* guest : {"Ada Lovelace", "Grace Hopper", "Linus"}) {
            h.type(h.outlet<TextField>("name"), guest);
            h.tap("Add");
        }
        h.type(h.outlet<TextField>("name"), "Barbara");
    }
    std::string name(const std::string& what) const {
        return what + (GetParam() == DeviceIdiom::Tablet ? "_pad" : "_phone");
    }
    Harness h{GetParam()};
};

} // namespace

TEST_P(GuestListSnapshot, TheScreenWithATypedName) {
    auto picture = render::snapshot(h.window(), h.window().bounds().size);
    EXPECT_TRUE(matchesGolden(picture, name("guest_list")));
}

TEST_P(GuestListSnapshot, TheQuestionOverTheScreen) {
    h.tapRow(h.outlet<TableView>("table"), {0, 1});
    ASSERT_TRUE(h.hasAlert());
    auto picture = render::snapshot(h.window(), h.window().bounds().size);
    EXPECT_TRUE(matchesGolden(picture, name("guest_list_alert")));
}

INSTANTIATE_TEST_SUITE_P(Devices, GuestListSnapshot, ::testing::Values(DeviceIdiom::Tablet, DeviceIdiom::Phone),
                         [](const auto& instance) { return instance.param == DeviceIdiom::Tablet ? "Pad" : "Phone"; });
