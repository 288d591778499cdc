#include "screens/entry/menu/MenuFetchedResultsController.h"

#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"

namespace tavlo::screens {

FetchRequest MenuFetchedResultsController::itemsOf(const std::optional<std::string>& menuId) {
    if (menuId && *menuId != kShortcutsMenuId)
        return FetchRequest("Item", Predicate::format("section.menu.menuId == %@", *menuId),
                            {{"section.sequence"}, {"sequence"}});
    return FetchRequest("Item", Predicate::format("shortcut > -1"), {{"shortcut"}});
}

MenuFetchedResultsController::MenuFetchedResultsController(ObjectContext& context, Session* session,
                                                           std::optional<std::string> menuId)
    : FetchedResultsController(context, itemsOf(menuId), std::string("section.sequence")), context_(context),
      session_(session), menuId_(std::move(menuId)) {}

bool MenuFetchedResultsController::performFetch(Error* error) {
    Error failure;
    std::vector<ManagedObjectPtr> sections = context_.fetch(
        FetchRequest("Section", Predicate::format("menu.menuId == %@", menuId_.value_or("")), {{"sequence"}}),
        &failure);
    if (failure.isSet()) {
        Error::set(error, failure);
        return false;
    }
    menuSections_ = std::move(sections);
    return FetchedResultsController::performFetch(error);
}

std::optional<std::string> MenuFetchedResultsController::sectionIndexTitleForSectionName(
    const std::string& sectionName) const {
    const int32_t sequence = intValue(sectionName);
    for (const ManagedObjectPtr& section : menuSections_)
        if (!section->isNil("sequence") && section->int32("sequence") == sequence) return section->text("name");
    return std::nullopt;
}

} // namespace tavlo::screens
