#pragma once

#include "platform/foundation/Error.h"
#include "platform/ui/TableViewController.h"
#include "screens/common/ScreenInterfaces.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class ManagedObject;
using ManagedObjectPtr = std::shared_ptr<ManagedObject>;
} // namespace tavlo

namespace tavlo::screens {

// The store's comp reasons in name order, the current one check-marked, and a last row "REMOVE
// COMP". A tap answers the opener with the reason (nil for the remove row) and who authorised
// it: the signed-in user, or, for a reason that needs the right "COMPLIMENTARY" the user lacks,
// the employee who grants it on the authorisation prompt. The opener applies the comp and closes
// the list; Done leaves without an answer. The interface "CompListView".
class CompListViewController : public ui::TableViewController, public CompListScreen {
public:
    static constexpr const char* kInterfaceName = CompListScreen::kInterfaceName;

    CompListViewController();
    ~CompListViewController() override;

    Session* session() const { return session_; }
    void setSession(Session* session) override { session_ = session; }
    const std::optional<std::string>& currentComp() const { return currentComp_; }
    void setCurrentComp(std::optional<std::string> compName) override { currentComp_ = std::move(compName); }
    void setAnswer(Answer answer) override { answer_ = std::move(answer); }

    // The answer to the opener.
    void saveComp(const std::optional<std::string>& compId, const std::optional<std::string>& authorizedBy);
    // The authorisation prompt's answer: the reason asked for and the employee who granted it.
    void authenticated(const std::string& compId, const std::string& authorizedBy);
    // The left bar button: back to the opener, no answer.
    void back();

    void viewDidLoad() override;
    int numberOfRows(ui::TableView&, int) override { return static_cast<int>(comps_.size()) + 1; }
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;

private:
    bool animated() const;
    // The reasons not disabled, by name; false when the store cannot be read.
    bool fetch(Error& error);
    void askAuthorization(const std::string& compId);

    Session* session_ = nullptr;
    std::optional<std::string> currentComp_;
    Answer answer_;
    std::vector<ManagedObjectPtr> comps_;
};

} // namespace tavlo::screens
