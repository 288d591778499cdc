// Tables, plain and grouped: headers, groups, separators, cells with their selection,
// accessories, editing controls and delete buttons, and the section index.
#include "platform/ui/TableView.h"
#include "platform/ui/render/Renderer.h"
#include "platform/ui/render/Shapes.h"
#include "platform/ui/render/Theme.h"
#include "platform/ui/render/Typesetter.h"

#include <algorithm>

namespace tavlo::ui::render {

namespace {

constexpr double kGroupRadius = 10;
constexpr double kSeparatorInset = 15;

bool intersects(const Rect& a, const Rect& b) {
    return a.minX() < b.maxX() && b.minX() < a.maxX() && a.minY() < b.maxY() && b.minY() < a.maxY();
}

} // namespace

void Renderer::drawTableGroups(TableView& table) {
    bool grouped = table.style() == TableViewStyle::Grouped;
    Rect visible = table.bounds();
    auto sections = table.sectionFrames();
    for (size_t s = 0; s < sections.size(); ++s) {
        const TableView::SectionFrame& section = sections[s];
        if (grouped && !section.rows.isEmpty() && intersects(section.rows, visible)) {
            context_.setFillColor(Color::white());
            context_.fillRoundedRect(section.rows, kGroupRadius);
        }
        if (section.header.isEmpty() || !intersects(section.header, visible)) continue;
        std::string title = table.headerTitle(static_cast<int>(s)).value_or("");
        Font font = theme::headerFont();
        double h = Typesetter::shared().measure(title, font).height;
        if (grouped) {
            double x = table.groupInset() + 8;
            context_.setFillColor(theme::mutedInk());
            context_.drawText(title, {x, section.header.maxY() - h - 6, section.header.width() - 2 * x, h}, font,
                              TextAlignment::Left, {1, LineBreakMode::TruncateTail});
        } else {
            context_.setFillColor(theme::headerBand());
            context_.fillRect(section.header);
            context_.setFillColor(theme::ink());
            context_.drawText(title, {12, section.header.midY() - h / 2, section.header.width() - 24, h}, font,
                              TextAlignment::Left, {1, LineBreakMode::TruncateTail});
        }
    }
}

void Renderer::drawTableDecorations(TableView& table) {
    bool grouped = table.style() == TableViewStyle::Grouped;
    for (const auto& sub : table.subviews()) {
        auto* cell = dynamic_cast<TableViewCell*>(sub.get());
        if (!cell || cell->isHidden()) continue;
        auto path = table.indexPathForCell(*cell);
        if (!path) continue;
        Rect f = cell->frame();
        bool lastInGroup = grouped && path->row == table.numberOfRows(path->section) - 1;
        if (!lastInGroup) {
            context_.setFillColor(theme::line());
            context_.fillRect({f.minX() + kSeparatorInset, f.maxY() - 1, f.width() - kSeparatorInset, 1});
        }
        if (cell->cellState() & CellState::ShowingDeleteConfirmation) {
            std::string title = table.deleteConfirmationTitle(*path).value_or("Delete");
            Font font = Font::boldSystem(15);
            Size text = Typesetter::shared().measure(title, font);
            double w = std::max(82.0, text.width + 28), h = std::min(f.height() - 10, 38.0);
            Rect button{f.maxX() - w - 10, f.midY() - h / 2, w, h};
            context_.setFillColor(theme::red());
            context_.fillRoundedRect(button, 6);
            context_.setFillColor(Color::white());
            context_.drawText(title, {button.minX(), button.midY() - text.height / 2, button.width(), text.height},
                              font, TextAlignment::Center, {1, LineBreakMode::TruncateTail});
            TableView* target = &table;
            IndexPath row = *path;
            addRegion(
                button.insetBy(-4, -4), [target, row] { target->confirmDelete(row); }, title);
        }
    }
    if (!grouped) return;
    context_.setStrokeColor(theme::line());
    for (const auto& section : table.sectionFrames())
        if (!section.rows.isEmpty()) context_.strokeRoundedRect(section.rows.insetBy(0.5, 0.5), kGroupRadius);
}

void Renderer::drawIndexStrip(TableView& table, const Rect& bounds) {
    std::vector<std::string> titles = table.sectionIndexTitles();
    if (titles.empty()) return;
    const double width = table.indexWidth();
    Rect strip{bounds.maxX() - width, bounds.minY() + 4, width, std::max(0.0, bounds.height() - 8)};
    double slot = std::min(18.0, strip.height() / titles.size());
    double top = strip.minY() + (strip.height() - slot * titles.size()) / 2;
    Font font = theme::indexFont();
    double h = Typesetter::shared().measure("A", font).height;
    for (size_t i = 0; i < titles.size(); ++i) {
        Rect box{strip.minX(), top + slot * i, strip.width(), slot};
        context_.setFillColor(theme::teal());
        context_.drawText(titles[i], {box.minX(), box.midY() - h / 2, box.width(), h}, font, TextAlignment::Center,
                          {1, LineBreakMode::Clip});
        TableView* target = &table;
        int section = static_cast<int>(i);
        addRegion(
            box,
            [target, section] {
                if (section < target->numberOfSections() && target->numberOfRows(section) > 0)
                    target->scrollToRow({section, 0});
            },
            "index " + titles[i]);
    }
}

void Renderer::drawCell(TableViewCell& cell, const Rect& bounds) {
    TableView* table = cell.tableView();
    auto path = table ? table->indexPathForCell(cell) : std::nullopt;
    if ((cell.isSelected() || cell.isHighlighted()) && cell.selectionStyle() != SelectionStyle::None) {
        if (cell.selectionStyle() == SelectionStyle::Blue) {
            context_.setFillColor(theme::teal());
            cellTextColor_ = Color::white();
        } else {
            context_.setFillColor(theme::rgb(0xDD, 0xD9, 0xD0));
        }
        context_.fillRect(bounds);
    }
    drawAccessory(cell, bounds);
    if (!cell.isEditing() || !table || !path) return;
    EditingStyle style =
        table->tableDelegate() ? table->tableDelegate()->editingStyleForRow(*table, *path) : EditingStyle::Delete;
    if (style == EditingStyle::None) return;
    if (table->allowsMultipleSelectionDuringEditing()) return drawSelectionControl(cell, *table, *path, bounds);
    Rect circle{10, bounds.midY() - 11, 22, 22};
    context_.setFillColor(style == EditingStyle::Delete ? theme::red() : theme::teal());
    context_.fillEllipse(circle);
    context_.setFillColor(Color::white());
    context_.fillRect({circle.minX() + 5, circle.midY() - 1.5, 12, 3});
    if (style == EditingStyle::Insert) context_.fillRect({circle.midX() - 1.5, circle.minY() + 5, 3, 12});
    IndexPath row = *path;
    auto action = style == EditingStyle::Delete
                      ? std::function<void()>([table, row] { table->showDeleteConfirmation(row); })
                      : std::function<void()>([table, row] {
                            if (table->dataSource())
                                table->dataSource()->commitEditing(*table, EditingStyle::Insert, row);
                        });
    addRegion({0, 0, TableViewCell::kEditingIndent, bounds.height()}, action, "editing control");
}

// Several rows are chosen while editing: each row that has an editing control shows a ring instead,
// filled with a check mark once the row is chosen; the control (like the row) toggles it.
void Renderer::drawSelectionControl(TableViewCell& cell, TableView& table, IndexPath row, const Rect& bounds) {
    Rect circle{10, bounds.midY() - 11, 22, 22};
    context_.saveState();
    if (cell.isSelected()) {
        context_.setFillColor(cell.selectionStyle() == SelectionStyle::Blue ? Color::white() : theme::teal());
        context_.fillEllipse(circle);
        context_.setStrokeColor(cell.selectionStyle() == SelectionStyle::Blue ? theme::teal() : Color::white());
        context_.setLineWidth(2.5);
        context_.strokePath(Path()
                                .moveTo({circle.minX() + 6, circle.midY()})
                                .lineTo({circle.minX() + 10, circle.midY() + 4})
                                .lineTo({circle.maxX() - 5, circle.minY() + 7}));
    } else {
        context_.setStrokeColor(theme::line());
        context_.setLineWidth(1.5);
        context_.strokeEllipse(circle.insetBy(0.75, 0.75));
    }
    context_.restoreState();
    TableView* target = &table;
    addRegion(
        {0, 0, TableViewCell::kEditingIndent, bounds.height()}, [target, row] { target->tapRow(row); },
        "selection control");
}

void Renderer::drawAccessory(TableViewCell& cell, const Rect& bounds) {
    AccessoryType type = cell.accessoryType();
    // While editing, the row's controls stand where its accessory would.
    if (type == AccessoryType::None || cell.accessoryView() || cell.isEditing() ||
        (cell.cellState() & CellState::ShowingDeleteConfirmation))
        return;
    double w = TableViewCell::accessoryWidth(type);
    Rect area{bounds.maxX() - w, 0, w, bounds.height()};
    Point c = area.center();
    bool onTeal = cellTextColor_.has_value();
    context_.setLineCap(LineCap::Round);
    switch (type) {
    case AccessoryType::DisclosureIndicator:
        context_.setStrokeColor(onTeal ? Color::white() : theme::mutedInk());
        context_.setLineWidth(2.5);
        context_.strokePath(polygon({{c.x - 3, c.y - 6}, {c.x + 3, c.y}, {c.x - 3, c.y + 6}}, false));
        break;
    case AccessoryType::Checkmark:
        context_.setStrokeColor(onTeal ? Color::white() : theme::teal());
        context_.setLineWidth(3);
        context_.strokePath(polygon({{c.x - 7, c.y}, {c.x - 2, c.y + 5}, {c.x + 7, c.y - 6}}, false));
        break;
    case AccessoryType::DetailDisclosureButton: {
        context_.setFillColor(onTeal ? Color::white() : theme::teal());
        context_.fillEllipse({c.x - 13, c.y - 13, 26, 26});
        context_.setStrokeColor(onTeal ? theme::teal() : Color::white());
        context_.setLineWidth(2.5);
        context_.strokePath(polygon({{c.x - 2, c.y - 5}, {c.x + 3, c.y}, {c.x - 2, c.y + 5}}, false));
        TableView* table = cell.tableView();
        if (auto path = table ? table->indexPathForCell(cell) : std::nullopt) {
            IndexPath row = *path;
            addRegion(
                area, [table, row] { table->tapAccessory(row); }, "detail button");
        }
        break;
    }
    case AccessoryType::None: break;
    }
    context_.setLineCap(LineCap::Butt);
    context_.setLineWidth(1);
}

} // namespace tavlo::ui::render
