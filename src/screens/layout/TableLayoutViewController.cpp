#include "screens/layout/TableLayoutViewController.h"

#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

TableLayoutViewController::TableLayoutViewController(std::shared_ptr<TableLayoutView> planView)
    : SignedInController(kInterfaceName), planView_(std::move(planView)) {
    if (!planView_) planView_ = std::make_shared<TableLayoutView>(Rect(0, 0, kPlanWidth, kPlanHeight));
    planView_->setBackgroundColor(Color::white());
}

TableLayoutViewController::~TableLayoutViewController() {
    // The picker and the scroll view hold this controller as their data source and delegates.
    if (picker_) {
        picker_->setDataSource(nullptr);
        picker_->setDelegate(nullptr);
    }
    if (isViewLoaded()) scrollView().setDelegate(nullptr);
}

void TableLayoutViewController::setSession(std::shared_ptr<Session> session) {
    keepSession(std::move(session));
    planView_->setSession(session_);
    readAreas();
}

void TableLayoutViewController::setObserver(TableSelected selected, Action logout, Action orders) {
    selected_ = std::move(selected);
    logout_ = std::move(logout);
    orders_ = std::move(orders);
}

ScrollView& TableLayoutViewController::scrollView() const {
    return static_cast<ScrollView&>(*const_cast<TableLayoutViewController*>(this)->view());
}

void TableLayoutViewController::readAreas() {
    areas_.clear();
    ObjectContext* context = contextOf(session_.get());
    if (!context) return;
    // Disabled areas are not offered, as in the area list.
    for (const ManagedObjectPtr& row :
         context->fetch(FetchRequest("Area", Predicate::format("disabled == NO"), {{"name"}}))) {
        Area area;
        area.read(*row);
        if (!area.locations().empty()) areas_.push_back(std::move(area));
    }
    std::optional<std::string> displayed = session_->terminalDisplayArea();
    auto shown =
        std::find_if(areas_.begin(), areas_.end(), [&](const Area& a) { return displayed && a.areaId() == displayed; });
    if (shown == areas_.end() && !areas_.empty()) shown = areas_.begin();
    planView_->setArea(shown == areas_.end() ? std::nullopt : std::optional<Area>(*shown));
}

void TableLayoutViewController::loadView() {
    auto scroll = std::make_shared<ScrollView>(screenFrame());
    scroll->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    scroll->setBackgroundColor(Color::darkGray());
    scroll->addSubview(planView_);
    scroll->setContentSize(planView_->frame().size);
    setView(scroll);
}

void TableLayoutViewController::viewDidLoad() {
    setupZooming();
    pickerField_ = std::make_shared<TextField>(Rect(0, 0, 1, 1));
    pickerField_->setHidden(true);
    view()->addSubview(pickerField_);
    picker_ = std::make_shared<PickerView>(Rect(0, 0, view()->bounds().width(), 216));
    picker_->setShowsSelectionIndicator(true);
    pickerField_->setInputView(picker_);
    auto bar = std::make_shared<Toolbar>(Rect(0, 0, view()->bounds().width(), Toolbar::kHeight));
    bar->setBarStyle(BarStyle::Black);
    bar->setItems({BarButtonItem::system(SystemItem::Cancel, [this](BarButtonItem&) { closePicker(); }),
                   BarButtonItem::flexibleSpace(),
                   BarButtonItem::system(SystemItem::Done, [this](BarButtonItem&) { closePicker(); })});
    pickerField_->setInputAccessoryView(bar);
}

void TableLayoutViewController::buildToolbar() {
    const std::optional<Area>& area = planView_->area();
    areaButton_ = BarButtonItem::titled(area ? area->name().value_or("") : std::string(), BarButtonStyle::Done,
                                        [this](BarButtonItem&) { someButtonTouched(); });
    auto done = [](const char* title, const Action& action) {
        return BarButtonItem::titled(localized(title), BarButtonStyle::Done, [action](BarButtonItem&) {
            if (action) action();
        });
    };
    // Without areas there is nothing to pick: no area button.
    BarItems items{done("Logout", logout_), BarButtonItem::flexibleSpace()};
    if (area) items.insert(items.end(), {areaButton_, BarButtonItem::flexibleSpace()});
    items.push_back(done("Orders", orders_));
    setToolbarItems(items);
}

void TableLayoutViewController::viewWillAppear(bool) {
    buildToolbar();
    if (NavigationController* navigation = navigationController()) {
        navigation->setToolbarHidden(false, true);
        navigation->setNavigationBarHidden(true);
    }
    setupPicker();
    centerScrollViewContents();
}

void TableLayoutViewController::viewDidAppear(bool) {
    // The first showing refreshes only when the opener asked for it.
    if (updateOnAppear_) refreshOrders();
    else updateOnAppear_ = true;
    // A host stand keeps the plan in sight: colours and times follow every order sent or read.
    // The handlers post from their own threads; the plan is drawn on the main one.
    std::weak_ptr<ViewController> self = weak_from_this();
    ordersChange_ = ScopedObserver(OrderHandler::kOrdersChangeNotification, nullptr, [self](const Notification&) {
        performOnMainThread([self] {
            if (auto layout = std::static_pointer_cast<TableLayoutViewController>(self.lock())) layout->refreshView();
        });
    });
}

void TableLayoutViewController::viewWillDisappear(bool) { ordersChange_.reset(); }

uint32_t TableLayoutViewController::supportedInterfaceOrientations() const { return OrientationMask::Landscape; }

void TableLayoutViewController::showArea(const Area& area) {
    planView_->setArea(area);
    if (areaButton_) areaButton_->setTitle(area.name().value_or(""));
    refreshView();
}

void TableLayoutViewController::refreshView() {
    planView_->setNeedsDisplay();
    planView_->displayIfNeeded();
}

void TableLayoutViewController::refreshOrders() {
    if (!session_ || session_->isLite()) return;
    ObjectContext* context = contextOf(session_.get());
    Error error;
    std::shared_ptr<OrderHandler> handler = OrderHandler::instance();
    bool updated =
        handler && handler->updateOrderSummaries(session_->storeId(), session_->password(), session_->userId(),
                                                 CommHelper::gateway().value_or(""), true, context, &error);
    if (!handler) error = Error(Utils::kStoreServerErrorDomain, -1, "No order handler");
    if (updated) return refreshView();
    if (Parameters::flag(Parameter::AlertLayoutRefreshErrors, context))
        alert("Alert", error.localizedDescription(), {"Ok"});
    TAVLO_LOG("Error refreshing table layout orders: %@", error.localizedDescription());
}

void registerTableLayoutScreen() {
    InterfaceRegistry::shared().addController(TableLayoutViewController::kInterfaceName,
                                              [] { return std::make_shared<TableLayoutViewController>(); });
}

} // namespace tavlo::screens
