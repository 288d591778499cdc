#pragma once

#include "platform/store/FetchedResultsController.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/TableViewController.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/SignedInController.h"

#include <memory>
#include <optional>
#include <string>

namespace tavlo::screens {

// The store's customers ("CustomersView"), searchable: as a picker (observer set) a tapped row is
// the answer, "Remove Customer" answers nil and a customer created with + is the answer too; for
// browsing a row's accessory opens the customer form. Search looks for the text in the first and
// last names, the company and both telephones, ignoring case and accents.
class CustomersViewController : public SignedInController<ui::TableViewController, CustomerPicker>,
                                public ui::SearchBarDelegate {
public:
    static constexpr const char* kInterfaceName = CustomerPicker::kInterfaceName;
    static constexpr double kRowHeight = 86;
    // Tags of a row's four texts.
    static constexpr int kNameTag = 1, kCompanyTag = 2, kPhoneTag = 3, kMobileTag = 4;

    CustomersViewController();

    void setObserver(Observer observer) override { observer_ = std::move(observer); }
    void setAllowRemove(bool allow) override { allowRemove_ = allow; }
    ui::SearchBar* searchBar() const { return outlet<ui::SearchBar>("searchBar"); }
    // Null before the view is loaded.
    FetchedResultsController* fetchedResultsController() const { return fetched_.get(); }

    void close();
    void add();
    // Filters by the text and draws the list again.
    void search(const std::string& text);

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    int numberOfRows(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    double heightForRow(ui::TableView&, ui::IndexPath) override { return kRowHeight; }
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;
    void accessoryButtonTapped(ui::TableView& table, ui::IndexPath path) override;
    bool canEditRow(ui::TableView&, ui::IndexPath) override { return false; }
    void searchBarTextDidChange(ui::SearchBar& bar, const std::string& text) override;
    void searchBarSearchButtonClicked(ui::SearchBar& bar) override;

private:
    // The condition of a search for the text; the list's own one ("disabled == nil") for "".
    static Predicate searchPredicate(const std::string& text);
    void removeCustomer();
    void fetch(const char* failure);
    std::optional<Customer> customerAt(ui::IndexPath path) const;

    Observer observer_;
    bool allowRemove_ = false;
    std::unique_ptr<FetchedResultsController> fetched_;
};

void registerCustomersView();

} // namespace tavlo::screens
