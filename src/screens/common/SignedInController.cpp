#include "screens/common/SignedInController.h"

#include "core/session/DBHelper.h"
#include "core/session/Session.h"
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

std::optional<std::string> SignedInBase::parameter(Parameter parameter) const {
    return Parameters::text(parameter, context());
}

bool SignedInBase::flag(Parameter parameter) const { return Parameters::flag(parameter, context()); }

} // namespace tavlo::screens
