#include "platform/ui/NavigationController.h"
#include "platform/ui/SplitViewController.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

using namespace tavlo::ui;
using tavlo::ui::test::Harness;

namespace {

// Writes every lifecycle call into a shared log as "<name>.<call>".
class Recorder : public ViewController {
public:
    Recorder(std::string name, std::vector<std::string>& log, uint32_t orientations = OrientationMask::All)
        : name_(std::move(name)), log_(log), orientations_(orientations) {
        setTitle(name_);
    }
    void viewDidLoad() override { log_.push_back(name_ + ".load"); }
    void viewWillAppear(bool) override { log_.push_back(name_ + ".willAppear"); }
    void viewDidAppear(bool) override { log_.push_back(name_ + ".didAppear"); }
    void viewWillDisappear(bool) override { log_.push_back(name_ + ".willDisappear"); }
    void viewDidDisappear(bool) override { log_.push_back(name_ + ".didDisappear"); }
    uint32_t supportedInterfaceOrientations() const override { return orientations_; }

private:
    std::string name_;
    std::vector<std::string>& log_;
    uint32_t orientations_;
};

using Log = std::vector<std::string>;

} // namespace

TEST(Navigation, PushAndPopRunTheLifecycleInOrderAndLoadOnce) {
    Harness h;
    Log log;
    auto a = std::make_shared<Recorder>("A", log);
    auto nav = std::make_shared<NavigationController>(a);
    h.show(nav);
    EXPECT_EQ(log, (Log{"A.load", "A.willAppear", "A.didAppear"}));

    log.clear();
    nav->push(std::make_shared<Recorder>("B", log), true);
    EXPECT_EQ(log, (Log{"A.willDisappear", "B.load", "B.willAppear", "A.didDisappear", "B.didAppear"}));
    EXPECT_EQ(&h.visibleController(), nav->topViewController());
    EXPECT_EQ(nav->backButtonTitle(), "A");

    log.clear();
    h.tapBack();
    EXPECT_EQ(log, (Log{"B.willDisappear", "A.willAppear", "B.didDisappear", "A.didAppear"}));
    EXPECT_EQ(nav->viewControllers().size(), 1u);

    // Popping to the root from three deep: only the old top and the root take part.
    nav->push(std::make_shared<Recorder>("C", log), false);
    nav->push(std::make_shared<Recorder>("D", log), false);
    log.clear();
    auto popped = nav->popToRoot(false);
    EXPECT_EQ(popped.size(), 2u);
    EXPECT_EQ(log, (Log{"D.willDisappear", "A.willAppear", "D.didDisappear", "A.didAppear"}));
    EXPECT_EQ(nav->pop(false), nullptr) << "the root stays";
}

TEST(Navigation, PresentAndDismissRunTheLifecycleAndCompletions) {
    struct Case {
        DeviceIdiom idiom;
        ModalPresentationStyle style;
        bool covers;
    };
    for (Case c : {Case{DeviceIdiom::Phone, ModalPresentationStyle::FormSheet, true},
                   Case{DeviceIdiom::Tablet, ModalPresentationStyle::FormSheet, false},
                   Case{DeviceIdiom::Tablet, ModalPresentationStyle::FullScreen, true}}) {
        Harness h(c.idiom);
        Log log;
        auto root = std::make_shared<Recorder>("R", log);
        auto nav = std::make_shared<NavigationController>(root);
        h.show(nav);
        log.clear();

        auto sheetTop = std::make_shared<Recorder>("S", log);
        auto sheet = std::make_shared<NavigationController>(sheetTop);
        sheet->setModalPresentationStyle(c.style);
        bool presented = false;
        // Presenting from the child goes through its container.
        root->present(sheet, true, [&] { presented = true; });
        EXPECT_TRUE(presented);
        EXPECT_EQ(sheet->presentingViewController(), nav.get());
        EXPECT_EQ(&h.visibleController(), sheetTop.get());
        Log expected = c.covers ? Log{"S.load", "R.willDisappear", "S.willAppear", "R.didDisappear", "S.didAppear"}
                                : Log{"S.load", "S.willAppear", "S.didAppear"};
        EXPECT_EQ(log, expected);

        log.clear();
        bool dismissed = false;
        sheetTop->dismiss(true, [&] { dismissed = true; }); // from inside the presented stack
        EXPECT_TRUE(dismissed);
        expected = c.covers ? Log{"S.willDisappear", "R.willAppear", "S.didDisappear", "R.didAppear"}
                            : Log{"S.willDisappear", "S.didDisappear"};
        EXPECT_EQ(log, expected);
        EXPECT_EQ(nav->presentedViewController(), nullptr);
        EXPECT_EQ(&h.visibleController(), root.get());
    }
}

