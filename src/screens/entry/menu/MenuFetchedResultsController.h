#pragma once

#include "platform/store/FetchedResultsController.h"

#include <optional>
#include <string>

namespace tavlo {

class Session;

namespace screens {

// The items a menu screen lists: those of a menu's sections ordered by section and then by their
// place in it, or, for the shortcuts (and when no menu is given), the items with a shortcut
// number of 0 or more by that number. Sections are the values of the item's `section.sequence`.
class MenuFetchedResultsController : public FetchedResultsController {
public:
    // The id the shortcuts pseudo-menu goes by.
    static constexpr const char* kShortcutsMenuId = "-999";

    MenuFetchedResultsController(ObjectContext& context, Session* session, std::optional<std::string> menuId);

    const std::optional<std::string>& menuId() const { return menuId_; }
    Session* session() const { return session_; }
    // The shortcuts are listed (no menu, or the shortcuts' id).
    bool listsShortcuts() const { return !menuId_ || *menuId_ == kShortcutsMenuId; }

    // The name of this menu's section with the sequence that the section name holds; nil when the
    // menu has no such section or it has no name.
    std::optional<std::string> sectionIndexTitleForSectionName(const std::string& sectionName) const;

private:
    static FetchRequest itemsOf(const std::optional<std::string>& menuId);

    ObjectContext& context_;
    Session* session_;
    std::optional<std::string> menuId_;
};

} // namespace screens
} // namespace tavlo
