// The parts of a line that act for the signed-in user: changes that are logged, and the comp rule.
#include "core/order/Selection.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "platform/foundation/Text.h"

#include <algorithm>

namespace tavlo {

void Selection::addLog(const Text& action, const Text& name, const Text& description, const Text& byUser,
                       const Text& forcedBy, const Text& onTerminal, const Text& oldValue, const Text& newValue,
                       Session*) const {
    addLog(ActivityLog::make(action, name, description, byUser, forcedBy, onTerminal, oldValue, newValue));
}

// The entry carries the side's quantity before and after.
SelectionPtr Selection::removeSide(const SelectionPtr& side, const Text& forcedBy, Session* session) {
    if (!side) return side;
    auto it = std::find_if(selectedSides_.begin(), selectedSides_.end(),
                           [&](const SelectionPtr& s) { return s->recipeId_ == side->recipeId_; });
    if (it == selectedSides_.end()) return side;
    SelectionPtr found = *it;
    const int32_t before = found->quantity_;
    if (before < 2) selectedSides_.erase(it);
    else found->quantity_ = before - 1;
    modified_ = true;
    if (!isNew_)
        addLog(std::string("removeSideSelection"), name_, format("Removed side %@ from %@", found->name_, name_),
               userOf(session), forcedBy, terminalOf(session), std::to_string(before), std::to_string(before - 1),
               session);
    return found;
}

void Selection::removePreparation(const std::string& preparationId, const Text& forcedBy, Session* session) {
    auto it = std::find_if(selectedPreparations_.begin(), selectedPreparations_.end(),
                           [&](const Preparation& p) { return p.preparationId() == preparationId; });
    if (it == selectedPreparations_.end()) return;
    selectedPreparations_.erase(it);
    modified_ = true;
    if (isNew_) return;
    auto row = DBHelper::getObject("Preparation", "preparationId == %@", preparationId, contextOf(session));
    addLog(std::string("removePreparation"), name_,
           format("Removed preparation %@ ", row ? row->text("name") : std::nullopt), userOf(session), forcedBy,
           terminalOf(session), std::string("0"), std::string("0"), session);
}

void Selection::setPrice(int32_t v, Session* session) {
    if (session)
        addLog(std::string("priceChange"), name_,
               format("Changed price from %@ to %@", Utils::formatCurrency(price_), Utils::formatCurrency(v)),
               session->userId(), std::nullopt, session->terminalId(), std::to_string(price_), std::to_string(v),
               session);
    setPrice(v);
}

bool Selection::isCompable(Session& session) const {
    if (!recipeId_) return true;
    auto recipe = DBHelper::getObject("Recipe", "recipeId == %@", *recipeId_, session.managedObjectContext());
    if (!recipe) return true;
    const auto group = recipe->text("recipeGroup.name");
    if (!group) return true;
    for (const auto& rule : session.rules(std::string("NonCompableRecipeGroups"))) {
        const auto groups = rule.valuesWithPrefix("RECIPE_GROUP_");
        if (std::find(groups.begin(), groups.end(), *group) != groups.end()) return false;
    }
    return true;
}

} // namespace tavlo
