#include "screens/entry/menu/MenuViewController.h"

#include "core/order/Order.h"
#include "core/order/Selection.h"
#include "core/records/Customer.h"
#include "core/records/Menu.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/SlideView.h"
#include "screens/entry/ItemEntry.h"
#include "screens/entry/menu/MenuFetchedResultsController.h"
#include "screens/entry/options/OptionScreen.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

namespace {

// The rule's values of the prefix allow `value`: none given, or one of them equals it.
bool allows(const Rule& rule, const std::string& prefix, const std::optional<std::string>& value) {
    std::vector<std::string> values = rule.valuesWithPrefix(prefix);
    return values.empty() || (value && std::find(values.begin(), values.end(), *value) != values.end());
}

} // namespace

MenuViewController::MenuViewController(std::string interfaceName) : SignedInController(std::move(interfaceName)) {}

MenuViewController::~MenuViewController() = default;

int MenuViewController::pointsValue(Parameter parameter, int fallback) const {
    const int value = Parameters::number(parameter, context());
    return value ? value : fallback;
}

uint32_t MenuViewController::supportedInterfaceOrientations() const {
    Application* app = Application::current();
    return app && app->idiom() == DeviceIdiom::Tablet ? OrientationMask::Landscape : OrientationMask::Portrait;
}

void MenuViewController::viewDidLoad() {
    menuBarHeight_ = loadMenuBar();
    loadToolBars();
    loadDefaultItems();
}

void MenuViewController::viewWillAppear(bool animated) {
    if (NavigationController* navigation = navigationController()) {
        navigation->toolbar().setBarStyle(BarStyle::Black);
        navigation->setToolbarHidden(false, animated && this->animated());
    }
    enableUndoRedo(!additions_.empty());
}

// ---- the menu bar

bool MenuViewController::hasShortcuts() {
    if (!Parameters::flag(Parameter::UseShortcuts, context())) return false;
    return !DBHelper::getObjects("Item", "shortcut > %@", -1, "shortcut", true, 1, context()).empty();
}

std::shared_ptr<Button> MenuViewController::menuButton(const std::string& title, const std::string& menuId, int tag,
                                                       bool icons, int width, int height) {
    return SlideView::button(title, tag, icons ? std::optional<std::string>(title) : std::nullopt, width, height,
                             [this, menuId](Control& sender) { changeMenu(static_cast<Button&>(sender), menuId); });
}

int MenuViewController::loadMenuBar() {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    const bool icons = defaults.boolForKey("menu_icons");
    const bool fixedWidth = defaults.boolForKey("menus_fixed_width");
    ObjectContext* store = context();
    const int fontWidth = pointsValue(Parameter::MenuFontWidth, 12);
    const int xPadding = pointsValue(Parameter::MenuXPadding, 8);
    const int yPadding = pointsValue(Parameter::MenuYPadding, 8);
    const int rows = std::max(1, Parameters::number(Parameter::RowCount, store));
    int scrollPadding = Parameters::number(Parameter::MenuScrollPadding, store);
    const int buttonHeight = icons ? 64 : 45;

    // The menus offered on this terminal's area now.
    ManagedObjectPtr terminal = DBHelper::getObject("Terminal", "terminalId==%@", terminalOf(session_.get()), store);
    ManagedObjectPtr area = terminal ? terminal->toOne("area") : nullptr;
    const std::optional<std::string> areaId = area ? area->text("areaId") : std::nullopt;
    std::vector<ManagedObjectPtr> menus;
    for (const ManagedObjectPtr& menu : DBHelper::getObjects("Menu", "disabled==%@", false, "sequence", store)) {
        if (menu->boolean("disabled")) continue;
        std::vector<ManagedObjectPtr> areas = menu->toMany("areas");
        const bool inArea = areas.empty() || std::any_of(areas.begin(), areas.end(), [&](const ManagedObjectPtr& a) {
                                return areaId && a->text("areaId") == areaId;
                            });
        if (!inArea || !Menu::isActive(*menu)) continue;
        menus.push_back(menu);
        if (!currentMenuId_) currentMenuId_ = menu->text("menuId");
    }

    const bool shortcuts = hasShortcuts();
    size_t longest = shortcuts ? characterCount(localized("Shortcuts")) : 0;
    for (const ManagedObjectPtr& menu : menus)
        longest = std::max(longest, characterCount(menu->text("name").value_or("")));
    auto widthFor = [&](const std::string& title) {
        return fontWidth * (static_cast<int>(fixedWidth ? longest : characterCount(title)) + 1);
    };

    std::vector<std::shared_ptr<Button>> buttons;
    if (shortcuts) {
        currentMenuId_ = MenuFetchedResultsController::kShortcutsMenuId;
        const std::string title = localized("Shortcuts");
        buttons.push_back(menuButton(title, MenuFetchedResultsController::kShortcutsMenuId, kShortcutsTag, icons,
                                     widthFor(title), buttonHeight));
    }
    Button* current = shortcuts ? buttons.front().get() : nullptr;
    for (const ManagedObjectPtr& menu : menus) {
        const std::string title = menu->text("name").value_or("");
        const std::string menuId = menu->text("menuId").value_or("");
        buttons.push_back(menuButton(title, menuId, intValue(menuId), icons, widthFor(title), buttonHeight));
        if (!current && menuId == currentMenuId_) current = buttons.back().get();
    }
    if (current) selectMenu(*current);

    const Rect screen = screenFrame();
    if (scrollPadding == 0 && screen.width() > 748) scrollPadding = static_cast<int>(screen.width() * 0.35);
    const int height = rows * (yPadding + buttonHeight);
    menuBar_ = SlideView::make(Rect(0, yPadding, screen.width(), height), Color::white(), buttons, rows, xPadding,
                               yPadding, scrollPadding);
    view()->addSubview(menuBar_);
    return height + yPadding;
}

