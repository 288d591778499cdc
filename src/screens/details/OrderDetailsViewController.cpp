#include "screens/details/OrderDetailsViewController.h"

#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Slider.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "screens/common/QuantityCellView.h"
#include "screens/common/RedButton.h"
#include "screens/common/ScreenKit.h"
#include "screens/details/DetailsScreens.h"
#include "screens/details/SplitViewController.h"

#include <cmath>

namespace tavlo::screens {

using namespace ui;

namespace {

constexpr double kRowHeight = 44;

Label* labelIn(View& view, int tag) { return dynamic_cast<Label*>(view.viewWithTag(tag)); }

} // namespace

OrderDetailsViewController::OrderDetailsViewController()
    : SignedInController(kInterfaceName, TableViewStyle::Grouped) {}

OrderDetailsViewController::~OrderDetailsViewController() { stopTimer(); }

bool OrderDetailsViewController::granted(Right right) const { return session_ && session_->isGranted(right); }

std::string OrderDetailsViewController::elapsedText(double seconds) {
    const long hours = static_cast<long>(std::floor(seconds / 3600));
    const long minutes = static_cast<long>(std::floor(seconds / 60 - double(hours) * 60));
    const long secs = static_cast<long>(seconds - double(minutes) * 60 - double(hours) * 3600);
    return format(minutes <= 9 ? "%ld:0%ld:" : "%ld:%ld:", hours, minutes) + format(secs <= 9 ? "0%ld" : "%ld", secs);
}

std::optional<std::string> OrderDetailsViewController::orderComp() const {
    std::optional<std::string> shared;
    bool first = true;
    for (const SelectionPtr& selection : order_->selections()) {
        if (!selection->compName() || (!first && selection->compName() != shared)) return std::nullopt;
        shared = selection->compName();
        first = false;
    }
    return shared;
}

// ---- loading

void OrderDetailsViewController::loadCustomer() {
    customer_.reset();
    ObjectContext* context = contextOf(session_.get());
    if (!context || !order_) return;
    ManagedObjectPtr row;
    if (order_->customerId()) row = context->fetchFirst("Customer", "(customerId == %@)", *order_->customerId());
    else if (order_->customerRemoteId())
        row = context->fetchFirst("Customer", "(remoteId == %@)", *order_->customerRemoteId());
    if (!row) return;
    customer_.emplace();
    customer_->read(*row);
}

void OrderDetailsViewController::setTitleButton(const std::string& name) {
    auto title = redButton(name, Rect(0, 0, 180, 32));
    title->addTarget([this](Control&) { orderView(); }, ControlEvent::TouchDown);
    navigationItem().setTitleView(title);
    setTitle(name);
}

void OrderDetailsViewController::viewDidLoad() {
    loadCustomer();
    navigationItem().setHidesBackButton(true);
    setTitleButton(order_->name().value_or(""));
    auto terminal = std::make_shared<Label>(Rect(0, 0, 200, 30));
    terminal->setText(session_ ? session_->terminalName() : std::nullopt);
    terminal->setTextAlignment(TextAlignment::Center);
    terminal->setFont(Font::system(16));
    terminal->setTextColor(Color::white());
    terminal->setAdjustsFontSizeToFitWidth(true);
    terminal->setBackgroundColor(Color::clear());
    setToolbarItems(
        {BarButtonItem::flexibleSpace(), BarButtonItem::withCustomView(terminal), BarButtonItem::flexibleSpace()});
    if (NavigationController* navigation = navigationController()) {
        navigation->toolbar().setBarStyle(BarStyle::Black);
        navigation->setToolbarHidden(false);
    }
}

void OrderDetailsViewController::viewDidAppear(bool) { tableView().reloadData(); }

void OrderDetailsViewController::viewWillDisappear(bool) { stopTimer(); }

void OrderDetailsViewController::stopTimer() {
    if (elapsedTimer_) elapsedTimer_->invalidate();
    elapsedTimer_.reset();
}

// ---- sections

std::vector<OrderDetailsViewController::Section> OrderDetailsViewController::sections() {
    std::vector<Section> shown{Section::Details, Section::Tools};
    const bool quickSale = !order_->areaLocationId();
    if (Parameters::flag(Parameter::ModuleCustomerAccounts, context())) shown.push_back(Section::Customer);
    if (!quickSale || Parameters::flag(Parameter::QuickSaleUseSeats, context())) shown.push_back(Section::Seats);
    if (!quickSale && session_ && session_->isUsingGratuity()) shown.push_back(Section::Gratuity);
    return shown;
}

int OrderDetailsViewController::numberOfSections(TableView&) { return static_cast<int>(sections().size()); }

int OrderDetailsViewController::numberOfRows(TableView&, int section) {
    const auto shown = sections();
    if (section < 0 || section >= static_cast<int>(shown.size())) return 0;
    switch (shown[section]) {
    case Section::Details: return 3;
    case Section::Tools: return 4;
    default: return 1;
    }
}

std::optional<std::string> OrderDetailsViewController::titleForHeader(TableView&, int section) {
    const auto shown = sections();
    if (section < 0 || section >= static_cast<int>(shown.size())) return std::nullopt;
    static const char* const headers[] = {"Details", "Tools", "Customer", "Seats", "Gratuity"};
    return localized(headers[static_cast<int>(shown[section])]);
}

std::shared_ptr<TableViewCell> OrderDetailsViewController::cellForRow(TableView& table, IndexPath path) {
    switch (sections()[path.section]) {
    case Section::Details: return detailsCell(table, path.row);
    case Section::Tools: return toolCell(table, path.row);
    case Section::Customer: return customerCell(table);
    case Section::Seats: return seatsCell(table);
    case Section::Gratuity: return gratuityCell(table);
    }
    return nullptr;
}

std::shared_ptr<TableViewCell> OrderDetailsViewController::detailsCell(TableView& table, int row) {
    const double width = table.bounds().width() - 2 * table.groupInset();
    auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "details", Rect(0, 0, width, kRowHeight));
    View& content = cell->contentView();
    const double valueWidth = width - 140;
    content.addSubview(kit::plainLabel(
        Rect(10, 11, 110, 22), {.font = Font::boldSystem(18), .alignment = TextAlignment::Left, .tag = kCaptionTag}));
    auto value = kit::plainLabel(Rect(120, 12, valueWidth - 20, 20),
                                 {.font = Font::system(16), .alignment = TextAlignment::Right, .tag = kValueTag});
    value->setAdjustsFontSizeToFitWidth(true);
    content.addSubview(value);
    Label& caption = *labelIn(content, kCaptionTag);
    if (row == 0) {
        caption.setText(localized("Name"));
        value->setText(order_->name());
        cell->setAccessoryType(AccessoryType::DetailDisclosureButton);
    } else if (row == 1) {
        if (elapsedToggle_) {
            caption.setText(localized("Elapsed"));
            const Date created = order_->created().value_or(Date::now());
            value->setText(elapsedText(Date::now().timeIntervalSince1970() - created.timeIntervalSince1970()));
            if (!elapsedTimer_) {
                std::weak_ptr<ViewController> self = weak_from_this();
                elapsedTimer_ = Timer::scheduled(1.0, true, [self] {
                    auto screen = std::dynamic_pointer_cast<OrderDetailsViewController>(self.lock());
                    if (!screen) return;
                    if (TableViewCell* shown = screen->tableView().cellForRow(IndexPath{0, 1}))
                        if (Label* age = labelIn(shown->contentView(), kValueTag))
                            age->setText(
                                elapsedText(Date::now().timeIntervalSince1970() -
                                            screen->order()->created().value_or(Date::now()).timeIntervalSince1970()));
                });
            }
        } else {
            stopTimer();
            caption.setText(localized("Created"));
            if (order_->created()) value->setText(DateFormatter::format(*order_->created(), "MMM d, yyyy h:mm a"));
        }
    } else {
        caption.setText(localized("Type"));
        value->setText(Order::typeUILabel(order_->orderType()));
    }
    return cell;
}

