#include "screens/details/SplitViewController.h"

#include "core/order/Order.h"
#include "core/order/Selection.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/SlideView.h"

namespace tavlo::screens {

using namespace ui;

namespace {

constexpr double kStripHeight = 92;

// An order's button on the strip, its total under it; the one shown is disabled, its title still
// readable.
std::shared_ptr<Button> orderButton(const std::string& title, int tag, Control::Action action) {
    auto button = SlideView::button(title, tag, std::string("Receipt"), 64, 64, std::move(action));
    button->setTitleColor(Color::black(), ControlState::Disabled);
    auto total = std::make_shared<Label>(Rect(-6, 66, 76, 16));
    total->setTag(SplitViewController::kTotalTag);
    total->setFont(Font::boldSystem(12));
    total->setTextAlignment(TextAlignment::Center);
    total->setAdjustsFontSizeToFitWidth(true);
    total->setBackgroundColor(Color::clear());
    button->addSubview(total);
    return button;
}

} // namespace

SplitViewController::SplitViewController() : OrderTableViewController(kInterfaceName) {}

std::shared_ptr<Order> SplitViewController::orderByTag(int tag) const {
    if (tag == 0) return original_;
    if (tag >= 1 && tag <= static_cast<int>(splits_.size())) return splits_[static_cast<size_t>(tag - 1)];
    return nullptr;
}

void SplitViewController::viewDidLoad() {
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Cancel"), BarButtonStyle::Done, [this](BarButtonItem&) { cancel(); }));
    navigationItem().setRightBarButtonItem(
        BarButtonItem::titled(localized("Send"), BarButtonStyle::Done, [this](BarButtonItem&) { send(); }));
    setTitle(localized("Split Order"));

    original_ = handedIn_->clone();
    original_->setSplit(true);
    OrderTableViewController::setOrder(original_);
    tableView().setAllowsMultipleSelection(true);

    auto add =
        SlideView::button(localized("Split"), kAddTag, std::string("Add"), 64, 64, [this](Control&) { newSplit(); });
    add->setTitleColor(Color::black());
    auto source = orderButton(original_->name().value_or(""), 0, [this](Control& tapped) { selectOrder(tapped); });
    source->setEnabled(false);
    current_ = source.get();
    slideView_ =
        SlideView::make(Rect(0, 0, view()->bounds().width(), kStripHeight), Color::white(), {add, source}, 1, 5, 5);
    slideView_->setAutoresizingMask(Autoresizing::FlexibleWidth);
    view()->addSubview(slideView_);
    newSplit();
}

std::shared_ptr<TableViewCell> SplitViewController::cellForRow(TableView& table, IndexPath path) {
    std::shared_ptr<TableViewCell> cell = OrderTableViewController::cellForRow(table, path);
    // Every line here is a copy waiting to be sent: no unsent tint, so a selected row shows.
    cell->contentView().setBackgroundColor(Color::clear());
    return cell;
}

void SplitViewController::newSplit() {
    auto split = original_->shallowClone();
    split->setName(format("%@-%lu", original_->name().value_or(""), static_cast<unsigned long>(splits_.size() + 1)));
    split->setSplit(true);
    split->setRemoteId(IDBroker::getInstance().generateRemoteIdOrder());
    splits_.push_back(split);
    slideView_->addButton(orderButton(split->name().value_or(""), static_cast<int>(splits_.size()),
                                      [this](Control& tapped) { selectOrder(tapped); }));
    showTotals();
}

void SplitViewController::showTotals() {
    for (const auto& button : slideView_->buttons()) {
        auto* total = dynamic_cast<Label*>(button->viewWithTag(kTotalTag));
        std::shared_ptr<Order> order = total ? orderByTag(button->tag()) : nullptr;
        if (order) total->setText(Utils::formatCurrency(order->getTotal()));
    }
}

void SplitViewController::selectOrder(Control& tapped) {
    TableView& table = tableView();
    const std::vector<IndexPath> selected = table.indexPathsForSelectedRows();
    if (!selected.empty()) {
        std::shared_ptr<Order> receiving = orderByTag(tapped.tag());
        if (!receiving) return;
        const std::vector<SelectionPtr> lines = order()->activeSelections();
        std::vector<SelectionPtr> moved;
        for (const IndexPath& path : selected) {
            if (path.row >= static_cast<int>(lines.size())) continue;
            const SelectionPtr& line = lines[static_cast<size_t>(path.row)];
            SelectionPtr copy = line->clone();
            // A line's id comes from the line counter, like every other line's.
            copy->setRemoteId(IDBroker::getInstance().generateRemoteIdSelection());
            receiving->addSelection(copy, session_.get());
            moved.push_back(line);
        }
        for (const SelectionPtr& line : moved) order()->removeMovedSelection(line, std::nullopt, session_.get());
        for (const IndexPath& path : selected) table.deselectRow(path);
        table.reloadData();
        showTotals();
        return;
    }
    if (current_) current_->setEnabled(true);
    std::shared_ptr<Order> shown = orderByTag(tapped.tag());
    if (!shown) return;
    OrderTableViewController::setOrder(shown);
    current_ = dynamic_cast<Button*>(&tapped);
    if (current_) current_->setEnabled(false);
    table.reloadData();
}

void SplitViewController::send() {
    ActivityIndicator::show(view(), false);
    ActivityIndicator::refresh(localized("Sending"));
    std::vector<std::shared_ptr<Order>> outgoing{original_};
    for (const auto& split : splits_)
        if (!split->isEmpty()) outgoing.push_back(split);
    for (const auto& order : outgoing) {
        Error error;
        if (!order->send(*session(), &error)) {
            ActivityIndicator::hide();
            alert("Error", error.localizedDescription(), {"Ok"});
            return;
        }
        sentAny_ = true;
    }
    ActivityIndicator::hide();
    leave();
}

void SplitViewController::cancel() {
    if (!sentAny_) {
        dismiss(animated());
        return;
    }
    Error error;
    if (!keepUnsent(&error)) {
        TAVLO_LOG_MAIL("Unable to store split orders: %@", error.localizedDescription());
        alert("Error", error.localizedDescription(), {"Ok"});
        return;
    }
    leave();
}

void SplitViewController::leave() {
    if (replaceAction_) replaceAction_(original_);
    if (action_) action_();
    dismiss(animated());
}

bool SplitViewController::keepUnsent(Error* error) {
    ObjectContext* context = SplitViewController::context();
    bool kept = false;
    for (const auto& split : splits_) {
        if (split->isEmpty() || !split->modified()) continue;
        split->write(*context);
        kept = true;
    }
    return !kept || context->save(error);
}

void registerSplitView() {
    InterfaceRegistry::shared().add(SplitViewController::kInterfaceName, [](ViewController& owner) {
        auto root = std::make_shared<View>(Rect(0, 0, 320, 416));
        root->setBackgroundColor(Color::white());
        auto table = std::make_shared<TableView>(Rect(0, kStripHeight, 320, 416 - kStripHeight), TableViewStyle::Plain);
        table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        root->addSubview(table);
        owner.connect("tableView", table);
        return root;
    });
}

} // namespace tavlo::screens
