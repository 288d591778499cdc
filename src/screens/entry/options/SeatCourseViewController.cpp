#include "screens/entry/options/SeatCourseViewController.h"

#include "core/order/Order.h"
#include "core/order/Selection.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/render/Theme.h"
#include "screens/common/SlideView.h"

#include <algorithm>
#include <cmath>

namespace tavlo::screens {

using namespace ui;
namespace theme = ui::render::theme;

SeatCourseViewController::SeatCourseViewController() : OptionScreen(kInterfaceName) {}

SeatCourseViewController::~SeatCourseViewController() = default;

std::shared_ptr<ViewController> SeatCourseViewController::forFlow(const FlowControl& flow,
                                                                  const std::shared_ptr<Selection>& selection,
                                                                  std::shared_ptr<FlowControl> owner) {
    auto screen = std::make_shared<SeatCourseViewController>();
    screen->setSession(flow.session());
    screen->setSelection(selection);
    screen->setOrder(flow.order());
    screen->setSelectSeat(flow.seats());
    screen->setSelectCourse(flow.courses());
    screen->setFlowControl(std::move(owner));
    return screen;
}

void SeatCourseViewController::viewDidLoad() {
    showBackButton(localized("Back"));
    seat_ = -1;
    course_ = -1;
    if (selectSeat_ && selectCourse_) setTitle(localized("Seat/Course Selection"));
    else if (selectCourse_) setTitle(localized("Course selection"));
    else setTitle(localized("Seat selection"));
    if (PickerView* picker = pickerView()) {
        picker->setDataSource(this);
        picker->setDelegate(this);
    }
    auto heading = [this] {
        auto label = std::make_shared<Label>();
        label->setFont(Font::boldSystem(17));
        label->setTextColor(theme::ink());
        label->setBackgroundColor(theme::tealTint());
        label->setCornerRadius(6);
        label->setTextAlignment(TextAlignment::Center);
        label->setHidden(true);
        view()->addSubview(label);
        return label;
    };
    seatLabel_ = heading();
    courseLabel_ = heading();
}

bool SeatCourseViewController::usesWheels() {
    return Parameters::flag(Parameter::SeatsUseScroller, contextOf(session_.get()));
}

void SeatCourseViewController::removeGrids() {
    for (auto* grid : {&seatGrid_, &courseGrid_})
        if (*grid) {
            (*grid)->removeFromSuperview();
            grid->reset();
        }
    seatLabel_->setHidden(true);
    courseLabel_->setHidden(true);
}

void SeatCourseViewController::viewWillAppear(bool animated) {
    OptionScreen::viewWillAppear(animated);
    wheels_ = usesWheels();
    if (wheels_) return;
    removeGrids();
    ObjectContext* context = contextOf(session_.get());
    int top = kFirstGridTop;
    if (selectSeat_) {
        const int additional = Parameters::number(Parameter::SeatsAdditional, context);
        const int seats = (order_ ? order_->seats() : 0) + std::max(additional, 0);
        const int first = Parameters::flag(Parameter::SeatsUseZero, context) ? 0 : 1;
        top = load(localized("Seat"), localized("Seat Selection"), first, seats, top, *seatLabel_, seatGrid_,
                   [this](Control& sender) { seatChanged(sender); });
    }
    if (selectCourse_) {
        const std::optional<std::string> maximum = Parameters::text(Parameter::CourseMax, context);
        const int first = Parameters::flag(Parameter::CoursesUseZero, context) ? 0 : 1;
        load(localized("Course"), localized("Course Selection"), first, maximum ? intValue(*maximum) : 10, top,
             *courseLabel_, courseGrid_, [this](Control& sender) { courseChanged(sender); });
    }
    if (PickerView* picker = pickerView()) picker->removeFromSuperview();
}

void SeatCourseViewController::viewDidAppear(bool animated) {
    OptionScreen::viewDidAppear(animated);
    if (shownBefore_) return;
    shownBefore_ = true;
    // Nothing to ask: the line goes on without a seat or a course. Only the first time, so that
    // Back from the next screen stays here.
    if ((selectSeat_ || selectCourse_) && !seatWanted() && !courseWanted())
        RunLoop::main().perform([self = shared_from_this(), this] { done(); });
}

int SeatCourseViewController::load(const std::string& word, const std::string& heading, int first, int total, int top,
                                   Label& label, std::shared_ptr<SlideView>& grid, Control::Action action) {
    if (total < 1) return top; // no grid: the next one takes its place
    const int buttonWidth = 8 * static_cast<int>(format("%@ %ld", word, total).size()) + 4;
    std::vector<std::shared_ptr<Button>> buttons;
    for (int number = first; number < first + total; ++number) {
        auto button =
            SlideView::button(format("%@ %ld", word, number), number, std::nullopt, buttonWidth, kButtonHeight, action);
        button->setBackgroundColor(theme::paper());
        button->setTitleColor(theme::ink());
        buttons.push_back(button);
    }

    const double viewWidth = view()->bounds().width();
    label.setText(format("    %@    ", heading));
    const Size text = label.sizeThatFits({viewWidth, 30});
    label.setFrame(Rect((viewWidth - text.width) / 2, top + 16, text.width, text.height + 6));
    label.setAutoresizingMask(Autoresizing::FlexibleLeftMargin | Autoresizing::FlexibleRightMargin);
    label.setHidden(false);

    const int cell = buttonWidth + kGap;
    const int fit = std::max(static_cast<int>(viewWidth) / cell, 1);
    const int count = static_cast<int>(buttons.size());
    const int rows = std::min((count + fit - 1) / fit, kMaxRows);
    const int perRow = (count + rows - 1) / rows;
    const int columns = std::min(perRow, fit);
    const double left = perRow < fit ? (viewWidth - cell * perRow) / 2.0 : 0;
    const int gridTop = static_cast<int>(std::trunc(top + 33.75)) + kGap;
    grid = SlideView::make(Rect(left, gridTop, columns * cell, rows * kRowHeight), Color::white(), buttons, rows, kGap,
                           kGap);
    view()->addSubview(grid);
    return static_cast<int>(std::trunc(top + 33.75)) + rows * kRowHeight;
}

bool SeatCourseViewController::seatWanted() const { return selectSeat_ && (wheels_ || seatGrid_); }

bool SeatCourseViewController::courseWanted() const { return selectCourse_ && (wheels_ || courseGrid_); }

void SeatCourseViewController::seatChanged(Control& sender) {
    seat_ = sender.tag();
    if (auto* button = dynamic_cast<Button*>(&sender))
        seatLabel_->setText(format("%@: %@", localized("Selected"), button->currentTitle().value_or("")));
    if (seat_ != -1 && (!courseWanted() || course_ != -1)) done();
}

void SeatCourseViewController::courseChanged(Control& sender) {
    course_ = sender.tag();
    if (auto* button = dynamic_cast<Button*>(&sender))
        courseLabel_->setText(format("%@: %@", localized("Selected"), button->currentTitle().value_or("")));
    if (course_ != -1 && (!seatWanted() || seat_ != -1)) done();
}

void SeatCourseViewController::done() {
    selection()->setSeat(seat_);
    selection()->setCourse(course_);
    moveOn();
}

// ---- the wheels

int SeatCourseViewController::numberOfComponents(PickerView&) { return int(selectSeat_) + int(selectCourse_); }

int SeatCourseViewController::numberOfRows(PickerView&, int component) {
    return component == 0 && selectSeat_ ? 50 : 10;
}

std::optional<std::string> SeatCourseViewController::titleForRow(PickerView&, int row, int component) {
    if (row == 0) return std::string();
    return format("%@ %li", localized(component == 0 && selectSeat_ ? "Seat" : "Course"), row - 1);
}

void SeatCourseViewController::didSelectRow(PickerView&, int row, int component) {
    if (component == 0 && selectSeat_) seat_ = row - 1;
    else course_ = row - 1;
    if (selectSeat_ && seat_ < 0) return;
    if (!selectCourse_ || course_ >= 0) done();
}

// ---- the interface

namespace {

std::shared_ptr<View> buildSeatCourseView(SeatCourseViewController& owner) {
    auto root = std::make_shared<View>(Rect(0, 0, 320, 416));
    root->setBackgroundColor(Color::white());
    root->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    auto picker = std::make_shared<PickerView>(Rect(0, 0, 320, 216));
    picker->setShowsSelectionIndicator(true);
    picker->setAutoresizingMask(Autoresizing::FlexibleWidth);
    root->addSubview(picker);
    owner.connect("pickerView", picker);
    return root;
}

} // namespace

void registerSeatCourseView() {
    InterfaceRegistry::shared().add<SeatCourseViewController>(
        SeatCourseViewController::kInterfaceName,
        std::function<std::shared_ptr<View>(SeatCourseViewController&)>(buildSeatCourseView));
}

} // namespace tavlo::screens
