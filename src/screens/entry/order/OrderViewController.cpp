#include "screens/entry/order/OrderViewController.h"

#include "core/order/NewOrder.h"
#include "core/order/Order.h"
#include "core/order/OrderDiscount.h"
#include "core/order/OrderTax.h"
#include "core/order/Selection.h"
#include "core/records/Customer.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Toolbar.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/PadPanes.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/prompts/AmountViewController.h"
#include "screens/common/prompts/SeatsViewController.h"
#include "screens/common/prompts/TextViewController.h"
#include "screens/entry/menu/MenuButtonsViewController.h"
#include "screens/entry/menu/MenuViewController.h"
#include "screens/entry/menu/SlideMenuViewController.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"

namespace tavlo::screens {

using namespace ui;

namespace {

Error screenError(const std::string& message) { return Utils::getError(localized(message), "Tavlo", -1); }

} // namespace

OrderViewController::OrderViewController() : OrderTableViewController(kInterfaceName) {}

OrderViewController::~OrderViewController() = default;

Label* OrderViewController::label(const char* name) const { return outlet<Label>(name); }

Button* OrderViewController::button(const char* name) const { return outlet<Button>(name); }

// ---- loading

void OrderViewController::viewDidLoad() {
    setSelectionTaxes(Parameters::flag(Parameter::ShowSelectionTax, context()));
    if (session() && !session()->isLite()) {
        if (auto handler = OrderHandler::instance()) {
            handler->pause();
            handlerPaused_ = true;
        }
    }
    Error error;
    std::shared_ptr<Order> loaded;
    if (!session()) {
        error = screenError("Unable to find order specified");
    } else if (session()->orderTypes().empty()) {
        TAVLO_LOG_MAIL("No order type defined");
        error = screenError("No order type has been defined. Please contact Tavlo support");
    } else if (session()->isLite() && !session()->isStoreOpen()) {
        error = screenError("Store is currently closed. A manager must open the store before taking orders.");
    } else if (remoteId_) {
        loaded = loadOrder(error);
    } else {
        loaded = makeNewOrder(*session(), areaLocationId_);
        if (loaded) remoteId_ = loaded->remoteId();
    }
    completeViewDidLoad(loaded, error);
}

std::shared_ptr<Order> OrderViewController::loadOrder(Error& error) {
    ObjectContext* moc = context();
    if (!session()->isLite()) {
        ActivityIndicator::show(view());
        ActivityIndicator::refresh(localized("Getting order"));
        std::vector<std::shared_ptr<Order>> orders;
        std::shared_ptr<Order> fetched;
        Error fetchError;
        if (CommHelper::getOrder(*remoteId_, CommHelper::gateway().value_or(""), session()->userId(),
                                 CommHelper::loadOrders(orders, moc), moc, &fetchError) &&
            !orders.empty()) {
            fetched = orders.front();
            fetched->write(*moc);
            if (Error saveError; !moc->save(&saveError))
                TAVLO_LOG_MAIL("Unable to save order %@", saveError.localizedDescription());
        } else {
            error = fetchError.isSet() ? fetchError : screenError("Unable to find order specified");
        }
        ActivityIndicator::hide();
        return fetched;
    }
    ManagedObjectPtr row = moc->fetchFirst("Order", "remoteId == %@", *remoteId_);
    if (!row) {
        error = screenError("Unable to find order specified");
        return nullptr;
    }
    return std::make_shared<Order>(*row, moc);
}

void OrderViewController::completeViewDidLoad(std::shared_ptr<Order> order, const Error& error) {
    if (!order) {
        alert(error.code() != 0 ? "Error" : "Warning", error.localizedDescription(), {"Ok"});
        if (error.code() >= 1 && session()) session()->invalidate();
        return;
    }
    if (!order->isOpen()) {
        alert("Error", localized("Order was already closed"), {"Ok"});
        return;
    }
    if (order->serverId() != session()->userId() && !session()->isGranted(Right::AllOrders) &&
        !session()->isGranted(Right::AllAreaOrders)) {
        alert("Alert",
              localized("Unable to work on an order opened by somebody else. If you need to work on it, have the "
                        "manager transfer it to you"),
              {"Ok"});
        return;
    }
    setOrder(std::move(order));
    setupOrderScreen();
}

void OrderViewController::setupOrderScreen() {
    ObjectContext* moc = context();
    setCourseView(Parameters::flag(Parameter::CourseView, moc));
    setSeatView(Parameters::flag(Parameter::SeatView, moc));
    if (!order()->terminalId()) order()->setTerminalId(session()->terminalId());
    setTitleButton(order()->name().value_or(""));
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Cancel"), BarButtonStyle::Done, [this](BarButtonItem&) { cancel(); }));

    setupPicker();
    std::string serverName;
    if (ManagedObjectPtr user = moc->fetchFirst("User", "(userId == %@)", order()->serverId().value_or("")))
        serverName = user->text("name").value_or("");
    if (session()->isGranted(Right::TransferOrder) && !servers_.empty()) {
        btnServer_ =
            BarButtonItem::titled(serverName, BarButtonStyle::Plain, [this](BarButtonItem&) { someButtonTouched(); });
    } else {
        auto name = std::make_shared<Label>(Rect(0, 0, 160, 30));
        name->setText(serverName);
        name->setTextAlignment(TextAlignment::Center);
        name->setFont(Font::system(16));
        name->setTextColor(Color::white());
        name->setAdjustsFontSizeToFitWidth(true);
        name->setBackgroundColor(Color::clear());
        btnServer_ = BarButtonItem::withCustomView(name);
    }
    btnPrint_ =
        BarButtonItem::titled(localized("Print"), BarButtonStyle::Done, [this](BarButtonItem&) { printCommand(); });
    setToolbarItems({BarButtonItem::titled(localized("Send"), BarButtonStyle::Done, [this](BarButtonItem&) { send(); }),
                     BarButtonItem::flexibleSpace(), btnServer_, BarButtonItem::flexibleSpace(), btnPrint_});
    OrderTableViewController::setQuickSale(!areaLocationId_);
    if (order()->new_()) newOrderPrompts();
    setPlusAction([this](Control& tapped) { amountPressed(tapped); });
    if (isPad()) menu();
    else
        navigationItem().setRightBarButtonItem(
            BarButtonItem::system(SystemItem::Add, [this](BarButtonItem&) { menu(); }));
}

void OrderViewController::setTitleButton(const std::string& name) {
    auto title = Button::make(ButtonType::RoundedRect, Rect(0, 0, 180, 32));
    title->setTitle(name);
    title->setTitleColor(Color::white());
    title->setBackgroundColor(Color(0.75, 0.12, 0.12));
    title->addTarget([this](Control&) { orderDetails(); }, ControlEvent::TouchDown);
    navigationItem().setTitleView(title);
    setTitle(name);
}

void OrderViewController::setupPicker() {
    servers_.clear();
    serverIdsOrdered_.clear();
    ObjectContext* moc = context();
    for (const ManagedObjectPtr& user : moc->fetch(FetchRequest("User", std::nullopt, {{"name"}}))) {
        if (user->boolean("disabled")) continue;
        const auto userId = user->text("userId");
        if (!session()->isGranted(Right::StoreLogin, user)) continue;
        if (!session()->isClockedIn(userId) && !session()->isGranted(Right::AllowLoginWithoutClockIn, user)) continue;
        serverIdsOrdered_.push_back(userId.value_or(""));
        servers_[userId.value_or("")] = user->text("name").value_or("");
    }
}

void OrderViewController::chooseServer(int row) {
    if (row < 0 || row >= static_cast<int>(serverIdsOrdered_.size()) || !order()) return;
    const std::string chosen = serverIdsOrdered_[row];
    const auto previous = order()->serverId();
    order()->setServerId(chosen);
    order()->addLog(std::string("transferOrder"), order()->name(), std::string("Changed order owner"),
                    session()->userId(), std::nullopt, session()->terminalId(), previous, chosen, session_.get());
    if (btnServer_) btnServer_->setTitle(servers_[chosen]);
    view()->setNeedsDisplay();
}

void OrderViewController::someButtonTouched() {
    if (pickerPanel_) return;
    const Rect bounds = view()->bounds();
    constexpr double toolbarHeight = 44, pickerHeight = 216;
    pickerPanel_ = std::make_shared<View>(
        Rect(0, bounds.height() - toolbarHeight - pickerHeight, bounds.width(), toolbarHeight + pickerHeight));
    pickerPanel_->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleTopMargin);
    pickerPanel_->setBackgroundColor(Color::white());
    auto toolbar = std::make_shared<Toolbar>(Rect(0, 0, bounds.width(), toolbarHeight));
    toolbar->setBarStyle(BarStyle::Black);
    toolbar->setAutoresizingMask(Autoresizing::FlexibleWidth);
    toolbar->setItems({BarButtonItem::system(SystemItem::Cancel, [this](BarButtonItem&) { closeServerPicker(); }),
                       BarButtonItem::flexibleSpace(),
                       BarButtonItem::system(SystemItem::Done, [this](BarButtonItem&) { transferToPickedServer(); })});
    pickerPanel_->addSubview(toolbar);
    serverPicker_ = std::make_shared<PickerView>(Rect(0, toolbarHeight, bounds.width(), pickerHeight));
    serverPicker_->setAutoresizingMask(Autoresizing::FlexibleWidth);
    serverPicker_->setShowsSelectionIndicator(true);
    serverPicker_->setDataSource(this);
    serverPicker_->setDelegate(this);
    const auto current =
        std::find(serverIdsOrdered_.begin(), serverIdsOrdered_.end(), order()->serverId().value_or(""));
    serverPicker_->selectRow(current == serverIdsOrdered_.end() ? 0 : int(current - serverIdsOrdered_.begin()), 0);
    pickerPanel_->addSubview(serverPicker_);
    view()->addSubview(pickerPanel_);
}