std::shared_ptr<TableViewCell> OrderDetailsViewController::toolCell(TableView& table, int row) {
    const double width = table.bounds().width() - 2 * table.groupInset();
    auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "tool", Rect(0, 0, width, kRowHeight));
    cell->setSelectionStyle(SelectionStyle::None);
    struct Tool {
        const char* title;
        void (OrderDetailsViewController::*action)();
        bool enabled;
    };
    const bool hasItems = !order_->isEmpty();
    const Tool tools[] = {
        {"Void All Items", &OrderDetailsViewController::voidConfirmation, hasItems},
        {"Comp All Items", &OrderDetailsViewController::comps,
         granted(Right::Complimentary) && hasItems && !Parameters::flag(Parameter::CompsDisabled, context())},
        {"Split", &OrderDetailsViewController::split, granted(Right::Split) && hasItems},
        {"Discount", &OrderDetailsViewController::discount, granted(Right::AddDiscount) && hasItems},
    };
    const Tool& tool = tools[row];
    auto button = redButton(localized(tool.title), Rect(0, 0, width, kRowHeight));
    button->setTag(kToolTag);
    button->setAutoresizingMask(Autoresizing::FlexibleWidth);
    button->setEnabled(tool.enabled);
    auto action = tool.action;
    button->addTarget([this, action](Control&) { (this->*action)(); }, ControlEvent::TouchUpInside);
    cell->contentView().addSubview(button);
    return cell;
}

