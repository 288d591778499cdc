// The order details' actions: back, rename, the customer, and the tools (void all, comp all with
// the comp comment, split, open discount).
#include "screens/details/OrderDetailsViewController.h"

#include "core/order/Order.h"
#include "core/order/OrderDiscount.h"
#include "core/order/Selection.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "screens/common/prompts/AmountViewController.h"
#include "screens/common/prompts/AuthenticateViewController.h"
#include "screens/common/prompts/TextViewController.h"
#include "screens/details/SplitViewController.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

void OrderDetailsViewController::noAccess() {
    alert("Alert", localized("You do not have the required access"), {"OK"});
}

void OrderDetailsViewController::presentSheet(const std::shared_ptr<ViewController>& screen) {
    auto sheet = std::make_shared<NavigationController>(screen);
    sheet->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    ViewController* presenter = navigationController() ? static_cast<ViewController*>(navigationController()) : this;
    presenter->present(sheet, animated());
}

void OrderDetailsViewController::dismissPresented() {
    ViewController* presenter = navigationController() ? static_cast<ViewController*>(navigationController()) : this;
    if (presenter->presentedViewController()) presenter->dismiss(animated());
}

void OrderDetailsViewController::orderView() {
    stopTimer();
    if (NavigationController* navigation = navigationController()) navigation->pop(animated());
    if (action_) action_();
}

// ---- name

void OrderDetailsViewController::orderName() {
    if (!granted(Right::RenameOrder)) {
        noAccess();
        return;
    }
    auto prompt = std::make_shared<TextViewController>();
    prompt->setTitle(localized("Modify name"));
    prompt->setText(order_->name());
    prompt->setMaxLength(128);
    prompt->setObserver(
        [this](const std::optional<std::string>& text, const std::optional<std::string>&) { saveName(text); });
    presentSheet(prompt);
}

void OrderDetailsViewController::saveName(const std::optional<std::string>& name) {
    if (name && !name->empty() && name != order_->name()) {
        order_->setName(name);
        setTitleButton(*name);
    }
    dismissPresented();
}

// ---- customer

void OrderDetailsViewController::showCustomers() {
    std::shared_ptr<ViewController> list = InterfaceRegistry::shared().instantiate(CustomerPicker::kInterfaceName);
    auto* picker = dynamic_cast<CustomerPicker*>(list.get());
    if (!picker) return;
    list->setTitle(localized("Select Customer"));
    picker->setSession(session_.get());
    picker->setAllowRemove(customer_.has_value());
    picker->setObserver([this](const std::optional<Customer>& chosen) { saveCustomer(chosen); });
    presentSheet(list);
}

void OrderDetailsViewController::showCustomer() {
    if (!customer_) return;
    std::shared_ptr<ViewController> form = InterfaceRegistry::shared().instantiate(CustomerForm::kInterfaceName);
    auto* customerForm = dynamic_cast<CustomerForm*>(form.get());
    if (!customerForm) return;
    form->setTitle(localized("Customer"));
    customerForm->setSession(session_.get());
    customerForm->setRemoteId(customer_->remoteId());
    customerForm->setCustomerId(customer_->customerId());
    customerForm->setDone(true);
    customerForm->setObserver([this](const std::optional<Customer>& chosen) { saveCustomer(chosen); });
    presentSheet(form);
}

void OrderDetailsViewController::saveCustomer(const std::optional<Customer>& chosen) {
    if (chosen && customer_ && chosen->equals(&*customer_)) {
        dismissPresented();
        return;
    }
    std::optional<std::string> name = order_->name();
    const bool hadCustomer = customer_.has_value();
    customer_.reset();
    if (chosen) {
        const auto chosenName = chosen->name();
        name = chosenName && !chosenName->empty() ? chosenName : chosen->company();
        order_->setCustomerId(chosen->customerId());
        order_->setCustomerRemoteId(chosen->remoteId());
        customer_ = chosen;
    } else {
        order_->setCustomerId(std::nullopt);
        order_->setCustomerRemoteId(std::nullopt);
        if (hadCustomer) name = std::string("?");
    }
    saveName(name);
    tableView().reloadData();
    dismissPresented();
}

// ---- void all

void OrderDetailsViewController::voidConfirmation() {
    alert("Confirmation", localized("Are you sure you want to void all items in this order?"),
          {"No", {localized("Yes")}}, [this](int button) {
              if (button != 0) voidAll();
          });
}

void OrderDetailsViewController::voidAll() {
    const auto active = order_->activeSelections();
    const bool sentBefore = std::any_of(active.begin(), active.end(), [](const SelectionPtr& selection) {
        return selection->newQuantity() != selection->quantity();
    });
    if (sentBefore && !granted(Right::RemoveItem)) {
        auto prompt = std::make_shared<AuthenticateViewController>();
        prompt->setTitle(localized("Void Order"));
        prompt->setSession(session_);
        prompt->setPermissions({Rights::text(Right::RemoveItem)});
        prompt->setPopWhenDone(false);
        prompt->setObserver([this](const std::any&, const std::string& userId) { voidAll(userId); });
        presentSheet(prompt);
        return;
    }
    voidAll(session_->userId());
}

