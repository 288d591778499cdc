#include "screens/common/SignedInController.h"

#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Application.h"

namespace tavlo::screens {

std::shared_ptr<Session> SignedInBase::lent(Session* session) {
    // Shares no ownership: the opener keeps the session alive.
    return std::shared_ptr<Session>(std::shared_ptr<Session>(), session);
}

ObjectContext* SignedInBase::context() const { return contextOf(session_.get()); }

bool SignedInBase::animated() const { return session_ && session_->useAnimation(); }

bool SignedInBase::isPad() {
    ui::Application* app = ui::Application::current();
    return app && app->idiom() == ui::DeviceIdiom::Tablet;
}

uint32_t SignedInBase::idiomOrientations() {
    return isPad() ? ui::OrientationMask::Landscape : ui::OrientationMask::Portrait;
}

std::optional<std::string> SignedInBase::parameter(std::string_view name) const {
    return DBHelper::getValue(name, context());
}

bool SignedInBase::flag(std::string_view name) const { return boolValue(parameter(name)); }

} // namespace tavlo::screens
