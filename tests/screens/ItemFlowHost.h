#pragma once

#include "ItemFlowTerminal.h"
#include "platform/ui/TableViewController.h"
#include "platform/ui/render/Snapshot.h"
#include "support/ui/Harness.h"

#include <memory>
#include <optional>
#include <string>

namespace tavlo::screens::test {

// The item flow terminal shown headless by the harness, with what the tests read and do on its
// screens.
class ItemFlowHost : public ItemFlowTerminal {
public:
    explicit ItemFlowHost(ui::DeviceIdiom idiom = ui::DeviceIdiom::Phone) : h(idiom) { h.show(host); }

    bool start(const std::string& itemId, FlowAsks asks = {}) {
        bool shown = ItemFlowTerminal::start(itemId, asks);
        h.runUntilIdle();
        return shown;
    }
    void openAlone(const std::shared_ptr<ui::ViewController>& screen) {
        ItemFlowTerminal::openAlone(screen);
        h.runUntilIdle();
    }

    // The screen of the flow a person sees.
    template <typename T> T& screen() { return h.visible<T>(); }
    ui::NavigationController& navigation() {
        return dynamic_cast<ui::NavigationController&>(*host->presentedViewController());
    }
    size_t stackDepth() { return navigation().viewControllers().size(); }
    std::optional<std::string> title() { return h.visibleController().title(); }
    ui::TableView& table() { return h.visible<ui::TableViewController>().tableView(); }
    // The row that shows the text; throws when none does.
    ui::TableViewCell& row(const std::string& text) {
        ui::TableView& t = table();
        for (int row = 0; row < t.numberOfRows(0); ++row)
            if (ui::TableViewCell* cell = t.cellForRow({0, row}); cell && rowText(*cell) == text) return *cell;
        throw ui::test::HarnessError("no row shows \"" + text + "\"");
    }
    // Taps the row that shows the text.
    void tapRow(const std::string& text) { h.tapRow(table(), *table().indexPathForCell(row(text))); }
    // A row's words: the side's name on the sides screen, else the cell's text.
    static std::optional<std::string> rowText(ui::TableViewCell& cell) {
        if (auto* name = dynamic_cast<ui::Label*>(cell.viewWithTag(2))) return name->text();
        return cell.textLabel().text();
    }
    // The picture of the window, for people to look at.
    ui::render::Bitmap picture() { return ui::render::snapshot(h.window(), h.window().bounds().size); }

    ui::test::Harness h;
};

} // namespace tavlo::screens::test