TEST(Navigation, AControllerPoppedFromItsOwnActionOutlivesTheAction) {
    Harness h;
    Log log;
    auto nav = std::make_shared<NavigationController>(std::make_shared<Recorder>("A", log));
    h.show(nav);
    std::weak_ptr<ViewController> weakB;
    {
        auto b = std::make_shared<Recorder>("B", log);
        weakB = b;
        b->navigationItem().setLeftBarButtonItem(
            BarButtonItem::titled("Done", BarButtonStyle::Done, [&](BarButtonItem&) {
                nav->pop(true);
                EXPECT_FALSE(weakB.expired()) << "still running its own action";
            }));
        nav->push(b, false);
    }
    h.tap("Done");
    EXPECT_TRUE(weakB.expired()) << "released once the loop went idle";
}

TEST(Navigation, OrientationFollowsTheTopController) {
    Harness h(DeviceIdiom::Tablet);
    Log log;
    auto nav = std::make_shared<NavigationController>(std::make_shared<Recorder>("A", log, OrientationMask::All));
    h.show(nav);
    nav->push(std::make_shared<Recorder>("B", log, OrientationMask::Landscape), false);
    EXPECT_EQ(nav->supportedInterfaceOrientations(), OrientationMask::Landscape);

    h.rotate(DeviceOrientation::Portrait);
    EXPECT_EQ(h.app().interfaceOrientation(), InterfaceOrientation::LandscapeRight) << "the top refuses portrait";
    nav->pop(false);
    EXPECT_EQ(nav->supportedInterfaceOrientations(), OrientationMask::All);
    h.rotate(DeviceOrientation::PortraitUpsideDown);
    EXPECT_EQ(h.app().interfaceOrientation(), InterfaceOrientation::PortraitUpsideDown);
    EXPECT_EQ(h.window().bounds().size, (Size{768, 1024}));
    EXPECT_EQ(nav->view()->frame().size, (Size{768, 1024})) << "the root view follows the window";
}

TEST(Navigation, SplitViewHidesTheMasterInPortraitBehindAPopover) {
    struct Listener : SplitViewControllerDelegate {
        std::shared_ptr<BarButtonItem> item;
        int shows = 0;
        void willHideViewController(SplitViewController&, ViewController&, const std::shared_ptr<BarButtonItem>& i,
                                    const std::shared_ptr<PopoverController>&) override {
            item = i;
        }
        void willShowViewController(SplitViewController&, ViewController&,
                                    const std::shared_ptr<BarButtonItem>&) override {
            item.reset();
            ++shows;
        }
    } listener;
    Harness h(DeviceIdiom::Tablet);
    Log log;
    auto master = std::make_shared<Recorder>("M", log);
    auto detail = std::make_shared<Recorder>("D", log);
    auto split = std::make_shared<SplitViewController>();
    split->setDelegate(&listener);
    split->setViewControllers(master, std::make_shared<NavigationController>(detail));
    h.show(split);
    EXPECT_TRUE(master->isVisible());
    EXPECT_TRUE(detail->isVisible());
    EXPECT_EQ(&h.visibleController(), detail.get());

    log.clear();
    h.rotate(DeviceOrientation::Portrait);
    EXPECT_TRUE(split->isMasterHidden());
    EXPECT_EQ(log, (Log{"M.willDisappear", "M.didDisappear"}));
    ASSERT_TRUE(listener.item);
    detail->navigationItem().setLeftBarButtonItem(listener.item);
    h.tap("M");
    EXPECT_TRUE(split->popover()->isPopoverVisible());
    EXPECT_TRUE(master->isVisible());

    h.rotate(DeviceOrientation::LandscapeRight);
    EXPECT_FALSE(split->isMasterHidden());
    EXPECT_EQ(listener.shows, 1);
    EXPECT_TRUE(master->isVisible());
}

TEST(Navigation, TheMasterItemKeptByAnotherBarDoesNothingOnceItsSplitViewIsGone) {
    struct Keeper : SplitViewControllerDelegate {
        std::shared_ptr<BarButtonItem> item;
        void willHideViewController(SplitViewController&, ViewController&, const std::shared_ptr<BarButtonItem>& i,
                                    const std::shared_ptr<PopoverController>&) override {
            item = i;
        }
    } keeper;
    Harness h(DeviceIdiom::Tablet);
    auto master = std::make_shared<ViewController>();
    master->setTitle("M");
    std::weak_ptr<SplitViewController> gone;
    {
        auto split = std::make_shared<SplitViewController>();
        gone = split;
        split->setDelegate(&keeper);
        split->setViewControllers(master, std::make_shared<ViewController>());
        h.show(split);
        h.rotate(DeviceOrientation::Portrait);
    }
    ASSERT_TRUE(keeper.item);
    h.show(std::make_shared<ViewController>());
    ASSERT_TRUE(gone.expired());

    keeper.item->tap();
    EXPECT_FALSE(master->isVisible());
    EXPECT_EQ(master->view()->window(), nullptr);
}
