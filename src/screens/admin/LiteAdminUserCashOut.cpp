// User cash-outs (gateway mode): the gateway names the users not yet cashed out, the manager
// picks one the rights allow and, when several drawers are the manager's, the drawer; the
// gateway cashes the user out and prints on this terminal's printer.
#include "screens/admin/LiteAdminViewController.h"

#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "screens/common/ActivityIndicator.h"
#include "sync/exchange/CommHelper.h"
#include "xml/XmlHelper.h"

#include <algorithm>
#include <strings.h>

namespace tavlo::screens {

using namespace ui;

void LiteAdminViewController::cashOutUsers() {
    const bool others = session_->isGranted(Right::CashOutOthers);
    const bool self = session_->isGranted(Right::CashOutUser);
    if (!others && !self) return alert("Error", localized("You do not have the required access"), {"Ok"});
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Getting users"));
    Error error;
    std::optional<std::vector<std::string>> users =
        CommHelper::getUsersNotCashedOut(session_->storeId(), session_->password(), session_->userId(),
                                         CommHelper::gateway().value_or(""), context(), &error);
    ActivityIndicator::hide();
    if (!users)
        return alert("Error",
                     format("%@ (%@)", localized("Unable to get users to cash out"), error.localizedDescription()),
                     {"Ok"});
    if (users->empty()) return alert("Error", localized("All users have been cashed out"), {"Ok"});
    std::vector<std::string> kept, names;
    for (const std::string& userId : *users) {
        ManagedObjectPtr user = context()->fetchFirst("User", "userId == %@", userId);
        if (!user) continue;
        bool signedIn = userId == session_->userId();
        if (signedIn ? !self : !others) continue;
        kept.push_back(userId);
        names.push_back(user->text("name").value_or(""));
    }
    if (kept.empty()) return alert("Error", localized("You do not have the required access"), {"Ok"});
    cashOutUsers_ = std::move(kept);
    alert("Confirmation", localized("Who would you like to cash out?"), {"Cancel", names},
          [this](int button) { answerUser(button); });
}

void LiteAdminViewController::answerUser(int button) {
    if (button < 1 || button > static_cast<int>(cashOutUsers_.size())) {
        cashOutUsers_.clear();
        return;
    }
    std::string chosen = cashOutUsers_[button - 1];
    // The drawers the manager has cashed in, by name.
    std::map<std::string, std::string> drawers = session_->cashedInDrawers(session_->userId());
    if (drawers.size() < 2) {
        cashOutUsers_.clear();
        return cashOutUser(chosen, drawers.empty() ? std::nullopt : std::optional(drawers.begin()->first));
    }
    std::vector<std::pair<std::string, std::string>> byName; // name, id
    for (const auto& [id, name] : drawers) byName.emplace_back(name, id);
    std::sort(byName.begin(), byName.end(),
              [](const auto& a, const auto& b) { return strcasecmp(a.first.c_str(), b.first.c_str()) < 0; });
    cashOutUsers_ = {chosen};
    cashDrawers_.clear();
    std::vector<std::string> names;
    for (const auto& [name, id] : byName) {
        names.push_back(name);
        cashDrawers_.push_back(id);
    }
    alert("Confirmation", localized("What cash drawer do you want to use?"), {"Cancel", names},
          [this](int drawer) { answerUserDrawer(drawer); });
}

void LiteAdminViewController::answerUserDrawer(int button) {
    std::optional<std::string> user = cashOutUsers_.empty() ? std::nullopt : std::optional(cashOutUsers_.front());
    std::optional<std::string> drawer;
    if (button >= 1 && button <= static_cast<int>(cashDrawers_.size())) drawer = cashDrawers_[button - 1];
    cashOutUsers_.clear();
    cashDrawers_.clear();
    if (user && drawer) cashOutUser(*user, drawer);
}

void LiteAdminViewController::cashOutUser(const std::string& userId, const std::optional<std::string>& drawerId) {
    std::optional<std::string> printURL = session_->printerURL();
    if (!printURL) return alert("Error", localized("No printer configured"), {"Ok"});
    std::string request =
        XmlHelper::getXmlCashOutUser(userId, session_->terminalId().value_or(""), drawerId, std::nullopt, *printURL);
    Error error;
    if (!CommHelper::send(CommHelper::gateway().value_or(""), session_->userId(), request,
                          Parameters::flag(Parameter::LogXml, context()), &error))
        alert("Error", format("%@ (%@)", localized("Unable to cash out user"), error.localizedDescription()), {"Ok"});
}

} // namespace tavlo::screens