void MenuViewController::selectMenu(Button& button) {
    if (lastButton_) lastButton_->setHighlighted(false);
    if (!button.isSelected()) button.setHighlighted(true);
    lastButton_ = &button;
}

bool MenuViewController::isMenuAvailable(const std::string& menuId) {
    ManagedObjectPtr menu = DBHelper::getObject("Menu", "menuId == %@", menuId, context());
    return menu && Menu::isActive(*menu);
}

MenuFetchedResultsController& MenuViewController::fetchedResultsController() {
    if (!fetchedResultsController_)
        fetchedResultsController_ =
            std::make_unique<MenuFetchedResultsController>(*context(), session_.get(), currentMenuId_);
    return *fetchedResultsController_;
}

bool MenuViewController::fetchItems(Error& error) {
    if (!context()) {
        error = Error("Tavlo", -1, "no store to read from");
        return false;
    }
    return fetchedResultsController().performFetch(&error);
}

void MenuViewController::leaveUnreadable() {
    leaveAfterReadFailure(*this, localized("Unable to read menu, contact technical support"), animated());
}

void MenuViewController::refetch() {
    if (Error error; !fetchItems(error))
        TAVLO_LOG_MAIL("Error loading customer selected menu %@", error.localizedDescription());
    else refresh();
}

void MenuViewController::changeMenu(Button& button, const std::string& menuId) {
    if (menuId != MenuFetchedResultsController::kShortcutsMenuId && !isMenuAvailable(menuId)) {
        button.setTitleColor(Color::lightGray(), ControlState::Highlighted);
        return;
    }
    currentMenuId_ = menuId;
    fetchedResultsController_.reset();
    refetch();
    // After the tap is over, which clears the button's highlight.
    std::weak_ptr<ViewController> weak = weak_from_this();
    RunLoop::main().perform([weak, &button] {
        if (auto self = weak.lock()) static_cast<MenuViewController&>(*self).selectMenu(button);
    });
}

// ---- the toolbar and the title