void OrderViewController::closeServerPicker() {
    if (pickerPanel_) pickerPanel_->removeFromSuperview();
    pickerPanel_.reset();
    serverPicker_.reset();
}

std::optional<std::string> OrderViewController::titleForRow(PickerView&, int row, int) {
    if (row < 0 || row >= static_cast<int>(serverIdsOrdered_.size())) return std::nullopt;
    return servers_[serverIdsOrdered_[row]];
}

// Turning the wheel only marks a server: Done transfers the order, Cancel leaves it as it was.
void OrderViewController::didSelectRow(PickerView&, int, int) {}

void OrderViewController::transferToPickedServer() {
    const int row = serverPicker_ ? serverPicker_->selectedRow(0) : -1;
    if (row >= 0 && row < static_cast<int>(serverIdsOrdered_.size()) && order() &&
        order()->serverId() != serverIdsOrdered_[row])
        chooseServer(row);
    closeServerPicker();
}

// ---- opening questions

void OrderViewController::newOrderPrompts() {
    loadDefaultItems_ = true;
    if (quickSale()) {
        promptForName_ = Parameters::flag(Parameter::QuickSalePromptName, context());
        promptForOrderType_ = Parameters::flag(Parameter::PromptOrderType, context()) ||
                              Parameters::flag(Parameter::QuickSalePromptOrderType, context());
        if (Parameters::flag(Parameter::AllowSeats, context())) {
            if (seatView()) promptForSeats_ = Parameters::flag(Parameter::SeatViewSetSeats, context());
            if (!promptForSeats_) promptForSeats_ = Parameters::flag(Parameter::ForceSetSeats, context());
        }
    } else {
        // A table order always asks when the store forces a guest count: it starts with none.
        if (seatView() && order()->orderType() == OrderType::TakeOut)
            promptForSeats_ = Parameters::flag(Parameter::SeatViewSetSeats, context());
        if (!promptForSeats_) promptForSeats_ = Parameters::flag(Parameter::ForceSetSeats, context());
    }
    promptForMenu_ = !isPad();
}

