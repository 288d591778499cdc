#pragma once

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Label.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/SplitViewController.h"
#include "platform/ui/ViewController.h"
#include "screens/common/SignedInController.h"

#include <memory>
#include <string>

namespace tavlo {
class Session;
}

namespace tavlo::screens {

class RootViewController;

// The pad's detail pane (in a navigation of its own, the split view's delegate): a toolbar with
// the status line and the "Layout" button, and room for the screens the administration opens.
class DetailViewController : public SignedInController<ui::ViewController>, public ui::SplitViewControllerDelegate {
public:
    DetailViewController();
    ~DetailViewController() override;

    ui::Label* lblStatus() const { return status_.get(); }
    ui::BarButtonItem* btnLayout() const { return layout_.get(); }
    // The orders main screen of the current sign-in (an OrdersMainScreen).
    void setMainController(std::shared_ptr<ui::ViewController> main) { mainController_ = std::move(main); }
    void setRootPane(std::weak_ptr<RootViewController> root) { root_ = std::move(root); }

    void setStatus(const std::string& text);
    // Signs out: the layout off, the session ended, what this pane presents dismissed, then the
    // root pane's sign-out.
    void logout();

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    uint32_t supportedInterfaceOrientations() const override;

    void willHideViewController(ui::SplitViewController& split, ui::ViewController& master,
                                const std::shared_ptr<ui::BarButtonItem>& item,
                                const std::shared_ptr<ui::PopoverController>& popover) override;
    void willShowViewController(ui::SplitViewController& split, ui::ViewController& master,
                                const std::shared_ptr<ui::BarButtonItem>& item) override;

private:
    const std::shared_ptr<ui::PopoverController>& popoverController() const { return popover_; }
    // The "Layout" button: the main screen shows the table layout.
    void requestedtableLayout();
    std::shared_ptr<ui::Label> status_;
    std::shared_ptr<ui::BarButtonItem> layout_;
    std::shared_ptr<ui::PopoverController> popover_;
    std::shared_ptr<ui::ViewController> mainController_;
    std::weak_ptr<RootViewController> root_;
    // Until the pane has appeared once it takes any orientation.
    bool lockRotation_ = false;
};

} // namespace tavlo::screens
