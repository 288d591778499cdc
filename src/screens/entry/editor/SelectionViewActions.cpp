// The editor's actions: the price, the comment, the comp, and the quantity with its voids.
#include "core/order/Order.h"
#include "core/order/Selection.h"
#include "core/records/Menu.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "screens/common/QuantityCellView.h"
#include "screens/common/prompts/AmountViewController.h"
#include "screens/common/prompts/AuthenticateViewController.h"
#include "screens/common/prompts/TextViewController.h"
#include "screens/entry/editor/SelectionViewController.h"
#include "screens/entry/menu/MenuViewController.h"

namespace tavlo::screens {

using namespace ui;

namespace {

constexpr const char* kNoAccess = "You do not have the required access";

// The prompt's answer goes to the editor while it is there.
PromptViewController::Observer answerTo(const std::shared_ptr<ViewController>& editor,
                                        void (SelectionViewController::*answer)(const std::optional<std::string>&)) {
    std::weak_ptr<ViewController> weak = editor;
    return [weak, answer](const std::optional<std::string>& value, const std::optional<std::string>&) {
        if (auto self = std::static_pointer_cast<SelectionViewController>(weak.lock())) ((*self).*answer)(value);
    };
}

} // namespace

void SelectionViewController::presentSheet(const std::shared_ptr<ViewController>& prompt) {
    auto navigation = std::make_shared<NavigationController>(prompt);
    navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    present(navigation, animated());
}

// ---- price and comment

void SelectionViewController::price() {
    if (!session_ || !session_->isGranted(Right::ModifyItemPrice)) return alert("Alert", localized(kNoAccess), {"OK"});
    auto prompt = std::make_shared<AmountViewController>();
    prompt->setTitle(localized("Price Modification"));
    prompt->setDecimals(2);
    prompt->setAmount(Utils::formatCurrency(selection_->price()));
    prompt->setAllowCancel(false);
    prompt->setUseAnimation(animated());
    prompt->setObserver(answerTo(shared_from_this(), &SelectionViewController::savePrice));
    presentSheet(prompt);
}

void SelectionViewController::savePrice(const std::optional<std::string>& text) {
    if (text) selection_->setPrice(Utils::parseCurrency(text));
    dismiss(animated());
}

void SelectionViewController::comments() {
    if (!session_ || !session_->isGranted(Right::Comments)) return alert("Alert", localized(kNoAccess), {"OK"});
    auto prompt = std::make_shared<TextViewController>();
    prompt->setTitle(localized("Comments"));
    prompt->setText(selection_->comment());
    prompt->setMaxLength(250);
    prompt->setUseAnimation(animated());
    prompt->setObserver(answerTo(shared_from_this(), &SelectionViewController::saveComment));
    presentSheet(prompt);
}

void SelectionViewController::saveComment(const std::optional<std::string>& text) {
    // An answer that changes nothing leaves the line unmodified.
    if (text) {
        const bool hadComment = selection_->comment() && !selection_->comment()->empty();
        if (text->empty() ? hadComment : text != selection_->comment())
            selection_->setComment(text->empty() ? std::nullopt : text);
    }
    dismiss(animated());
}

// ---- comp

void SelectionViewController::comps() {
    if (Parameters::flag(Parameter::CompsDisabled, context()))
        return alert("Alert", localized("Comps disabled on handhelds"), {"Ok"});
    if (!InterfaceRegistry::shared().containsController(CompListScreen::kInterfaceName)) return;
    std::shared_ptr<ViewController> list = InterfaceRegistry::shared().instantiate(CompListScreen::kInterfaceName);
    auto* comps = dynamic_cast<CompListScreen*>(list.get());
    if (!comps) return;
    comps->setSession(session_.get());
    comps->setCurrentComp(selection_->compName());
    std::weak_ptr<ViewController> weak = shared_from_this();
    comps->setAnswer([weak](const std::optional<std::string>& compId, const std::optional<std::string>& authorizedBy) {
        if (auto self = std::static_pointer_cast<SelectionViewController>(weak.lock()))
            self->comped(compId, authorizedBy);
    });
    if (NavigationController* navigation = navigationController()) navigation->push(list, animated());
}

void SelectionViewController::comped(const std::optional<std::string>& compId,
                                     const std::optional<std::string>& authorizedBy) {
    if (!compId) {
        selection_->setCompName(std::nullopt);
        selection_->setCompBy(std::nullopt);
        selection_->setCompDescription(std::nullopt);
        selection_->setCompPercent(0);
        return popCompList();
    }
    ObjectContext* store = context();
    ManagedObjectPtr comp = DBHelper::getObject("Complimentary", "complimentaryId == %@", *compId, store);
    if (!comp) return popCompList();
    selection_->setCompName(comp->text("name"));
    selection_->setCompBy(authorizedBy);
    selection_->setCompPercent(comp->int32("percentage"));
    if (!Parameters::flag(Parameter::CompComments, store) || !Parameters::flag(Parameter::TempCompComments, store))
        return popCompList();
    auto prompt = std::make_shared<TextViewController>();
    prompt->setTitle(localized("Enter Comment for Comp"));
    prompt->setText(std::string());
    prompt->setMaxLength(128);
    prompt->setUseAnimation(animated());
    prompt->setObserver(answerTo(shared_from_this(), &SelectionViewController::saveCompComment));
    presentSheet(prompt);
}

void SelectionViewController::saveCompComment(const std::optional<std::string>& text) {
    dismiss(animated());
    selection_->setCompDescription(text);
    popCompList();
}

void SelectionViewController::popCompList() {
    if (NavigationController* navigation = navigationController()) navigation->popTo(*this, animated());
}

// ---- quantity

void SelectionViewController::showQuantity(QuantityCellView& cell, int quantity) {
    cell.countLabel().setText(format("%@: %ld", localized("Quantity"), quantity));
}

QuantityCellView* SelectionViewController::quantityCellOf(Control& sender) {
    return dynamic_cast<QuantityCellView*>(QuantityCellView::rowHolding(sender));
}

void SelectionViewController::plusQuantity(Control& sender) {
    QuantityCellView* cell = quantityCellOf(sender);
    if (!cell) return;
    ObjectContext* store = context();
    ManagedObjectPtr menu = DBHelper::getObject("Menu", "menuId == %@", selection_->menuId().value_or(""), store);
    if (!menu || !Menu::isActive(*menu)) return alert("Alert", localized("Menu is no longer available"), {"Ok"});
    // An untracked recipe (-1) or a positive count passes; a refund takes the unit back.
    if (selection_->recipeId() && Selection::available(selection_->recipeId(), store) == 0 &&
        order_->orderType() != OrderType::Refund)
        return alert("Alert", localized("Unable to order, we are currently out of this item"), {"Ok"});
    order_->increment(selection_, session_.get());
    showQuantity(*cell, selection_->quantity());
    if (menuView_) menuView_->refresh();
}

void SelectionViewController::minusQuantity(Control& sender) {
    QuantityCellView* cell = quantityCellOf(sender);
    if (!cell) return;
    if (selection_->quantity() > 1 || selection_->newQuantity() >= 1) return reduceQuantity(*cell);
    // The last unit, and the kitchen has it: the line goes from the order and the kitchen
    // hears of the void, so ask first.
    auto kept = std::static_pointer_cast<QuantityCellView>(cell->shared_from_this());
    alert("Void Item", format(localized("%@ was sent. Void it?"), selection_->name().value_or(localized("This item"))),
          {"Cancel", {localized("Void")}}, [this, kept](int button) {
              if (button == 1) reduceQuantity(*kept);
          });
}

void SelectionViewController::reduceQuantity(QuantityCellView& cell) {
    if (selection_->newQuantity() >= 1 || (session_ && session_->isGranted(Right::RemoveItem)))
        return voidItem(cell, std::nullopt);
    // Every unit was sent: voiding one needs a manager.
    auto prompt = std::make_shared<AuthenticateViewController>();
    prompt->setTitle(localized("Void Item"));
    prompt->setSession(session_);
    prompt->setParam(std::static_pointer_cast<QuantityCellView>(cell.shared_from_this()));
    prompt->setPermissions({Rights::text(Right::RemoveItem)});
    prompt->setPopWhenDone(false);
    std::weak_ptr<ViewController> weak = shared_from_this();
    prompt->setObserver([weak](const std::any& param, const std::string& userId) {
        auto self = std::static_pointer_cast<SelectionViewController>(weak.lock());
        if (auto quantityCell = std::any_cast<std::shared_ptr<QuantityCellView>>(param); self && quantityCell)
            self->voidItemAuthenticated(*quantityCell, userId);
    });
    presentSheet(prompt);
}

void SelectionViewController::voidItemAuthenticated(QuantityCellView& cell, const std::string& authorizedBy) {
    dismiss(animated());
    voidItem(cell, authorizedBy);
}

void SelectionViewController::voidItem(QuantityCellView& cell, const std::optional<std::string>& authorizedBy) {
    const int32_t quantity = selection_->quantity();
    order_->decrement(selection_, authorizedBy, session_.get());
    if (quantity > 1) showQuantity(cell, quantity - 1);
    auto keep = shared_from_this(); // leaving the editor below may release it
    if (quantity == 1)
        if (NavigationController* navigation = navigationController();
            navigation && navigation->viewControllers().size() > 1)
            navigation->pop(animated());
    if (menuView_) menuView_->refresh();
}

} // namespace tavlo::screens