void OrderViewController::presentSheet(const std::shared_ptr<ViewController>& screen, bool inNavigation) {
    std::shared_ptr<ViewController> shown = screen;
    if (inNavigation) shown = std::make_shared<NavigationController>(screen);
    shown->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    present(shown, animated());
}

// Sheets are presented from the outermost container: the navigation controller on the phone, the
// split view holding both panes on the pad.
void OrderViewController::dismissPresented() {
    ViewController* presenter = this;
    while (presenter->parentViewController()) presenter = presenter->parentViewController();
    if (presenter->presentedViewController()) presenter->dismiss(animated());
}

// A sheet that left this screen in sight brings no new appearance, so the check runs now; one that
// covered it runs when the screen appears again.
void OrderViewController::dismissSheet() {
    const bool stayedInSight = isVisible();
    dismissPresented();
    if (stayedInSight) setupScreen();
}

bool OrderViewController::promptAsNeeded() {
    if (promptForOrderType_) {
        promptForOrderType_ = false;
        std::vector<std::string> types;
        for (OrderType type : session()->qsOrderTypes(true)) types.push_back(Order::typeUILabel(type));
        if (!types.empty()) {
            alert("Order Type", std::nullopt, {std::nullopt, types}, [this, types](int button) {
                if (button >= 0 && button < static_cast<int>(types.size())) orderTypeChosen(types[button]);
            });
        }
        return true;
    }
    if (promptForCustomer_) {
        promptForCustomer_ = false;
        std::shared_ptr<ViewController> customers =
            InterfaceRegistry::shared().instantiate(CustomerPicker::kInterfaceName);
        if (auto* picker = dynamic_cast<CustomerPicker*>(customers.get())) {
            picker->setSession(session_.get());
            picker->setAllowRemove(false);
            picker->setObserver([this](const std::optional<Customer>& customer) { saveCustomer(customer); });
        }
        customers->setTitle(localized("Customers"));
        presentSheet(customers, true);
        return true;
    }
    if (promptForName_) {
        promptForName_ = false;
        auto text = std::make_shared<TextViewController>();
        text->setTitle(localized("Order Name"));
        text->setText(order()->name());
        text->setMaxLength(128);
        text->setObserver(
            [this](const std::optional<std::string>& value, const std::optional<std::string>&) { saveName(value); });
        presentSheet(text, true);
        return true;
    }
    if (promptForSeats_) {
        promptForSeats_ = false;
        if (Parameters::flag(Parameter::SeatsUseScroller, context())) {
            auto seats = std::make_shared<SeatsViewController>();
            seats->setUseAnimation(animated());
            seats->setOrder(order());
            seats->setObserver([this] { promptAsNeeded(); });
            presentSheet(seats, true);
        } else {
            auto amount = std::make_shared<AmountViewController>();
            amount->setAmount(std::string("1"));
            amount->setDecimals(0);
            amount->setTitle(localized("Enter seats"));
            amount->setAllowNothing(false);
            amount->setAllowCancel(false);
            amount->setObserver([this](const std::optional<std::string>& value, const std::optional<std::string>&) {
                saveSeats(value);
            });
            presentSheet(amount, true);
        }
        return true;
    }
    if (promptForMenu_) {
        menu();
        return true;
    }
    if (loadDefaultItems_) {
        if (menuView_) menuView_->addDefaultItems();
        loadDefaultItems_ = false;
        return true;
    }
    return false;
}

