// The editor's set-up: which sections it shows, their rows and what a tap on a row opens.
#include "screens/entry/editor/SelectionViewController.h"

#include "core/order/ComboSelection.h"
#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Slider.h"
#include "screens/common/QuantityCellView.h"
#include "screens/entry/options/PreparationGroupViewController.h"
#include "screens/entry/options/SidesViewController.h"

#include <algorithm>
#include <cmath>

namespace tavlo::screens {

using namespace ui;

SelectionViewController::SelectionViewController() : SignedInController(kInterfaceName) {}

SelectionViewController::~SelectionViewController() = default;

bool SelectionViewController::isCombo() const { return dynamic_cast<const ComboSelection*>(selection_.get()); }

bool SelectionViewController::hasSides() const {
    if (isCombo()) return false;
    ManagedObjectPtr menu = DBHelper::getObject("Menu", "menuId == %@", selection_->menuId().value_or(""), context());
    return menu && !menu->toMany("sides").empty();
}

std::vector<ManagedObjectPtr> SelectionViewController::recipePreparationGroups() const {
    if (!selection_->recipeId()) return {};
    return DBHelper::getObjects("RecipePreparationGroup", "recipe.recipeId == %@", *selection_->recipeId(), "sequence",
                                context());
}

void SelectionViewController::readSeatCourseView() {
    ObjectContext* store = context();
    if (order_->isQuickSale()) {
        seatView_ = Parameters::flag(Parameter::QuickSaleUseSeats, store);
        courseView_ = false;
    } else if (order_->orderType() == OrderType::DineIn) {
        seatView_ = Parameters::flag(Parameter::SeatView, store);
        courseView_ = Parameters::flag(Parameter::CourseView, store);
    }
}

void SelectionViewController::viewDidLoad() {
    for (const ManagedObjectPtr& group :
         DBHelper::getObjects("PreparationGroup", "storeWide == YES", PredicateArgument(), "name", context()))
        storeWidePreps_.push_back(group->text("preparationGroupId").value_or(""));
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Order"), BarButtonStyle::Done, [this](BarButtonItem&) { back(); }));
    compable_ = session_ && selection_->isCompable(*session_);
    setTitle(selection_->name());
    // The first group has no header: a margin keeps it off the navigation bar.
    tableView().setTableHeaderView(std::make_shared<View>(Rect(0, 0, tableView().bounds().width(), 10)));
    readSeatCourseView();
    recipeGroups_ = recipePreparationGroups();

    sections_ = {Section::Quantity, Section::Price, Section::Comments, Section::Comp, Section::Sides};
    if (seatView_) sections_.push_back(Section::Seat);
    if (courseView_) sections_.push_back(Section::Course);
    if (!recipeGroups_.empty()) sections_.push_back(Section::RecipePreparations);
    if (!storeWidePreps_.empty()) sections_.push_back(Section::StoreWidePreparations);
}

int SelectionViewController::numberOfRows(TableView&, int section) {
    switch (sections_[static_cast<size_t>(section)]) {
    case Section::RecipePreparations: return static_cast<int>(recipeGroups_.size());
    case Section::StoreWidePreparations: return static_cast<int>(storeWidePreps_.size());
    default: return 1;
    }
}

std::optional<std::string> SelectionViewController::titleForHeader(TableView&, int section) {
    switch (sections_[static_cast<size_t>(section)]) {
    case Section::Seat: return localized("Seat");
    case Section::Course: return localized("Course");
    case Section::RecipePreparations: return localized("Selection Preparations");
    case Section::StoreWidePreparations: return localized("Store Wide Preparations");
    default: return std::nullopt;
    }
}

std::shared_ptr<TableViewCell> SelectionViewController::textCell(TableView& table, const std::string& text,
                                                                 bool enabled) {
    auto cell = table.dequeueReusableCell("Cell");
    if (!cell) cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "Cell");
    cell->textLabel().setText(text);
    cell->textLabel().setTextColor(enabled ? Color::black() : Color::lightGray());
    return cell;
}

std::shared_ptr<TableViewCell> SelectionViewController::cellForRow(TableView& table, IndexPath path) {
    switch (sections_[static_cast<size_t>(path.section)]) {
    case Section::Quantity: {
        auto cell = std::dynamic_pointer_cast<QuantityCellView>(table.dequeueReusableCell("QuantityCell"));
        if (!cell)
            cell = std::make_shared<QuantityCellView>(
                TableViewCellStyle::Default, "QuantityCell",
                Rect(0, 0, table.bounds().width() - 2 * table.groupInset(), 44),
                [this](Control& button) { plusQuantity(button); }, [this](Control& button) { minusQuantity(button); });
        showQuantity(*cell, selection_->quantity());
        return cell;
    }
    case Section::Price: return textCell(table, localized("Price"), true);
    case Section::Comments: return textCell(table, localized("Comments"), true);
    case Section::Comp: return textCell(table, localized("Complimentary"), compable_);
    case Section::Sides: return textCell(table, localized("Sides"), hasSides());
    case Section::Seat:
    case Section::Course: return sliderRow(sections_[static_cast<size_t>(path.section)]);
    case Section::RecipePreparations:
        return textCell(table, recipeGroups_[static_cast<size_t>(path.row)]->text("preparationGroup.name").value_or(""),
                        true);
    case Section::StoreWidePreparations: {
        ManagedObjectPtr group = DBHelper::getObject("PreparationGroup", "preparationGroupId == %@",
                                                     storeWidePreps_[static_cast<size_t>(path.row)], context());
        return textCell(table, group ? group->text("name").value_or("") : std::string(), true);
    }
    }
    return nullptr;
}