std::shared_ptr<TableViewCell> OrderDetailsViewController::customerCell(TableView& table) {
    const double width = table.bounds().width() - 2 * table.groupInset();
    auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "customer", Rect(0, 0, width, kRowHeight));
    cell->setAccessoryType(AccessoryType::DetailDisclosureButton);
    Label& text = cell->textLabel();
    if (customer_) {
        const auto name = customer_->name();
        const auto& company = customer_->companyField();
        const bool hasCompany = company && !trim(*company).empty();
        if (name && hasCompany) text.setText(format("%@ (%@)", *name, *company));
        else text.setText(name ? name : company);
        text.setTextColor(Color::black());
    } else {
        text.setText(localized("none"));
        text.setTextColor(Color::lightGray());
    }
    return cell;
}

void OrderDetailsViewController::showSeats(View& row) {
    if (Label* label = labelIn(row, kSliderLabelTag)) label->setText(format("%ld", long(order_->seats())));
    if (auto* cell = dynamic_cast<QuantityCellView*>(&row))
        cell->countLabel().setText(format("%@: %ld", localized("Seats"), long(order_->seats())));
}

std::shared_ptr<TableViewCell> OrderDetailsViewController::seatsCell(TableView& table) {
    const double width = table.bounds().width() - 2 * table.groupInset();
    const bool takeOut = order_->orderType() == OrderType::TakeOut;
    if (!Parameters::flag(Parameter::OrderSeatsSlider, context())) {
        auto cell = std::make_shared<QuantityCellView>(
            TableViewCellStyle::Default, "seats", Rect(0, 0, width, kRowHeight),
            [this](Control& sender) { plusSeat(sender); }, [this](Control& sender) { minusSeat(sender); });
        cell->plusButton().setFrame(Rect(width - 58, 2, 48, 40));
        cell->countLabel().setFrame(Rect(60, 10, width - 120, 25));
        cell->setEnabled(!takeOut);
        showSeats(*cell);
        return cell;
    }
    auto cell =
        std::make_shared<TableViewCell>(TableViewCellStyle::Default, "seatSlider", Rect(0, 0, width, kRowHeight));
    cell->setSelectionStyle(SelectionStyle::None);
    auto slider = std::make_shared<Slider>(Rect(10, 10, width - 80, 24));
    slider->setTag(kSliderTag);
    slider->setMinimumValue(1);
    slider->setMaximumValue(50);
    slider->setValue(order_->seats());
    slider->setEnabled(!takeOut);
    slider->addTarget([this](Control& sender) { seatsChanged(sender); }, ControlEvent::ValueChanged);
    cell->contentView().addSubview(slider);
    cell->contentView().addSubview(
        kit::plainLabel(Rect(width - 60, 11, 50, 22),
                        {.font = Font::boldSystem(18), .alignment = TextAlignment::Right, .tag = kSliderLabelTag}));
    showSeats(*cell);
    return cell;
}