void OrderViewController::orderTypeChosen(const std::string& title) {
    const OrderType type = Order::typeFromUILabel(title);
    order()->setOrderType(type);
    if (menuView_) menuView_->setOrderType(type);
    if (quickSale() && type == OrderType::Delivery) promptForCustomer_ = true;
    setupScreen();
}

void OrderViewController::saveName(const std::optional<std::string>& name) {
    if (name && !name->empty() && name != order()->name()) {
        order()->setName(name);
        setTitleButton(*name);
    }
    dismissSheet();
}

void OrderViewController::saveCustomer(const std::optional<Customer>& customer) {
    if (!customer) {
        order()->setCustomerId(std::nullopt);
        order()->setCustomerRemoteId(std::nullopt);
    } else {
        order()->setCustomerId(customer->customerId());
        order()->setCustomerRemoteId(customer->remoteId());
        std::string name = customer->name().value_or(customer->company().value_or("-"));
        order()->setName(name);
        setTitleButton(name);
    }
    dismissSheet();
}

void OrderViewController::saveSeats(const std::optional<std::string>& seats) {
    order()->setSeats(seats ? intValue(*seats) : 0);
    setDueCaption();
    dismissSheet();
}

void OrderViewController::menu() {
    if (isPad() && menuView_) {
        promptForMenu_ = false;
        return;
    }
    menuView_.reset();
    // A controller registered under the menu's name stands in for it (tests register their own).
    const bool list = Parameters::flag(Parameter::MenuList, context());
    const char* name = list ? SlideMenuViewController::kInterfaceName : MenuButtonsViewController::kInterfaceName;
    std::shared_ptr<ViewController> made;
    if (InterfaceRegistry::shared().containsController(name)) made = InterfaceRegistry::shared().instantiate(name);
    else if (list) made = std::make_shared<SlideMenuViewController>();
    else made = std::make_shared<MenuButtonsViewController>();
    menuView_ = std::dynamic_pointer_cast<MenuViewController>(made);
    promptForMenu_ = false;
    if (!menuView_) return;
    menuView_->setOrder(order());
    menuView_->setSession(session_.get());
    menuView_->setSelectSeat(seatView());
    menuView_->setSelectCourse(courseView());
    if (isPad()) {
        menuView_->setRefreshAction([this] { refresh(); });
        // Beside this screen, in the detail pane, where the order stays in sight and a back button
        // would only empty the pane. A pad screen shown without the shell's panes has the menu over it.
        if (loadDetailView(menuView_)) menuView_->navigationItem().setHidesBackButton(true);
        else if (NavigationController* navigation = navigationController()) navigation->push(menuView_, animated());
    } else if (NavigationController* navigation = navigationController()) {
        navigation->push(menuView_, animated());
    }
}