// ---- the seat and course sliders

std::shared_ptr<TableViewCell> SelectionViewController::getSliderCellContentView(const std::string& identifier,
                                                                                 const std::shared_ptr<Label>& label,
                                                                                 Control::Action changed, int minimum,
                                                                                 int maximum) {
    const double width = tableView().bounds().width() - 2 * tableView().groupInset();
    auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, identifier, Rect(0, 0, width, 44));
    cell->setSelectionStyle(SelectionStyle::None);
    label->setFrame(Rect(10, 10, 40, 25));
    label->setTag(kSliderLabelTag);
    label->setFont(Font::boldSystem(18));
    label->setTextAlignment(TextAlignment::Left);
    label->setBackgroundColor(Color::clear());
    cell->contentView().addSubview(label);
    auto slider = std::make_shared<Slider>(Rect(60, 10, width - 75, 25));
    slider->setTag(kSliderTag);
    slider->setAutoresizingMask(Autoresizing::FlexibleWidth);
    slider->setMinimumValue(minimum);
    slider->setMaximumValue(maximum);
    slider->addTarget(std::move(changed), ControlEvent::ValueChanged);
    cell->contentView().addSubview(slider);
    return cell;
}

// Rows are made anew each time: the slider shows the line as it is now.
std::shared_ptr<TableViewCell> SelectionViewController::sliderRow(Section section) {
    const bool seat = section == Section::Seat;
    std::shared_ptr<Label>& label = seat ? seatLabel_ : courseLabel_;
    label = std::make_shared<Label>(Rect(0, 0, 40, 25));
    // An order of fewer than one seat still gives the seat slider a range to stand on; the row
    // is then disabled.
    int maximum = seat ? order_->seats() : 10;
    if (!seat)
        if (const int courses = Parameters::number(Parameter::CourseMax, context()); courses > 0) maximum = courses;
    const int value = seat ? selection_->seat() : selection_->course();
    auto cell = getSliderCellContentView(
        seat ? "SeatsCell" : "CoursesCell", label,
        [this, seat](Control& sender) { seat ? seatChanged(sender) : courseChanged(sender); }, 1, std::max(1, maximum));
    auto* slider = dynamic_cast<Slider*>(cell->viewWithTag(kSliderTag));
    slider->setValue(value);
    label->setText(format("%ld", value));
    slider->setEnabled(order_->orderType() != OrderType::TakeOut && maximum >= 1);
    return cell;
}

void SelectionViewController::seatChanged(Control& sender) {
    const auto seat = static_cast<int32_t>(std::lround(dynamic_cast<Slider&>(sender).value()));
    if (seat == selection_->seat()) return;
    selection_->setSeat(seat);
    if (seatLabel_) seatLabel_->setText(format("%ld", seat));
}

void SelectionViewController::courseChanged(Control& sender) {
    const auto course = static_cast<int32_t>(std::lround(dynamic_cast<Slider&>(sender).value()));
    if (course == selection_->course()) return;
    selection_->setCourse(course);
    if (courseLabel_) courseLabel_->setText(format("%ld", course));
}

// ---- taps

void SelectionViewController::didSelectRow(TableView& table, IndexPath path) {
    const Section section = sections_[static_cast<size_t>(path.section)];
    if (section <= Section::Sides) table.deselectRow(path, animated());
    switch (section) {
    case Section::Price: return price();
    case Section::Comments: return comments();
    case Section::Comp:
        if (compable_) comps();
        return;
    case Section::Sides: return openSides();
    case Section::RecipePreparations:
        return openPreparationGroup(
            recipeGroups_[static_cast<size_t>(path.row)]->text("preparationGroup.preparationGroupId").value_or(""));
    case Section::StoreWidePreparations: return openPreparationGroup(storeWidePreps_[static_cast<size_t>(path.row)]);
    default: return;
    }
}

void SelectionViewController::openSides() {
    if (!hasSides()) return;
    auto sides = std::make_shared<SidesViewController>();
    sides->setSession(session_.get());
    sides->setSelection(selection_);
    if (NavigationController* navigation = navigationController()) navigation->push(sides, animated());
}

void SelectionViewController::openPreparationGroup(const std::string& groupId) {
    auto group = std::make_shared<PreparationGroupViewController>();
    group->setSession(session_.get());
    group->setSelection(selection_);
    group->setPreparationGroupId(groupId);
    if (NavigationController* navigation = navigationController()) navigation->push(group, animated());
}

void SelectionViewController::back() {
    if (NavigationController* navigation = navigationController()) navigation->pop(animated());
}

} // namespace tavlo::screens
