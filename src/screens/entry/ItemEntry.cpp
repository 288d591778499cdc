#include "screens/entry/ItemEntry.h"

#include "core/order/ComboSelection.h"
#include "core/order/Order.h"
#include "core/order/Selection.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"
#include "screens/entry/SelectionFlowControl.h"
#include "screens/entry/combo/ComboFlowControl.h"

namespace tavlo::screens {

using namespace ui;

namespace {

void alert(const std::string& message) {
    AlertView::make(localized("Alert"), localized(message), localized("Ok"))->show();
}

} // namespace

ItemEntry::ItemEntry(Session* session, std::shared_ptr<Order> order, bool selectSeat, bool selectCourse)
    : session_(session), order_(std::move(order)), selectSeat_(selectSeat), selectCourse_(selectCourse) {}

std::optional<std::string> ItemEntry::recipeGroupName(const Selection& selection) const {
    if (!selection.recipeId()) return std::nullopt;
    ManagedObjectPtr recipe =
        DBHelper::getObject("Recipe", "recipeId == %@", *selection.recipeId(), contextOf(session_));
    ManagedObjectPtr group = recipe ? recipe->toOne("recipeGroup") : nullptr;
    return group ? group->text("name") : std::nullopt;
}

void ItemEntry::dismissPresented(ViewController& screen, bool animated) {
    ViewController* root = &screen;
    while (root->parentViewController()) root = root->parentViewController();
    if (root->presentedViewController()) screen.dismiss(animated);
}

SelectionPtr ItemEntry::start(ViewController& presenter, const ManagedObjectPtr& item, Action action) {
    recipeGroup_.reset();
    if (!item || item->isDeleted()) {
        alert("Item no longer available, menu was modified");
        return nullptr;
    }
    ObjectContext* store = contextOf(session_);
    SelectionPtr selection = Selection::newFrom(item, userOf(session_), store);
    TAVLO_LOG("Item Selected: %@", item->text("itemId").value_or(""));
    if (!selection) {
        alert("Unable to order, we are currently out of this item");
        return nullptr;
    }
    const bool promptComments = Parameters::flag(Parameter::ItemPromptComments, store);
    const bool promptQuantity = Parameters::flag(Parameter::ItemPromptQuantity, store);
    if (Parameters::flag(Parameter::ItemTaxIncluded, store)) selection->setTaxIncluded(true);

    std::shared_ptr<FlowControl> flow;
    if (auto combo = std::dynamic_pointer_cast<ComboSelection>(selection))
        flow = std::make_shared<ComboFlowControl>(combo, session_, order_, std::move(action));
    else flow = std::make_shared<SelectionFlowControl>(selection, nullptr, session_, order_, std::move(action));

    // Seats and courses only for an order at a table.
    if (order_->areaLocationId()) {
        flow->setSeats(selectSeat_ && !Parameters::flag(Parameter::PromptSeatSuppress, store));
        bool courses = selectCourse_ && !Parameters::flag(Parameter::PromptCourseSuppress, store);
        const std::optional<std::string> salesGroups = Parameters::text(Parameter::CourseSalesGroups, store);
        if (salesGroups && selection->recipeId()) {
            recipeGroup_ = recipeGroupName(*selection);
            courses = courses && recipeGroup_ && salesGroups->find(*recipeGroup_) != std::string::npos;
        }
        flow->setCourses(courses);
    }
    flow->setPricePrompt(item->boolean("promptForPrice"));
    flow->setQuantityPrompt(item->boolean("promptForQuantity") || promptQuantity);
    flow->setCommentPrompt(promptComments);

    if (flow->hasNextView()) {
        auto navigation = std::make_shared<NavigationController>(flow->nextView());
        navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
        presenter.present(navigation, session_ && session_->useAnimation());
    } else {
        flow->done();
    }
    return selection;
}

} // namespace tavlo::screens
