#pragma once

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Orientation.h"
#include "platform/ui/View.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo::ui {

class NavigationController;
class SplitViewController;

enum class ModalPresentationStyle { FullScreen, FormSheet };

// One screen: its view (built from a registered interface when it has an interface name), the
// appearance lifecycle, its navigation item and toolbar items, and modal presentation.
class ViewController : public std::enable_shared_from_this<ViewController> {
public:
    using Completion = std::function<void()>;
    using BarItems = std::vector<std::shared_ptr<BarButtonItem>>;

    explicit ViewController(std::string interfaceName = {});
    virtual ~ViewController();
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    const std::string& interfaceName() const { return interfaceName_; }
    // Loads the view on first use (then viewDidLoad runs, once).
    std::shared_ptr<View> view();
    bool isViewLoaded() const { return static_cast<bool>(view_); }
    void setView(std::shared_ptr<View> view) { view_ = std::move(view); }

    // The title is also the navigation item's title.
    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title);
    NavigationItem& navigationItem() { return navigationItem_; }
    const BarItems& toolbarItems() const { return toolbarItems_; }
    void setToolbarItems(BarItems items, bool animated = false);

    // Outlets: views the interface builder connected by name.
    void connect(std::string name, std::shared_ptr<View> view);
    View* outlet(std::string_view name) const;
    template <typename T> T* outlet(std::string_view name) const { return dynamic_cast<T*>(outlet(name)); }
    const std::map<std::string, std::shared_ptr<View>, std::less<>>& outlets() const { return outlets_; }

    // This controller as another of its interfaces (an alert or picker delegate), sharing ownership.
    template <typename T> std::shared_ptr<T> sharedAs() { return std::dynamic_pointer_cast<T>(shared_from_this()); }

    ViewController* parentViewController() const { return parent_; }
    NavigationController* navigationController() const;
    SplitViewController* splitViewController() const;
    ViewController* presentingViewController() const;
    ViewController* presentedViewController() const { return presented_.get(); }

    ModalPresentationStyle modalPresentationStyle() const { return presentationStyle_; }
    void setModalPresentationStyle(ModalPresentationStyle style) { presentationStyle_ = style; }
    // Presents from the outermost container; the completion runs once the controller appeared.
    void present(std::shared_ptr<ViewController> controller, bool animated, Completion completion = {});
    // Dismisses what this controller presents, or else the presented controller it belongs to.
    void dismiss(bool animated, Completion completion = {});

    // Lifecycle.
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool /*animated*/) {}
    virtual void viewDidAppear(bool /*animated*/) {}
    virtual void viewWillDisappear(bool /*animated*/) {}
    virtual void viewDidDisappear(bool /*animated*/) {}
    bool isVisible() const { return appearance_ == Appearance::Appeared; }
    // Appearing or appeared.
    bool isOnScreen() const { return appearance_ == Appearance::Appearing || appearance_ == Appearance::Appeared; }

    // Orientation.
    virtual uint32_t supportedInterfaceOrientations() const;
    virtual bool shouldAutorotate() const { return true; }
    InterfaceOrientation interfaceOrientation() const;
    // After the interface turned; containers pass it on.
    virtual void didRotate(InterfaceOrientation from);

    // Editing, with an Edit/Done item that switches it.
    bool isEditing() const { return editing_; }
    virtual void setEditing(bool editing, bool animated);
    std::shared_ptr<BarButtonItem> editButtonItem();

    // Appearance of this controller and the children it shows. Containers and the window call these.
    void beginAppearanceTransition(bool appearing, bool animated);
    void endAppearanceTransition();
    // The children whose views this controller shows now.
    virtual std::vector<ViewController*> visibleChildren() const { return {}; }
    // The controller a person sees: the top of the presented chain, inside containers.
    virtual ViewController* visibleViewController();

protected:
    void adoptChild(ViewController& child) { child.parent_ = this; }
    void releaseChild(ViewController& child) {
        if (child.parent_ == this) child.parent_ = nullptr;
    }
    // The outermost container of this controller.
    ViewController& rootAncestor();
    // A controller that leaves the screen may be running the very method that made it leave:
    // it is kept until the main loop next goes idle.
    static void releaseLater(std::shared_ptr<ViewController> controller);
    // A child leaves this container: no longer its parent, and released once the loop goes idle.
    void releaseChildLater(const std::shared_ptr<ViewController>& child) {
        releaseChild(*child);
        releaseLater(child);
    }
    // The screen in the application's current orientation (a phone's when none is installed).
    static Rect screenFrame();

private:
    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };

    std::string interfaceName_;
    std::shared_ptr<View> view_;
    std::optional<std::string> title_;
    NavigationItem navigationItem_;
    BarItems toolbarItems_;
    std::map<std::string, std::shared_ptr<View>, std::less<>> outlets_;
    ViewController* parent_ = nullptr;
    ViewController* presenting_ = nullptr;
    std::shared_ptr<ViewController> presented_;
    ModalPresentationStyle presentationStyle_ = ModalPresentationStyle::FullScreen;
    Appearance appearance_ = Appearance::Disappeared;
    bool transitionAnimated_ = false;
    bool editing_ = false;
    std::shared_ptr<BarButtonItem> editItem_;
};

} // namespace tavlo::ui
