#include "screens/entry/menu/MenuFetchedResultsController.h"

#include "core/session/DBHelper.h"
#include "platform/foundation/Text.h"

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

std::optional<std::string> MenuFetchedResultsController::sectionIndexTitleForSectionName(
    const std::string& sectionName) const {
    ManagedObjectPtr section = DBHelper::getObject(
        "Section",
        {Predicate::format("menu.menuId == %@", menuId_.value_or("")),
         Predicate::format("sequence == %d", intValue(sectionName))},
        &context_);
    return section ? section->text("name") : std::nullopt;
}

} // namespace tavlo::screens
