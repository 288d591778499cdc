#pragma once

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/ViewController.h"

#include <memory>

namespace tavlo::ui {

class SplitViewController;

class SplitViewControllerDelegate {
public:
    virtual ~SplitViewControllerDelegate() = default;
    // In portrait the master pane leaves the screen; the item opens it in the popover.
    virtual void willHideViewController(SplitViewController&, ViewController& /*master*/,
                                        const std::shared_ptr<BarButtonItem>& /*item*/,
                                        const std::shared_ptr<PopoverController>& /*popover*/) {}
    virtual void willShowViewController(SplitViewController&, ViewController& /*master*/,
                                        const std::shared_ptr<BarButtonItem>& /*item*/) {}
};

// A master pane beside a detail pane (tablet). In portrait only the detail is shown and the
// master is reached through a popover. The delegate is not owned.
class SplitViewController : public ViewController {
public:
    static constexpr double kMasterWidth = 320;

    using ViewController::ViewController;
    ~SplitViewController() override;

    void setViewControllers(std::shared_ptr<ViewController> master, std::shared_ptr<ViewController> detail);
    ViewController* master() const { return master_.get(); }
    ViewController* detail() const { return detail_.get(); }
    void setDelegate(SplitViewControllerDelegate* delegate) { delegate_ = delegate; }
    bool presentsWithGesture() const { return presentsWithGesture_; }
    void setPresentsWithGesture(bool presents) { presentsWithGesture_ = presents; }
    bool isMasterHidden() const { return masterHidden_; }
    const std::shared_ptr<PopoverController>& popover() const { return popover_; }

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void didRotate(InterfaceOrientation from) override;
    uint32_t supportedInterfaceOrientations() const override;
    std::vector<ViewController*> visibleChildren() const override;

private:
    void updateMasterVisibility(bool animated);
    void layoutPanes();

    std::shared_ptr<ViewController> master_;
    std::shared_ptr<ViewController> detail_;
    SplitViewControllerDelegate* delegate_ = nullptr;
    bool presentsWithGesture_ = true;
    bool masterHidden_ = false;
    std::shared_ptr<BarButtonItem> masterItem_;
    std::shared_ptr<PopoverController> popover_;
};

} // namespace tavlo::ui
