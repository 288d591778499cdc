#pragma once

#include "core/records/Area.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/layout/TableLayoutView.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens {

// The table layout ("TableLayoutView"): the floor plan of one area in a scroll view that zooms
// from 0.5 to 6 times (two taps zoom in on the point, a two-finger tap zooms out), kept centred
// while smaller than the screen. A press on a table hands its AreaLocation row to the observer.
// The toolbar has "Logout", the shown area's name, which opens a picker of the enabled areas,
// and "Orders". While shown, the plan is drawn again whenever the stored orders change.
class TableLayoutViewController : public ui::ViewController,
                                  public TableLayoutScreen,
                                  public ui::ScrollViewDelegate,
                                  public ui::PickerViewDataSource,
                                  public ui::PickerViewDelegate {
public:
    static constexpr const char* kInterfaceName = kTableLayoutInterface;
    static constexpr double kMinimumZoom = 0.5;
    static constexpr double kMaximumZoom = 6.0;
    static constexpr double kZoomStep = 1.5;
    // The plan's own size, in plan points.
    static constexpr double kPlanWidth = 1024;
    static constexpr double kPlanHeight = 768;

    // The plan view drawn (one of the plan's size when none is given).
    explicit TableLayoutViewController(std::shared_ptr<TableLayoutView> planView = nullptr);
    ~TableLayoutViewController() override;

    const std::shared_ptr<Session>& session() const { return session_; }
    void setSession(std::shared_ptr<Session> session) override;
    bool updateOnAppear() const { return updateOnAppear_; }
    void setUpdateOnAppear(bool update) override { updateOnAppear_ = update; }
    void setObserver(TableSelected selected, Action logout, Action orders) override;

    // The enabled areas that have locations, by name.
    const std::vector<Area>& areas() const { return areas_; }
    TableLayoutView& planView() const { return *planView_; }
    ui::ScrollView& scrollView() const;
    ui::TextField& pickerViewTextField() const { return *pickerField_; }
    ui::PickerView& pickerView() const { return *picker_; }

    // The table of the shown area under a point of the plan (edges included); none over a fixture,
    // outside every table, or with nobody to hand it to.
    std::optional<AreaLocation> tableAt(int x, int y) const;
    void centerScrollViewContents();
    // Shows the area (the toolbar's button takes its name) and draws the plan again now.
    void showArea(const Area& area);
    void refreshView();
    // Reads the open orders from the server (not in lite mode); a failure is logged, and shown when
    // HH_ALERT_LAYOUT_REFRESH_ERRORS says so.
    void refreshOrders();

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    uint32_t supportedInterfaceOrientations() const override;

    ui::View* viewForZooming(ui::ScrollView&) override;
    void scrollViewDidZoom(ui::ScrollView&) override;
    int numberOfComponents(ui::PickerView&) override { return 1; }
    int numberOfRows(ui::PickerView&, int component) override;
    std::optional<std::string> titleForRow(ui::PickerView&, int row, int component) override;
    void didSelectRow(ui::PickerView&, int row, int component) override;

private:
    void readAreas();
    void setupZooming();
    void setupPicker();
    void buildToolbar();
    void scrollViewOneFingerTapped(ui::GestureRecognizer& gesture);
    void scrollViewTwoFingerTapped(ui::GestureRecognizer& gesture);
    void scrollViewDoubleTapped(ui::GestureRecognizer& gesture);
    void someButtonTouched();
    void closePicker();
    bool animated() const;

    std::shared_ptr<Session> session_;
    std::vector<Area> areas_;
    std::shared_ptr<TableLayoutView> planView_;
    std::shared_ptr<ui::TextField> pickerField_;
    std::shared_ptr<ui::PickerView> picker_;
    std::shared_ptr<ui::BarButtonItem> areaButton_;
    TableSelected selected_;
    Action logout_, orders_;
    bool updateOnAppear_ = false;
    ScopedObserver ordersChange_;
};

// Registers the table layout ("TableLayoutView").
void registerTableLayoutScreen();

} // namespace tavlo::screens
