#pragma once

#include "core/records/Customer.h"
#include "platform/ui/TableViewController.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/customers/LabelValueCellView.h"

#include <memory>
#include <optional>
#include <string>

namespace tavlo::ui {
class TextField;
} // namespace tavlo::ui

namespace tavlo::screens {

// One customer ("CustomerView"): shown with a Map button, or edited (Edit/Done): the names and the
// company in the header, telephones, e-mail, address, directions and a note in the rows. Done of
// editing checks that there is a name or company and a telephone, capitalises the names, and hands
// the customer to the order handler (queued on a lite terminal); a new customer is then the
// answer to the observer. Without a customer to show (no remoteId, no customerId) it makes one.
class CustomerViewController : public ui::TableViewController, public CustomerForm, public LabelValueCellView::Delegate {
public:
    static constexpr const char* kInterfaceName = CustomerForm::kInterfaceName;
    // The header's fields: first name, initial, last name, company.
    static constexpr int kFirstNameTag = 200, kInitialTag = 201, kLastNameTag = 202, kCompanyTag = 203;

    CustomerViewController();

    void setSession(Session* session) override { session_ = session; }
    void setRemoteId(std::optional<std::string> id) override { remoteId_ = std::move(id); }
    void setCustomerId(std::optional<std::string> id) override { customerId_ = std::move(id); }
    void setObserver(CustomerPicker::Observer observer) override { observer_ = std::move(observer); }
    // A Done button that hands the customer on screen back.
    void setDone(bool done) override { done_ = done; }
    const std::optional<std::string>& remoteId() const { return remoteId_; }
    const Customer& customer() const { return customer_; }

    // First letter of each word upper case, the rest lower case (ASCII letters).
    static std::string capitalized(const std::string& text);

    void doneAction();
    void map();

    void viewDidLoad() override;
    void setEditing(bool editing, bool animated) override;
    int numberOfSections(ui::TableView&) override { return 4; }
    int numberOfRows(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    double heightForRow(ui::TableView&, ui::IndexPath path) override;
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;
    ui::EditingStyle editingStyleForRow(ui::TableView&, ui::IndexPath) override { return ui::EditingStyle::None; }
    bool shouldIndentWhileEditing(ui::TableView&, ui::IndexPath) override { return false; }
    void valueDidEndEditing(LabelValueCellView& cell) override;

private:
    struct Row;
    static const Row& rowAt(ui::IndexPath path);
    bool animated() const;
    void setupHeaderView(bool editing);
    std::string headerText(int tag) const;
    bool save();
    // Copies every row's text into the customer.
    void updateFieldValues();
    void alert(const std::string& message);

    Session* session_ = nullptr;
    std::optional<std::string> remoteId_, customerId_;
    CustomerPicker::Observer observer_;
    bool done_ = false;
    Customer customer_;
    std::shared_ptr<ui::View> header_;
};

void registerCustomerView();

} // namespace tavlo::screens