void MenuViewController::loadToolBars() {
    // 200 points, or what the phone's toolbar leaves between undo and redo.
    Application* app = Application::current();
    const bool pad = app && app->idiom() == DeviceIdiom::Tablet;
    lblAction_ = std::make_shared<Label>(Rect(0, 0, pad ? 200 : 170, 25));
    lblAction_->setAdjustsFontSizeToFitWidth(true);
    lblAction_->setTextAlignment(TextAlignment::Center);
    lblAction_->setFont(Font::italicSystem(16));
    lblAction_->setTextColor(Color::green());
    lblAction_->setBackgroundColor(Color::clear());
    lblAction_->setText(localized("Select an item"));

    auto help = BarButtonItem::titled("?", BarButtonStyle::Done, [this](BarButtonItem&) { itemDescription(); });
    help->setEnabled(false);
    navigationItem().setRightBarButtonItem(help);

    undoButton_ = BarButtonItem::system(SystemItem::Undo, [this](BarButtonItem&) { undo(); });
    redoButton_ = BarButtonItem::system(SystemItem::Redo, [this](BarButtonItem&) { redo(); });
    setToolbarItems({undoButton_, BarButtonItem::flexibleSpace(), BarButtonItem::withCustomView(lblAction_),
                     BarButtonItem::flexibleSpace(), redoButton_});
    // The pad's menu alone in a pane has nowhere to go back to (in the detail pane beside the order
    // the order screen hides it too); pushed over the order screen, the back button is the way to
    // the order (to send or pay it).
    NavigationController* navigation = navigationController();
    const bool overAnother = navigation && navigation->viewControllers().size() > 1;
    if (pad && !overAnother) navigationItem().setHidesBackButton(true);

    if (!order_ || !order_->isQuickSale()) {
        setTitle(localized("Menu"));
    } else if (order_->orderType() == OrderType::Refund) {
        setTitle(localized("Refund"));
    } else {
        orderTypesSupported_ = session_ ? session_->qsOrderTypes(order_->new_()) : std::vector<OrderType>{};
        if (orderTypesSupported_.size() < 2) {
            setTitle(localized("Menu"));
        } else {
            std::vector<std::string> labels;
            for (OrderType type : orderTypesSupported_) labels.push_back(Order::typeAbbreviation(type));
            orderTypes_ = std::make_shared<SegmentedControl>(labels, Rect(0, 0, 60.0 * labels.size(), 30));
            orderTypes_->setStyle(SegmentedControlStyle::Bar);
            auto found = std::find(orderTypesSupported_.begin(), orderTypesSupported_.end(), order_->orderType());
            orderTypes_->setSelectedSegmentIndex(
                found == orderTypesSupported_.end() ? 0 : static_cast<int>(found - orderTypesSupported_.begin()));
            orderTypes_->addTarget([this](Control&) { orderTypeChanged(); }, ControlEvent::AllEvents);
            navigationItem().setTitleView(orderTypes_);
        }
    }
    additions_.clear();
}

void MenuViewController::setOrderType(OrderType type) {
    order_->setOrderType(type);
    auto found = std::find(orderTypesSupported_.begin(), orderTypesSupported_.end(), type);
    if (orderTypes_ && found != orderTypesSupported_.end())
        orderTypes_->setSelectedSegmentIndex(static_cast<int>(found - orderTypesSupported_.begin()));
    if (type == OrderType::Refund) {
        navigationItem().setTitleView(nullptr);
        setTitle(localized("Refund"));
    }
}

void MenuViewController::orderTypeChanged() {
    if (!orderTypes_) return;
    const int index = orderTypes_->selectedSegmentIndex();
    if (index < 0 || index >= static_cast<int>(orderTypesSupported_.size())) return;
    const OrderType type = orderTypesSupported_[static_cast<size_t>(index)];
    order_->setOrderType(type);
    if (type == OrderType::Refund) {
        navigationItem().setTitleView(nullptr);
        setTitle(localized("Refund"));
    } else if (type == OrderType::Delivery && !order_->customerId()) {
        InterfaceRegistry& registry = InterfaceRegistry::shared();
        if (!registry.containsController(CustomerPicker::kInterfaceName)) {
            TAVLO_LOG_MAIL("No customers screen to pick the delivery's customer from");
            return;
        }
        std::shared_ptr<ViewController> customers = registry.instantiate(CustomerPicker::kInterfaceName);
        if (auto* picker = dynamic_cast<CustomerPicker*>(customers.get())) {
            picker->setObserver([this](const std::optional<Customer>& customer) { saveCustomer(customer); });
            picker->setSession(session_.get());
            picker->setAllowRemove(false);
        }
        customers->setTitle(localized("Customers"));
        auto navigation = std::make_shared<NavigationController>(customers);
        navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
        present(navigation, animated());
    }
}

void MenuViewController::saveCustomer(const std::optional<Customer>& customer) {
    if (customer) {
        order_->setCustomerId(customer->customerId());
        order_->setCustomerRemoteId(customer->remoteId());
        std::optional<std::string> name = customer->name();
        if (!name || name->empty()) name = customer->company();
        order_->setName(name && !name->empty() ? *name : std::string("-"));
    } else {
        order_->setCustomerId(std::nullopt);
        order_->setCustomerRemoteId(std::nullopt);
    }
    dismissPresented();
    if (refreshAction_) refreshAction_();
}

void MenuViewController::itemDescription() {
    alert("Error", localized("Item description not currently supported"), {"Ok"});
}

// ---- default items

