#pragma once

#include "platform/ui/Color.h"
#include "platform/ui/Control.h"
#include "platform/ui/TableViewController.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tavlo {
class Order;
class Preparation;
class Selection;
class Session;
using SelectionPtr = std::shared_ptr<Selection>;
} // namespace tavlo

namespace tavlo::screens {

// The base of every screen that lists an order's lines (the order screen, the split screen): one
// section, first a row per active selection, then a row per active discount. A selection row shows
// its quantity, name and amount, and under them one small line for each comp, tax exemption,
// comment, preparation and side (with the side's preparations), and for a combo a line per chosen
// item followed by that item's own lines. Seat, course and the line's tax sit on the right when
// the screen shows them. The row is as high as the lines it draws.
class OrderTableViewController : public ui::TableViewController {
public:
    // Tags of a row's fixed parts.
    static constexpr int kQuantityTag = 1, kNameTag = 2, kAmountTag = 4, kTaxTag = 5, kSeatTag = 6, kCourseTag = 7;
    // The first tag of a combo's item name lines, of the main selection's lines and of the first
    // combo item's lines (each further item 100 more).
    static constexpr int kComboNameTag = 10, kMainBase = 100, kComboBase = 200;
    static constexpr double kLineHeight = 18, kMinRowHeight = 45, kDiscountRowHeight = 45;

    // One small line under a row's top text.
    struct DetailLine {
        int tag;
        std::string text;
        double x;
        ui::Color colour;
    };

    explicit OrderTableViewController(std::string interfaceName = {});

    const std::shared_ptr<Order>& order() const { return order_; }
    void setOrder(std::shared_ptr<Order> order) { order_ = std::move(order); }
    Session* session() const { return session_.get(); }
    const std::shared_ptr<Session>& sharedSession() const { return session_; }
    void setSession(std::shared_ptr<Session> session) { session_ = std::move(session); }
    bool quickSale() const { return quickSale_; }
    virtual void setQuickSale(bool quickSale) { quickSale_ = quickSale; }
    bool courseView() const { return courseView_; }
    void setCourseView(bool on) { courseView_ = on; }
    bool seatView() const { return seatView_; }
    void setSeatView(bool on) { seatView_ = on; }
    bool selectionTaxes() const { return selectionTaxes_; }
    void setSelectionTaxes(bool on) { selectionTaxes_ = on; }
    // The quantity becomes a button that asks for one unit more; it hands over the tapped button.
    using PlusAction = std::function<void(ui::Control& button)>;
    void setPlusAction(PlusAction action) { plusAction_ = std::move(action); }
    ui::TableView& selectionsTable() { return tableView(); }

    // The order's active selections, by seat then course (or course then seat) when the screen
    // shows seats or courses; otherwise as they were added.
    std::vector<SelectionPtr> sortedSelections() const;
    // The lines a selection row draws under its top text, top to bottom.
    std::vector<DetailLine> detailLines(const Selection& selection) const;
    // How many lines of text one of them takes in a row of that width: a long one wraps.
    static int lineCount(const DetailLine& line, double rowWidth);

    int numberOfSections(ui::TableView&) override { return 1; }
    int numberOfRows(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    double heightForRow(ui::TableView&, ui::IndexPath path) override;
    bool canEditRow(ui::TableView&, ui::IndexPath) override { return false; }
    uint32_t supportedInterfaceOrientations() const override;

protected:
    // An empty row with the fixed parts 1, 2, 4 and, as configured, 5, 6 and 7.
    std::shared_ptr<ui::TableViewCell> getCellContentView(const std::string& identifier, double width);

private:
    std::string preparationName(const Preparation& preparation) const;
    void addLines(const Selection& selection, int base, double x, std::vector<DetailLine>& lines) const;
    void fillSelection(ui::TableViewCell& cell, const Selection& selection, double rowWidth);
    // The width the table gives its rows.
    static double rowWidth(ui::TableView& table);
    void fillDiscount(ui::TableViewCell& cell, int index);

    std::shared_ptr<Order> order_;
    std::shared_ptr<Session> session_;
    bool quickSale_ = false, courseView_ = false, seatView_ = false, selectionTaxes_ = false;
    PlusAction plusAction_;
};

} // namespace tavlo::screens
