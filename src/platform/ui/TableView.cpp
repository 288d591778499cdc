#include "platform/ui/TableView.h"

#include <algorithm>
#include <cmath>

namespace tavlo::ui {

TableView::TableView(Rect frame, TableViewStyle style)
    : ScrollView(frame), style_(style), headerHeight_(style == TableViewStyle::Plain ? 22 : 44) {
    setBackgroundColor(Color::white());
}

void TableView::setTableHeaderView(std::shared_ptr<View> view) {
    if (headerView_) headerView_->removeFromSuperview();
    headerView_ = std::move(view);
    if (headerView_) addSubview(headerView_);
    setNeedsLayout();
}

void TableView::reloadData() {
    hideDeleteConfirmation();
    auto cells = visible_;
    for (auto& [path, cell] : cells) recycle(path);
    selected_.clear();
    loaded_ = false;
    loadCountsIfNeeded();
    setNeedsLayout();
}

void TableView::loadCountsIfNeeded() {
    if (loaded_) return;
    loaded_ = true;
    rows_.clear();
    if (!dataSource_) return;
    int sections = std::max(0, dataSource_->numberOfSections(*this));
    for (int s = 0; s < sections; ++s) rows_.push_back(std::max(0, dataSource_->numberOfRows(*this, s)));
}

int TableView::numberOfSections() {
    loadCountsIfNeeded();
    return static_cast<int>(rows_.size());
}

int TableView::numberOfRows(int section) {
    loadCountsIfNeeded();
    return section >= 0 && section < static_cast<int>(rows_.size()) ? rows_[section] : 0;
}

bool TableView::isValid(IndexPath path) { return path.row >= 0 && path.row < numberOfRows(path.section); }

std::optional<std::string> TableView::headerTitle(int section) {
    if (!dataSource_ || section < 0 || section >= numberOfSections()) return std::nullopt;
    return dataSource_->titleForHeader(*this, section);
}

std::vector<std::string> TableView::sectionIndexTitles() {
    return dataSource_ ? dataSource_->sectionIndexTitles(*this) : std::vector<std::string>{};
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCell(const std::string& identifier) {
    auto it = pool_.find(identifier);
    if (it == pool_.end() || it->second.empty()) return nullptr;
    std::shared_ptr<TableViewCell> cell = it->second.back();
    it->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

void TableView::recycle(const IndexPath& path) {
    auto it = visible_.find(path);
    if (it == visible_.end()) return;
    std::shared_ptr<TableViewCell> cell = it->second;
    visible_.erase(it);
    cell->removeFromSuperview();
    cell->setSelected(false, false);
    if (!cell->reuseIdentifier().empty()) pool_[cell->reuseIdentifier()].push_back(cell);
}

double TableView::heightFor(IndexPath path) {
    double h = delegate_ ? delegate_->heightForRow(*this, path) : -1;
    return h < 0 ? rowHeight_ : h;
}

double TableView::groupInset() const {
    if (style_ != TableViewStyle::Grouped) return 0;
    return bounds().width() >= 600 ? 45 : 10;
}

double TableView::indexWidth() {
    const std::vector<std::string> titles = sectionIndexTitles();
    if (titles.empty()) return 0;
    double widest = 0;
    const Font font = indexFont();
    for (const std::string& title : titles) widest = std::max(widest, font.measure(title).width);
    return std::clamp(std::ceil(widest) + 8, kIndexWidth, kMaxIndexWidth);
}

TableView::Frames TableView::frames() {
    Frames frames;
    double y = headerView_ ? headerView_->frame().height() : 0;
    double width = bounds().width();
    double inset = groupInset();
    double rowWidth = std::max(0.0, width - 2 * inset - indexWidth());
    for (int s = 0; s < numberOfSections(); ++s) {
        SectionFrame section;
        auto title = headerTitle(s);
        if (title && !title->empty()) {
            section.header = {0, y, width, headerHeight_};
            y += headerHeight_;
        }
        double top = y;
        for (int r = 0; r < rows_[s]; ++r) {
            double h = heightFor({s, r});
            frames.rows.push_back({{s, r}, {inset, y, rowWidth, h}});
            y += h;
        }
        if (y > top) section.rows = {inset, top, rowWidth, y - top};
        frames.sections.push_back(section);
    }
    setContentSize({width, y});
    return frames;
}

Rect TableView::rectForRow(IndexPath path) {
    for (const RowFrame& f : frames().rows)
        if (f.path == path) return f.rect;
    return {};
}

std::vector<TableView::SectionFrame> TableView::sectionFrames() { return frames().sections; }

void TableView::scrollToRow(IndexPath path, bool animated) {
    Rect r = rectForRow(path);
    Rect b = bounds();
    if (r.minY() >= b.minY() && r.maxY() <= b.maxY()) return;
    double y = std::max(0.0, std::min(r.minY(), contentSize().height - b.height()));
    setContentOffset({b.x(), y}, animated);
    setNeedsLayout();
}

void TableView::layoutSubviews() {
    if (headerView_) {
        Rect f = headerView_->frame();
        headerView_->setFrame({0, 0, bounds().width(), f.height()});
    }
    Rect b = bounds();
    std::vector<RowFrame> rows = frames().rows;
    std::set<IndexPath> shown;
    for (const RowFrame& f : rows)
        if (f.rect.maxY() > b.minY() && f.rect.minY() < b.maxY()) shown.insert(f.path);
    std::vector<IndexPath> leaving;
    for (auto& [path, cell] : visible_)
        if (!shown.count(path)) leaving.push_back(path);
    for (const IndexPath& path : leaving) recycle(path);
    for (const RowFrame& f : rows) {
        if (!shown.count(f.path)) continue;
        std::shared_ptr<TableViewCell>& cell = visible_[f.path];
        if (!cell) {
            cell = dataSource_ ? dataSource_->cellForRow(*this, f.path) : nullptr;
            if (!cell) {
                visible_.erase(f.path);
                continue;
            }
            addSubview(cell);
        }
        cell->setFrame(f.rect);
        cell->setEditing(editing_, false);
        cell->setSelected(selected_.count(f.path) > 0, false);
        cell->layoutIfNeeded();
    }
}

TableViewCell* TableView::cellForRow(IndexPath path) {
    loadCountsIfNeeded();
    layoutIfNeeded();
    auto it = visible_.find(path);
    return it == visible_.end() ? nullptr : it->second.get();
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() {
    layoutIfNeeded();
    std::vector<IndexPath> paths;
    for (auto& [path, cell] : visible_) paths.push_back(path);
    return paths;
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell& cell) const {
    for (auto& [path, c] : visible_)
        if (c.get() == &cell) return path;
    return std::nullopt;
}

void TableView::selectRow(IndexPath path, bool) {
    if (!isValid(path)) return;
    if (!selectsMultiple()) {
        for (const IndexPath& p : selected_)
            if (auto it = visible_.find(p); it != visible_.end()) it->second->setSelected(false, false);
        selected_.clear();
    }
    selected_.insert(path);
    if (auto it = visible_.find(path); it != visible_.end()) it->second->setSelected(true, false);
}

void TableView::deselectRow(IndexPath path, bool) {
    selected_.erase(path);
    if (auto it = visible_.find(path); it != visible_.end()) it->second->setSelected(false, false);
}

std::optional<IndexPath> TableView::indexPathForSelectedRow() const {
    if (selected_.empty()) return std::nullopt;
    return *selected_.begin();
}

std::vector<IndexPath> TableView::indexPathsForSelectedRows() const { return {selected_.begin(), selected_.end()}; }

void TableView::setEditing(bool editing, bool animated) {
    if (editing == editing_) return;
    editing_ = editing;
    confirming_.reset();
    for (const IndexPath& p : std::set<IndexPath>(selected_)) deselectRow(p);
    for (auto& [path, cell] : visible_) {
        cell->setDeleteConfirmationShown(false);
        cell->setEditing(editing, animated);
    }
    setNeedsLayout();
}

std::optional<std::string> TableView::deleteConfirmationTitle(IndexPath path) {
    if (!isValid(path) || !dataSource_ || !dataSource_->canEditRow(*this, path)) return std::nullopt;
    if (delegate_ && delegate_->editingStyleForRow(*this, path) != EditingStyle::Delete) return std::nullopt;
    std::optional<std::string> title = delegate_ ? delegate_->titleForDeleteConfirmation(*this, path) : std::nullopt;
    return title.value_or("Delete");
}

bool TableView::tapRow(IndexPath path) {
    if (!isValid(path)) return false;
    bool allowed = editing_ ? (allowsEditingSelection_ || allowsEditingMultiple_) : allowsSelection_;
    if (!allowed) return false;
    scrollToRow(path);
    layoutIfNeeded();
    bool multiple = selectsMultiple();
    if (multiple && selected_.count(path)) {
        deselectRow(path);
        if (delegate_) delegate_->didDeselectRow(*this, path);
        return true;
    }
    if (!multiple) {
        for (const IndexPath& p : std::set<IndexPath>(selected_)) {
            if (p == path) continue;
            deselectRow(p);
            if (delegate_) delegate_->didDeselectRow(*this, p);
        }
    }
    selectRow(path);
    if (delegate_) delegate_->didSelectRow(*this, path);
    return true;
}

bool TableView::tapAccessory(IndexPath path) {
    if (!isValid(path)) return false;
    scrollToRow(path);
    TableViewCell* cell = cellForRow(path);
    if (!cell || cell->accessoryType() != AccessoryType::DetailDisclosureButton) return false;
    if (delegate_) delegate_->accessoryButtonTapped(*this, path);
    return true;
}

bool TableView::swipeToDelete(IndexPath path) {
    if (editing_) return false;
    return showDeleteConfirmation(path) && confirmDelete(path);
}

bool TableView::showDeleteConfirmation(IndexPath path) {
    if (!deleteConfirmationTitle(path)) return false;
    hideDeleteConfirmation();
    scrollToRow(path);
    TableViewCell* cell = cellForRow(path);
    if (!cell) return false;
    cell->setDeleteConfirmationShown(true);
    confirming_ = path;
    return true;
}

bool TableView::confirmDelete(IndexPath path) {
    if (confirming_ != path) return false;
    hideDeleteConfirmation();
    dataSource_->commitEditing(*this, EditingStyle::Delete, path);
    return true;
}

void TableView::hideDeleteConfirmation() {
    if (!confirming_) return;
    if (auto it = visible_.find(*confirming_); it != visible_.end()) it->second->setDeleteConfirmationShown(false);
    confirming_.reset();
}

} // namespace tavlo::ui