void MenuViewController::loadDefaultItems() {
    defaultItems_.clear();
    currentDefaultIndex_ = 0;
    if (!session_ || !order_) return;
    const std::string orderType = format("%ld", static_cast<long>(storedNumber(order_->orderType())));
    for (const Rule& rule : session_->rules(std::string("CustomerOrderDefaultItem"))) {
        if (!allows(rule, "AREA_ID_", session_->terminalAreaId()) || !allows(rule, "ORDER_TYPE_", orderType)) continue;
        auto itemId = rule.params().find("DEFAULT_ITEM_ID");
        if (itemId == rule.params().end()) continue;
        if (ManagedObjectPtr item = DBHelper::getObject("Item", "itemId == %@", itemId->second, context()))
            defaultItems_.push_back(item);
    }
}

void MenuViewController::addDefaultItems() {
    if (defaultItems_.empty()) return;
    prepareSelection(defaultItems_[currentDefaultIndex_],
                     [this](const SelectionPtr& selection) { completeDefaultSelection(selection); });
}

void MenuViewController::completeDefaultSelection(const SelectionPtr& selection) {
    completeSelection(selection);
    if (currentDefaultIndex_ + 1 < defaultItems_.size()) {
        ++currentDefaultIndex_;
        addDefaultItems();
    } else {
        currentDefaultIndex_ = 0;
    }
}

// ---- entering an item

void MenuViewController::applyTaxExemptions(Selection& selection, const std::optional<std::string>& recipeGroup) {
    const std::string orderType = format("%ld", static_cast<long>(storedNumber(order_->orderType())));
    for (const Rule& rule : session_->rules(std::string("CustomerOrderTaxExempt"))) {
        if (!allows(rule, "RECIPE_GROUP_", recipeGroup) || !allows(rule, "ORDER_TYPE_", orderType)) continue;
        for (const std::string& taxName : rule.valuesWithPrefix("TAX_NAME_")) selection.addTaxExemption(taxName);
    }
}

bool MenuViewController::prepareSelection(const ManagedObjectPtr& item, SelectionAction action) {
    if (enterItem(item, std::move(action))) return true;
    // The item is gone or sold out: what the screen lists is read again.
    refetch();
    return false;
}

bool MenuViewController::enterItem(const ManagedObjectPtr& item, SelectionAction action) {
    ItemEntry entry(session_.get(), order_, selectSeat_, selectCourse_);
    SelectionPtr selection = entry.start(*this, item, std::move(action));
    if (!selection) return false;
    applyTaxExemptions(*selection, entry.recipeGroup());
    return true;
}

void MenuViewController::completeSelection(const SelectionPtr& selection) {
    if (!session_ || !session_->isGranted(Right::AddItem)) {
        alert("Alert", localized("You do not have the required access"), {"Ok"});
        return;
    }
    if (additions_.empty()) enableUndoRedo(true);
    if (!selection->remoteId()) selection->setRemoteId(IDBroker::getInstance().generateRemoteIdSelection());
    order_->addSelection(selection, session_.get());
    additions_.add(selection);
    if (refreshAction_) refreshAction_();
    if (selection->hasAvailability(context())) refresh();
    showAdded(*selection);
    dismissPresented();
}

void MenuViewController::dismissPresented() { ItemEntry::dismissPresented(*this, animated()); }

// ---- undo and redo

void MenuViewController::showAction(const std::string& text) { lblAction_->setText(text); }

void MenuViewController::showAdded(const Selection& selection) { showAction(SelectionAdditions::addedText(selection)); }

void MenuViewController::enableUndoRedo(bool enabled) {
    if (undoButton_) undoButton_->setEnabled(enabled);
    if (redoButton_) redoButton_->setEnabled(enabled);
}

void MenuViewController::afterChange() {
    refresh();
    if (additions_.empty()) enableUndoRedo(false);
    if (refreshAction_) refreshAction_();
}

void MenuViewController::undo() {
    if (!additions_.undo(*order_, session_.get(), std::nullopt)) return;
    if (additions_.empty()) showAction(localized("Select an item"));
    else showAdded(*additions_.last());
    afterChange();
}

void MenuViewController::redo() {
    if (!additions_.redo(*order_, session_.get())) return;
    showAdded(*additions_.last());
    afterChange();
}

void MenuViewController::forgetActions() {
    additions_.clear();
    enableUndoRedo(false);
    showAction(localized("Select an item"));
}

} // namespace tavlo::screens
