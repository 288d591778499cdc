#include "screens/shell/DetailViewController.h"

#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/render/Theme.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/ScreenKit.h"
#include "screens/shell/RootViewController.h"

namespace tavlo::screens {

using namespace ui;
namespace theme = ui::render::theme;

DetailViewController::DetailViewController() = default;

DetailViewController::~DetailViewController() = default;

void DetailViewController::loadView() {
    auto root = std::make_shared<View>(screenFrame());
    root->setBackgroundColor(theme::groupBackground());
    root->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    setView(root);
}

void DetailViewController::viewDidLoad() {
    lockRotation_ = false;
    status_ = kit::barLabel(400, std::string());
    status_->setMinimumScaleFactor(12.0 / 16);
    layout_ = BarButtonItem::titled(localized("Layout"), BarButtonStyle::Plain,
                                    [this](BarButtonItem&) { requestedtableLayout(); });
    setToolbarItems({BarButtonItem::flexibleSpace(), BarButtonItem::withCustomView(status_),
                     BarButtonItem::flexibleSpace(), layout_});
}

void DetailViewController::viewWillAppear(bool animated) {
    ObjectContext* moc = session_ ? session_->managedObjectContext() : DBHelper::mainContext().get();
    layout_->setEnabled(Parameters::flag(Parameter::ModuleTableLayout, moc));
    if (NavigationController* navigation = navigationController()) {
        // The screens pushed on this pane (the order's menu) may leave the bar black.
        navigation->toolbar().setBarStyle(BarStyle::Default);
        navigation->setToolbarHidden(false, animated);
    }
    setStatus(session_ ? session_->terminalName().value_or("") : "");
}

void DetailViewController::viewDidAppear(bool) { lockRotation_ = true; }

uint32_t DetailViewController::supportedInterfaceOrientations() const {
    if (!lockRotation_) return OrientationMask::All;
    return idiomOrientations();
}

void DetailViewController::setStatus(const std::string& text) {
    view(); // the label is made with the view
    status_->setText(text);
}

void DetailViewController::logout() {
    if (auto* main = dynamic_cast<OrdersMainScreen*>(mainController_.get())) main->setShowLayout(false);
    if (session_ && session_->isValid()) session_->invalidate();
    if (auto pane = root_.lock()) pane->dismissAndLogout();
}

void DetailViewController::requestedtableLayout() {
    if (auto* main = dynamic_cast<OrdersMainScreen*>(mainController_.get())) main->showTableLayout(true);
}

void DetailViewController::willHideViewController(SplitViewController&, ViewController&,
                                                  const std::shared_ptr<BarButtonItem>&,
                                                  const std::shared_ptr<PopoverController>& popover) {
    popover_ = popover;
}

void DetailViewController::willShowViewController(SplitViewController&, ViewController&,
                                                  const std::shared_ptr<BarButtonItem>&) {
    popover_.reset();
}

} // namespace tavlo::screens
