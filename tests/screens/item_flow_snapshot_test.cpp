// Pictures of the item flow's screens on the pad (a form sheet) and the phone: the seat and course
// grids, the required temperature with a choice made, the sides with their counts and the
// dressing of a side; compared with golden files.
#include "ItemFlowHost.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::FlowAsks;
using test::ItemFlowHost;

class ItemFlowSnapshot : public ::testing::TestWithParam<DeviceIdiom> {
protected:
    std::string name(const std::string& what) const {
        return what + (GetParam() == DeviceIdiom::Tablet ? "_pad" : "_phone");
    }
    ItemFlowHost f{GetParam()};
};

TEST_P(ItemFlowSnapshot, EachScreenOfTheSteaksFlow) {
    f.order->setSeats(6);
    f.setParam("HH_COURSE_MAX", std::string("4"));
    ASSERT_TRUE(f.start("I-STEAK", FlowAsks{.seats = true, .courses = true}));
    f.h.tap("Seat 5");
    EXPECT_TRUE(ui::test::matchesGolden(f.picture(), name("flow_seat_course")));
    f.h.tap("Course 2");
    f.tapRow("Medium");
    f.h.tap("Back"); // the choice shows with its check mark
    EXPECT_TRUE(ui::test::matchesGolden(f.picture(), name("flow_preparation")));
    f.tapRow("Medium"); // drops it
    f.tapRow("Rare");
    f.tapRow("Side Salad");
    EXPECT_TRUE(ui::test::matchesGolden(f.picture(), name("flow_sides")));
    f.tapRow("Side Salad");
    ui::test::writeTestPicture(f.picture(), name("flow_side_dressing"));
}

INSTANTIATE_TEST_SUITE_P(Devices, ItemFlowSnapshot, ::testing::Values(DeviceIdiom::Tablet, DeviceIdiom::Phone),
                         [](const auto& instance) { return instance.param == DeviceIdiom::Tablet ? "Pad" : "Phone"; });

} // namespace
} // namespace tavlo::screens
