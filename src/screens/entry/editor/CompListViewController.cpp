#include "screens/entry/editor/CompListViewController.h"

#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/NavigationController.h"
#include "screens/common/prompts/AuthenticateViewController.h"

namespace tavlo::screens {

using namespace ui;

CompListViewController::CompListViewController() : SignedInController(kInterfaceName) {}

CompListViewController::~CompListViewController() = default;

bool CompListViewController::fetch(Error& error) {
    ObjectContext* context = contextOf(session_.get());
    if (!context) {
        error = Error("Tavlo", -1, "no store to read from");
        return false;
    }
    comps_ = context->fetch(FetchRequest("Complimentary", Predicate::format("disabled == NO"), {{"name"}}), &error);
    return !error.isSet();
}

void CompListViewController::viewDidLoad() {
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Done"), BarButtonStyle::Done, [this](BarButtonItem&) { back(); }));
    setTitle(localized("Comp Item"));
    // A list that cannot be read stays, empty but for the remove row.
    if (Error error; !fetch(error))
        TAVLO_LOG_MAIL("Unable to read all available comps: %@", error.localizedDescription());
}

std::shared_ptr<TableViewCell> CompListViewController::cellForRow(TableView& table, IndexPath path) {
    auto cell = table.dequeueReusableCell("Cell");
    if (!cell) cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "Cell");
    if (path.row < static_cast<int>(comps_.size())) {
        std::optional<std::string> name = comps_[static_cast<size_t>(path.row)]->text("name");
        cell->textLabel().setText(name);
        cell->setAccessoryType(currentComp_ && name == currentComp_ ? AccessoryType::Checkmark : AccessoryType::None);
    } else {
        cell->textLabel().setText(localized("REMOVE COMP"));
        cell->setAccessoryType(AccessoryType::None);
    }
    return cell;
}

void CompListViewController::didSelectRow(TableView& table, IndexPath path) {
    table.deselectRow(path, animated());
    const std::optional<std::string> user = session_ ? session_->userId() : std::nullopt;
    if (path.row >= static_cast<int>(comps_.size())) return saveComp(std::nullopt, user); // removing needs no right
    const ManagedObject& comp = *comps_[static_cast<size_t>(path.row)];
    const std::string compId = comp.text("complimentaryId").value_or("");
    if (comp.boolean("permissionNeeded") && !(session_ && session_->isGranted(Right::Complimentary)))
        return askAuthorization(compId);
    saveComp(compId, user);
}

void CompListViewController::askAuthorization(const std::string& compId) {
    auto prompt = std::make_shared<AuthenticateViewController>();
    prompt->setTitle(localized("Comp Item"));
    prompt->setSession(session_);
    prompt->setParam(compId);
    prompt->setPermissions({Rights::text(Right::Complimentary)});
    prompt->setPopWhenDone(false);
    std::weak_ptr<ViewController> weak = shared_from_this();
    prompt->setObserver([weak](const std::any& param, const std::string& userId) {
        if (auto list = std::static_pointer_cast<CompListViewController>(weak.lock()))
            list->authenticated(std::any_cast<std::string>(param), userId);
    });
    auto navigation = std::make_shared<NavigationController>(prompt);
    navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    present(navigation, animated());
}

void CompListViewController::authenticated(const std::string& compId, const std::string& authorizedBy) {
    dismiss(animated());
    saveComp(compId, authorizedBy);
}

void CompListViewController::saveComp(const std::optional<std::string>& compId,
                                      const std::optional<std::string>& authorizedBy) {
    if (answer_) answer_(compId, authorizedBy);
}

void CompListViewController::back() {
    if (NavigationController* navigation = navigationController()) navigation->pop(animated());
}

} // namespace tavlo::screens
