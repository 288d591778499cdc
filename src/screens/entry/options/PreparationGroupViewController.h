#pragma once

#include "platform/foundation/Error.h"
#include "platform/ui/TableViewController.h"
#include "screens/entry/options/OptionScreen.h"

#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class ManagedObject;
using ManagedObjectPtr = std::shared_ptr<ManagedObject>;
} // namespace tavlo

namespace tavlo::screens {

// The preparations of one preparation group for one line (how a steak is cooked, the salad's
// dressing), within the group's minimum and maximum number of choices: a check-marked list in the
// group's order. A tap chooses or drops a preparation on the line at once; in a one-choice group
// a tap on another replaces the choice. Reaching the maximum moves on by itself. In a flow a
// group whose minimum is at least its maximum has no Done button; outside a flow Done insists on
// the minimum. The interface "PreparationGroupView".
class PreparationGroupViewController : public OptionScreen<ui::TableViewController> {
public:
    static constexpr const char* kInterfaceName = "PreparationGroupView";

    PreparationGroupViewController();
    ~PreparationGroupViewController() override;

    const std::string& preparationGroupId() const { return preparationGroupId_; }
    void setPreparationGroupId(std::string id) { preparationGroupId_ = std::move(id); }

    // The header above the list for a group's minimum and maximum.
    static std::string headerText(int minimum, int maximum);

    // Bar buttons.
    void done();

    void viewDidLoad() override;
    int numberOfRows(ui::TableView&, int) override { return static_cast<int>(preparations_.size()); }
    std::optional<std::string> titleForHeader(ui::TableView&, int) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;

private:
    // Reads the group and its preparations in order; false when the store cannot be read.
    bool fetch(Error& error);
    std::string preparationId(size_t row) const;
    // How many of the group's preparations the line has.
    int chosenCount() const;
    void drop(size_t row);

    std::string preparationGroupId_;
    ManagedObjectPtr group_;
    std::vector<ManagedObjectPtr> preparations_; // PreparationGroupPreparation rows by sequence
    int minimum_ = 0, maximum_ = 0;
};

// The interface: the table of preparations.
void registerPreparationGroupView();

} // namespace tavlo::screens