NavigationController* OrderViewController::detailPane() const {
    PadPanes* panes = isPad() ? PadPanes::current() : nullptr;
    return panes ? panes->detailNavigation() : nullptr;
}

bool OrderViewController::loadDetailView(std::shared_ptr<ViewController> screen) {
    if (!detailPane()) return false;
    PadPanes::current()->pushDetailsView(std::move(screen), animated());
    return true;
}

// ---- the screen check and the totals

void OrderViewController::viewWillAppear(bool animated) {
    OrderTableViewController::viewWillAppear(animated);
    if (NavigationController* navigation = navigationController()) navigation->setToolbarHidden(false, animated);
    setDueCaption();
}

void OrderViewController::viewDidAppear(bool animated) {
    OrderTableViewController::viewDidAppear(animated);
    setupScreen();
}

void OrderViewController::setDueCaption() {
    Label* caption = label("lblDue");
    if (!caption || !order()) return;
    const bool gratuity = session()->isUsingGratuity() && order()->seats() >= order()->gratuityMinSeats();
    caption->setText(localized(gratuity ? "Due + gratuity" : "Due"));
}

void OrderViewController::setupScreen() {
    if (!order() || !session() || !session()->isValid()) {
        cancelAndRefreshOrders();
        return;
    }
    if (!order()->isOpen()) {
        if (!quickSale()) {
            cancelAndRefreshOrders();
            return;
        }
        std::shared_ptr<Order> fresh = makeNewOrder(*session(), areaLocationId_);
        if (!fresh) {
            alert("Error", localized("Unable to create new order, verify the device has space available"), {"OK"});
            TAVLO_LOG("Unable to create new order (%@)", std::string());
            cancelAndRefreshOrders();
            return;
        }
        setOrder(fresh);
        remoteId_ = fresh->remoteId();
        if (menuView_) {
            // The lines the menu added belong to the sale that closed: its undo list starts empty.
            menuView_->setOrder(fresh);
            menuView_->forgetActions();
        }
        setTitleButton(fresh->name().value_or(""));
        newOrderPrompts();
        promptAsNeeded();
        refresh();
        return;
    }
    if (order()->new_()) promptAsNeeded();
    refresh();
}

int32_t OrderViewController::unpaidGratuity() const {
    return std::max(0, order()->getGratuity() - order()->getGratuityPaid());
}

int32_t OrderViewController::dueShown() const { return order()->getDue() + unpaidGratuity(); }

bool OrderViewController::isSettled() const { return order()->getDue() == 0 && unpaidGratuity() == 0; }