std::shared_ptr<TableViewCell> OrderDetailsViewController::gratuityCell(TableView& table) {
    const double width = table.bounds().width() - 2 * table.groupInset();
    auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "gratuity", Rect(0, 0, width, kRowHeight));
    cell->setSelectionStyle(SelectionStyle::None);
    const long percent = order_->gratuityPercentage() / 100;
    auto slider = std::make_shared<Slider>(Rect(10, 10, width - 80, 24));
    slider->setTag(kSliderTag);
    slider->setMinimumValue(0);
    slider->setMaximumValue(100);
    slider->setValue(double(percent));
    slider->setEnabled(granted(Right::IncreaseGratuity));
    slider->addTarget([this](Control& sender) { gratuityChanged(sender); }, ControlEvent::ValueChanged);
    cell->contentView().addSubview(slider);
    auto label =
        kit::plainLabel(Rect(width - 60, 11, 50, 22),
                        {.font = Font::boldSystem(18), .alignment = TextAlignment::Right, .tag = kSliderLabelTag});
    label->setText(format("%ld%%", percent));
    cell->contentView().addSubview(label);
    return cell;
}

// ---- taps

void OrderDetailsViewController::didSelectRow(TableView& table, IndexPath path) {
    const Section section = sections()[path.section];
    if (section == Section::Details && path.row == 0) orderName();
    else if (section == Section::Details && path.row == 1) {
        elapsedToggle_ = !elapsedToggle_;
        table.reloadData();
    } else if (section == Section::Customer && customer_) showCustomer();
    table.deselectRow(path, animated());
}

void OrderDetailsViewController::accessoryButtonTapped(TableView&, IndexPath path) {
    const Section section = sections()[path.section];
    if (section == Section::Details && path.row == 0) orderName();
    else if (section == Section::Customer) showCustomers();
}

// ---- seats and gratuity

namespace {

// The stepper cell a step button belongs to; null for any other sender.
QuantityCellView* stepperOf(Control& sender) {
    if (!dynamic_cast<Button*>(&sender)) return nullptr;
    for (View* view = sender.superview(); view; view = view->superview())
        if (auto* cell = dynamic_cast<QuantityCellView*>(view)) return cell;
    return nullptr;
}

} // namespace

void OrderDetailsViewController::plusSeat(Control& sender) {
    QuantityCellView* cell = stepperOf(sender);
    if (!cell) return;
    order_->setSeats(order_->seats() + 1);
    showSeats(*cell);
}

void OrderDetailsViewController::minusSeat(Control& sender) {
    QuantityCellView* cell = stepperOf(sender);
    if (!cell || order_->seats() < 2) return;
    order_->setSeats(order_->seats() - 1);
    showSeats(*cell);
}

void OrderDetailsViewController::seatsChanged(Control& sender) {
    auto* slider = dynamic_cast<Slider*>(&sender);
    if (!slider || slider->value() == order_->seats()) return;
    order_->setSeats(static_cast<int32_t>(slider->value()));
    if (View* row = slider->superview()) showSeats(*row);
}

void OrderDetailsViewController::gratuityChanged(Control& sender) {
    auto* slider = dynamic_cast<Slider*>(&sender);
    if (!slider) return;
    const int32_t rate = static_cast<int32_t>(slider->value()) * 100;
    if (rate == order_->gratuityPercentage()) return;
    order_->setGratuityPercentage(rate);
    if (View* row = slider->superview())
        if (Label* label = labelIn(*row, kSliderLabelTag)) label->setText(format("%ld%%", long(rate / 100)));
}

void registerOrderDetailsView() {
    InterfaceRegistry& registry = InterfaceRegistry::shared();
    registry.add(OrderDetailsViewController::kInterfaceName, [](ViewController&) {
        auto table = std::make_shared<TableView>(Rect(0, 0, 320, 416), TableViewStyle::Grouped);
        table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        return std::static_pointer_cast<View>(table);
    });
    registry.addController(OrderDetailsViewController::kInterfaceName,
                           [] { return std::make_shared<OrderDetailsViewController>(); });
}

void registerDetailsScreens() {
    registerOrderDetailsView();
    registerSplitView();
}

} // namespace tavlo::screens
