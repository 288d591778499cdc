#pragma once

#include "platform/ui/Font.h"
#include "platform/ui/IndexPath.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableViewCell.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tavlo::ui {

class TableView;

enum class TableViewStyle { Plain, Grouped };
enum class EditingStyle { None, Delete, Insert };

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfSections(TableView&) { return 1; }
    virtual int numberOfRows(TableView&, int section) = 0;
    virtual std::shared_ptr<TableViewCell> cellForRow(TableView&, IndexPath) = 0;
    virtual std::optional<std::string> titleForHeader(TableView&, int /*section*/) { return std::nullopt; }
    virtual std::vector<std::string> sectionIndexTitles(TableView&) { return {}; }
    virtual bool canEditRow(TableView&, IndexPath) { return true; }
    virtual void commitEditing(TableView&, EditingStyle, IndexPath) {}
};

class TableViewDelegate {
public:
    virtual ~TableViewDelegate() = default;
    // Negative: the table's row height.
    virtual double heightForRow(TableView&, IndexPath) { return -1; }
    virtual void didSelectRow(TableView&, IndexPath) {}
    virtual void didDeselectRow(TableView&, IndexPath) {}
    virtual void accessoryButtonTapped(TableView&, IndexPath) {}
    virtual EditingStyle editingStyleForRow(TableView&, IndexPath) { return EditingStyle::Delete; }
    // None: "Delete".
    virtual std::optional<std::string> titleForDeleteConfirmation(TableView&, IndexPath) { return std::nullopt; }
    virtual bool shouldIndentWhileEditing(TableView&, IndexPath) { return true; }
};

// Rows in sections from a data source. Only the rows inside the bounds have cells; cells that
// scroll out (or that a reload lets go) wait in a pool for dequeueReusableCell. Data source and
// delegate are not owned.
class TableView : public ScrollView {
public:
    explicit TableView(Rect frame = {}, TableViewStyle style = TableViewStyle::Plain);

    TableViewStyle style() const { return style_; }
    void setDataSource(TableViewDataSource* dataSource) { dataSource_ = dataSource; }
    TableViewDataSource* dataSource() const { return dataSource_; }
    void setTableDelegate(TableViewDelegate* delegate) { delegate_ = delegate; }
    TableViewDelegate* tableDelegate() const { return delegate_; }

    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double height) { rowHeight_ = height; }
    double sectionHeaderHeight() const { return headerHeight_; }
    void setSectionHeaderHeight(double height) { headerHeight_ = height; }
    const std::shared_ptr<View>& tableHeaderView() const { return headerView_; }
    void setTableHeaderView(std::shared_ptr<View> view);

    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool allows) { allowsSelection_ = allows; }
    bool allowsMultipleSelection() const { return allowsMultiple_; }
    void setAllowsMultipleSelection(bool allows) { allowsMultiple_ = allows; }
    bool allowsSelectionDuringEditing() const { return allowsEditingSelection_; }
    void setAllowsSelectionDuringEditing(bool allows) { allowsEditingSelection_ = allows; }
    bool allowsMultipleSelectionDuringEditing() const { return allowsEditingMultiple_; }
    void setAllowsMultipleSelectionDuringEditing(bool allows) { allowsEditingMultiple_ = allows; }

    // Asks the data source again; every cell goes back to the pool and the selection is cleared.
    void reloadData();
    int numberOfSections();
    int numberOfRows(int section);
    std::optional<std::string> headerTitle(int section);
    std::vector<std::string> sectionIndexTitles();

    std::shared_ptr<TableViewCell> dequeueReusableCell(const std::string& identifier);
    // The cell of a row inside the bounds; null for a row scrolled out of sight.
    TableViewCell* cellForRow(IndexPath path);
    std::vector<IndexPath> indexPathsForVisibleRows();
    std::optional<IndexPath> indexPathForCell(const TableViewCell& cell) const;
    Rect rectForRow(IndexPath path);
    // Where each section goes: the band of its header title (empty without one) and the band its
    // rows fill (empty without rows).
    struct SectionFrame {
        Rect header;
        Rect rows;
    };
    std::vector<SectionFrame> sectionFrames();
    // How far a grouped table's rows stand in from its sides (0 for a plain one).
    double groupInset() const;
    // The strip of section index titles at the right, as wide as its widest title needs (within
    // kIndexWidth and kMaxIndexWidth); rows leave room for it. 0 without titles.
    static constexpr double kIndexWidth = 28, kMaxIndexWidth = 80;
    static Font indexFont() { return Font::boldSystem(11); }
    double indexWidth();
    void scrollToRow(IndexPath path, bool animated = false);
    bool isValid(IndexPath path);

    // Selection by the program: the delegate is not told.
    void selectRow(IndexPath path, bool animated = false);
    void deselectRow(IndexPath path, bool animated = false);
    std::optional<IndexPath> indexPathForSelectedRow() const;
    std::vector<IndexPath> indexPathsForSelectedRows() const;

    bool isEditing() const { return editing_; }
    void setEditing(bool editing, bool animated = false);
    // The confirmation a swipe shows; none when the row cannot be deleted.
    std::optional<std::string> deleteConfirmationTitle(IndexPath path);

    // A person's acts on rows; each answers whether it did anything.
    bool tapRow(IndexPath path);
    bool tapAccessory(IndexPath path);
    // Swipe, then confirm: the data source commits the delete.
    bool swipeToDelete(IndexPath path);
    // The two halves of that: the row shows its delete button (a swipe, or the editing control),
    // and a tap on the button commits the delete.
    bool showDeleteConfirmation(IndexPath path);
    bool confirmDelete(IndexPath path);
    void hideDeleteConfirmation();
    const std::optional<IndexPath>& deleteConfirmationRow() const { return confirming_; }

    void layoutSubviews() override;

private:
    struct RowFrame {
        IndexPath path;
        Rect rect;
    };
    struct Frames {
        std::vector<RowFrame> rows;
        std::vector<SectionFrame> sections;
    };
    void loadCountsIfNeeded();
    Frames frames();
    void recycle(const IndexPath& path);
    double heightFor(IndexPath path);
    bool selectsMultiple() const { return editing_ ? allowsEditingMultiple_ : allowsMultiple_; }

    TableViewStyle style_;
    TableViewDataSource* dataSource_ = nullptr;
    TableViewDelegate* delegate_ = nullptr;
    double rowHeight_ = 44;
    double headerHeight_;
    std::shared_ptr<View> headerView_;
    bool allowsSelection_ = true;
    bool allowsMultiple_ = false;
    bool allowsEditingSelection_ = false;
    bool allowsEditingMultiple_ = false;
    bool editing_ = false;
    bool loaded_ = false;
    std::vector<int> rows_;
    std::map<IndexPath, std::shared_ptr<TableViewCell>> visible_;
    std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> pool_;
    std::set<IndexPath> selected_;
    std::optional<IndexPath> confirming_;
};

} // namespace tavlo::ui