void OrderViewController::refresh() {
    if (!order()) return;
    // The menu beside the order on the pad renames it too (a delivery's customer).
    if (title() != order()->name()) setTitleButton(order()->name().value_or(""));
    const int sign = order()->orderType() == OrderType::Refund ? -1 : 1;
    auto show = [this](const char* name, int64_t cents) {
        if (Label* shown = label(name)) shown->setText(Utils::formatCurrency(cents));
    };
    show("subTotal", sign * int64_t(order()->getSubTotal()));
    show("discount", sign * (int64_t(order()->getDiscountTotal()) + order()->getCompTotal()));
    show("taxLbl", sign * int64_t(order()->getTaxTotal()));
    show("total", sign * int64_t(order()->getTotal()));
    show("due", dueShown());
    tableView().reloadData();
    if (btnPrint_) btnPrint_->setEnabled(!order()->isEmpty());
    if (Button* close = button("close")) close->setEnabled(order()->getDue() < 0 || isSettled());
    if (!quickSale()) return;
    if (Button* total = button("totalButton"))
        if (Parameters::flag(Parameter::QuickSaleShowTotalButton, context()) && order()->modified())
            total->setHidden(false);
    if (session()->isLite()) {
        Button* exact = button("payExact");
        Button* up = button("payUp");
        if (!exact || !up) return;
        up->setHidden(Parameters::flag(Parameter::HidePayUp, context()));
        exact->setHidden(Parameters::flag(Parameter::HidePayExact, context()));
        // The buttons pay the due the due label shows, gratuity included, so that paying it
        // leaves nothing open.
        const int32_t due = std::max(0, dueShown());
        const bool payable = due >= 1 && !order()->isEmpty();
        exact->setEnabled(payable && !exact->isHidden());
        up->setEnabled(payable && !up->isHidden());
        const int32_t rounded = due % 100 != 0 ? (due / 100 + 1) * 100 : due;
        exact->setTitle(Utils::formatCurrency(due));
        up->setTitle(Utils::formatCurrency(rounded));
    } else if (Label* big = label("lblBigDue")) {
        big->setText(label("due") ? label("due")->text() : std::nullopt);
        big->setHidden(false);
    }
}

// ---- rows, details

void OrderViewController::didSelectRow(TableView& table, IndexPath path) {
    const int selections = static_cast<int>(order()->activeSelections().size());
    if (path.row < selections) {
        std::shared_ptr<ViewController> editor;
        if (InterfaceRegistry::shared().containsController(OrderTaskScreen::kSelectionInterface))
            editor = InterfaceRegistry::shared().instantiate(OrderTaskScreen::kSelectionInterface);
        if (auto* screen = dynamic_cast<SelectionEditorScreen*>(editor.get())) {
            screen->setSession(session_.get());
            screen->setOrder(order());
            screen->setSelection(sortedSelections()[static_cast<size_t>(path.row)]);
            screen->setMenuView(menuView_);
            if (NavigationController* navigation = navigationController()) navigation->push(editor, animated());
        }
        table.deselectRow(path);
        return;
    }
    table.deselectRow(path);
    discountRow_ = path.row;
    alert("Would you like to remove the discount?", std::nullopt, {"No", {localized("Yes")}}, [this](int button) {
        if (button == 1) removeTappedDiscount();
    });
}

void OrderViewController::removeTappedDiscount() {
    if (!order()) return;
    const auto discounts = order()->activeDiscounts();
    const int at = discountRow_ - static_cast<int>(order()->activeSelections().size());
    if (at < 0 || at >= static_cast<int>(discounts.size())) return;
    order()->removeDiscount(discounts[at]);
    refresh();
}

void OrderViewController::orderDetails() {
    if (!order() || !InterfaceRegistry::shared().containsController(OrderTaskScreen::kOrderDetailsInterface)) return;
    std::shared_ptr<ViewController> details =
        InterfaceRegistry::shared().instantiate(OrderTaskScreen::kOrderDetailsInterface);
    if (auto* screen = dynamic_cast<OrderReplacingScreen*>(details.get())) {
        screen->setSession(session_.get());
        screen->setOrder(order());
        screen->setReplaceAction([this](std::shared_ptr<Order> replaced) { replaceOrder(replaced); });
    }
    if (NavigationController* navigation = navigationController()) navigation->push(details, animated());
}

void OrderViewController::replaceOrder(const std::shared_ptr<Order>& replaced) {
    // The split screen sent the order as it left it, its moved lines voided there (once, their
    // stock kept): the screen shows it as stored.
    if (replaced) readOrderAgain();
    refresh();
}

} // namespace tavlo::screens
