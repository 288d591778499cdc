#pragma once

#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/ViewController.h"
#include "screens/entry/options/OptionScreen.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class Order;
}

namespace tavlo::screens {

class SlideView;

// For which seat of the table a line is ordered and in which course it is served: the first
// screen of an item flow that asks either. One grid of numbered buttons per question ("Seat 1"
// to the order's seats plus HH_SEATS_ADDITIONAL, "Course 1" to HH_COURSE_MAX, from 0 when
// HH_SEATS_USE_ZERO / HH_COURSES_USE_ZERO say so), or, when HH_SEATS_USE_SCROLLER is YES, one wheel
// per question (seats 0-48, courses 0-8, each after a blank row that takes the answer back).
// There is no Done: the screen finishes as soon as every question asked has its answer and
// writes both into the line (-1 for one not asked). A question whose grid would have no button
// (no seats, HH_COURSE_MAX 0) gets no grid and is not waited for; when neither question has a
// button the screen finishes by itself the first time it is shown. The interface "SeatCourseView".
class SeatCourseViewController : public OptionScreen<ui::ViewController>,
                                 public ui::PickerViewDataSource,
                                 public ui::PickerViewDelegate {
public:
    static constexpr const char* kInterfaceName = "SeatCourseView";
    // The grids' layout.
    static constexpr int kFirstGridTop = 50, kButtonHeight = 45, kGap = 8, kRowHeight = 53, kMaxRows = 3;

    SeatCourseViewController();
    ~SeatCourseViewController() override;
    // The screen for a flow's line (its session, order and questions), answering to `owner`.
    static std::shared_ptr<ui::ViewController> forFlow(const FlowControl& flow,
                                                       const std::shared_ptr<Selection>& selection,
                                                       std::shared_ptr<FlowControl> owner);

    const std::shared_ptr<Order>& order() const { return order_; }
    void setOrder(std::shared_ptr<Order> order) { order_ = std::move(order); }
    bool selectSeat() const { return selectSeat_; }
    void setSelectSeat(bool select) { selectSeat_ = select; }
    bool selectCourse() const { return selectCourse_; }
    void setSelectCourse(bool select) { selectCourse_ = select; }
    // The answers so far; -1 for none.
    int seat() const { return seat_; }
    int course() const { return course_; }

    ui::PickerView* pickerView() const { return outlet<ui::PickerView>("pickerView"); }
    ui::Label* seatLabel() const { return seatLabel_.get(); }
    ui::Label* courseLabel() const { return courseLabel_.get(); }
    // The grids shown now (none with the wheels).
    SlideView* seatGrid() const { return seatGrid_.get(); }
    SlideView* courseGrid() const { return courseGrid_.get(); }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    int numberOfComponents(ui::PickerView&) override;
    int numberOfRows(ui::PickerView&, int component) override;
    std::optional<std::string> titleForRow(ui::PickerView&, int row, int component) override;
    void didSelectRow(ui::PickerView&, int row, int component) override;

private:
    // Lays out one labelled grid of `total` numbered buttons from `first` with its heading at
    // `top`; answers where the next grid starts (`top` itself when there are no buttons).
    int load(const std::string& word, const std::string& heading, int first, int total, int top, ui::Label& label,
             std::shared_ptr<SlideView>& grid, ui::Control::Action action);
    // A grid's button: the answer is its tag.
    void seatChanged(ui::Control& sender);
    void courseChanged(ui::Control& sender);
    // Writes the answers into the line and moves the flow on.
    void done();

    bool usesWheels();
    void removeGrids();
    // The questions the grids can answer: a question without buttons is not waited for.
    bool seatWanted() const;
    bool courseWanted() const;
    void finishWhenAnswered();

    std::shared_ptr<Order> order_;
    bool selectSeat_ = false, selectCourse_ = false;
    int seat_ = -1, course_ = -1;
    bool shownBefore_ = false;
    bool wheels_ = false;
    std::shared_ptr<ui::Label> seatLabel_, courseLabel_;
    std::shared_ptr<SlideView> seatGrid_, courseGrid_;
};

// The interface: the wheels at the top (taken away when the grids are used).
void registerSeatCourseView();

} // namespace tavlo::screens