void OrderDetailsViewController::voidAll(const std::optional<std::string>& forcedBy) {
    dismissPresented();
    for (const SelectionPtr& selection : order_->activeSelections())
        order_->removeSelection(selection, forcedBy, session_.get());
    if (order_->hasPayments())
        alert("Alert",
              localized("Items have been voided, however, order contains payments. Remember to void all "
                        "payments for this order"),
              {"OK"});
    orderView();
}

// ---- comps

void OrderDetailsViewController::comps() {
    if (!granted(Right::Complimentary)) {
        noAccess();
        return;
    }
    std::shared_ptr<ViewController> list = InterfaceRegistry::shared().instantiate(CompListScreen::kInterfaceName);
    if (auto* comps = dynamic_cast<CompListScreen*>(list.get())) {
        comps->setSession(session_.get());
        comps->setCurrentComp(orderComp());
        comps->setAnswer([this](const std::optional<std::string>& compId, const std::optional<std::string>& by) {
            comped(compId, by);
        });
    }
    if (NavigationController* navigation = navigationController()) navigation->push(list, animated());
}

void OrderDetailsViewController::comped(const std::optional<std::string>& compId,
                                        const std::optional<std::string>& authorizedBy) {
    comped_.clear();
    if (!compId) {
        for (const SelectionPtr& selection : order_->selections()) {
            selection->setCompName(std::nullopt);
            selection->setCompBy(std::nullopt);
            selection->setCompDescription(std::nullopt);
            selection->setCompPercent(0);
        }
        finishComps();
        return;
    }
    ObjectContext* context = contextOf(session_.get());
    if (ManagedObjectPtr comp =
            context ? context->fetchFirst("Complimentary", "complimentaryId == %@", *compId) : nullptr) {
        for (const SelectionPtr& selection : order_->selections()) {
            if (!selection->isCompable(*session_)) continue;
            selection->setCompName(comp->text("name"));
            selection->setCompBy(authorizedBy);
            selection->setCompPercent(comp->int32("percentage"));
            comped_.push_back(selection);
        }
    }
    if (!comped_.empty() && Parameters::flag(Parameter::CompComments, contextOf(session_.get())) &&
        Parameters::flag(Parameter::TempCompComments, contextOf(session_.get()))) {
        auto prompt = std::make_shared<TextViewController>();
        prompt->setTitle(localized("Enter Comment for Comp"));
        prompt->setMaxLength(128);
        prompt->setObserver([this](const std::optional<std::string>& text, const std::optional<std::string>&) {
            saveCompComment(text);
        });
        presentSheet(prompt);
        return;
    }
    finishComps();
}

// Only the lines comped in this step take the comment: lines the comp did not reach keep theirs.
void OrderDetailsViewController::saveCompComment(const std::optional<std::string>& comment) {
    dismissPresented();
    for (const SelectionPtr& selection : comped_) selection->setCompDescription(comment);
    comped_.clear();
    finishComps();
}

void OrderDetailsViewController::finishComps() {
    if (NavigationController* navigation = navigationController())
        if (navigation->topViewController() != this) navigation->pop(animated());
    if (replaceAction_) replaceAction_(nullptr);
}

// ---- split

void OrderDetailsViewController::split() {
    Error error;
    if (!order_->send(*session_, &error)) {
        if (!error.isSet()) return;
        TAVLO_LOG_MAIL("Unable to send order: %@", error.localizedDescription());
        alert("Error", error.localizedDescription(), {"Ok"});
        return;
    }
    auto splitScreen = std::make_shared<SplitViewController>();
    splitScreen->setSession(session_);
    splitScreen->setOrder(order_);
    splitScreen->setReplaceAction(replaceAction_);
    presentSheet(splitScreen);
}

// ---- discount

void OrderDetailsViewController::discount() {
    if (!granted(Right::AddDiscount)) {
        noAccess();
        return;
    }
    auto prompt = std::make_shared<AmountViewController>();
    prompt->setTitle(localized("Discount"));
    prompt->setDecimals(2);
    prompt->setParam(session_->userId());
    prompt->setObserver([this](const std::optional<std::string>& amount, const std::optional<std::string>& by) {
        saveDiscount(amount, by);
    });
    presentSheet(prompt);
}

void OrderDetailsViewController::saveDiscount(const std::optional<std::string>& amount,
                                              const std::optional<std::string>& authorizedBy) {
    dismissPresented();
    const int32_t cents = amount ? Utils::parseCurrency(amount) : 0;
    if (cents < 1) {
        alert("Alert", localized("Discount amount must be greater than 0"), {"OK"});
        return;
    }
    auto discount = std::make_shared<OrderDiscount>();
    discount->setRemoteId(IDBroker::getInstance().generateRemoteIdDiscount());
    discount->setName(std::string("Open Discount"));
    discount->setAmount(cents);
    discount->setDiscountBy(session_->userId());
    discount->setAuthBy(authorizedBy);
    // A discount takes off what the order still costs, never more: an order paid beyond its
    // total could not be closed.
    std::shared_ptr<Order> tried = order_->clone(); // the lines and discounts, no payments
    tried->addDiscount(discount);
    if (tried->getTotal() < order_->getPaid()) {
        alert("Alert",
              format(localized("The discount cannot be more than the order still costs (%@)"),
                     Utils::formatCurrency(order_->getDue())),
              {"Cancel"});
        return;
    }
    order_->addDiscount(discount);
    tableView().reloadData();
}

} // namespace tavlo::screens
