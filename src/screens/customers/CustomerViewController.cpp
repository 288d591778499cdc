#include "screens/customers/CustomerViewController.h"

#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "screens/common/RedButton.h"
#include "sync/handlers/OrderHandler.h"

#include <array>
#include <cctype>

namespace tavlo::screens {

using namespace ui;

// One row of the form: what it shows and edits of the customer.
struct CustomerViewController::Row {
    const char* label; // none for the address's further lines
    const Customer::Text& (Customer::*get)() const;
    void (Customer::*set)(Customer::Text);
    const char* placeholder;
    int maxLength;
    KeyboardType keyboard;
    bool multiLine;
};

namespace {

constexpr std::array<int, 4> kRowsPerSection{2, 1, 5, 1};
constexpr double kHeaderDisplayHeight = 90, kHeaderEditingHeight = 96;

bool hasText(const std::optional<std::string>& text) { return text && !trim(*text).empty(); }

std::optional<std::string> nonEmpty(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return text;
}

} // namespace

const CustomerViewController::Row& CustomerViewController::rowAt(IndexPath path) {
    using C = Customer;
    static const Row rows[] = {
        {"mobile", &C::mobile, &C::setMobile, "Phone", 12, KeyboardType::PhonePad, false},
        {"main", &C::phone, &C::setPhone, "Phone", 12, KeyboardType::PhonePad, false},
        {"email", &C::email, &C::setEmail, "Address", 30, KeyboardType::EmailAddress, false},
        {"address", &C::street, &C::setStreet, "Street", 40, KeyboardType::Default, false},
        {nullptr, &C::city, &C::setCity, "City", 25, KeyboardType::Default, false},
        {nullptr, &C::state, &C::setState, "State", 2, KeyboardType::Default, false},
        {nullptr, &C::postalCode, &C::setPostalCode, "Postal Code", 12, KeyboardType::NumbersAndPunctuation, false},
        {"directions", &C::directions, &C::setDirections, nullptr, -1, KeyboardType::Default, true},
        {"note", &C::note, &C::setNote, nullptr, -1, KeyboardType::Default, true},
    };
    int index = path.row;
    for (int section = 0; section < path.section; ++section) index += kRowsPerSection[section];
    return rows[index];
}

CustomerViewController::CustomerViewController() : SignedInController(kInterfaceName, TableViewStyle::Grouped) {}

std::string CustomerViewController::capitalized(const std::string& text) {
    std::string out = text;
    bool wordStart = true;
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalpha(byte)) {
            c = static_cast<char>(wordStart ? std::toupper(byte) : std::tolower(byte));
            wordStart = false;
        } else {
            wordStart = std::isspace(byte) != 0;
        }
    }
    return out;
}

void CustomerViewController::viewDidLoad() {
    if (done_)
        navigationItem().setLeftBarButtonItem(
            BarButtonItem::titled(localized("Done"), BarButtonStyle::Done, [this](BarButtonItem&) { doneAction(); }));
    setTitle(localized("Customer"));
    navigationItem().setRightBarButtonItem(editButtonItem());
    customer_ = Customer();
    if (!remoteId_ && !customerId_) {
        remoteId_ = IDBroker::getInstance().generateRemoteIdCustomer();
        customer_.setRemoteId(remoteId_);
        customer_.setLocalCreated(Date::now());
        if (session_) {
            customer_.setCity(session_->storeCity());
            customer_.setState(session_->storeState());
        }
        setEditing(true, animated());
        return;
    }
    ObjectContext* context = contextOf(session_.get());
    ManagedObjectPtr row = customerId_ ? DBHelper::getObject("Customer", "customerId == %@", *customerId_, context)
                                       : DBHelper::getObject("Customer", "remoteId == %@", *remoteId_, context);
    // A customer that is not stored shows an empty form; it is not a new one.
    if (row) customer_.read(*row);
    customer_.setNew(false);
    setupHeaderView(false);
}

// ---- the header

void CustomerViewController::setupHeaderView(bool editing) {
    const double width = tableView().bounds().width();
    const auto name = customer_.name();
    const auto& company = customer_.companyField();
    if (!editing && !customer_.new_()) {
        header_ = std::make_shared<View>(Rect(0, 0, width, kHeaderDisplayHeight));
        auto title = std::make_shared<Label>(Rect(20, 10, width - 140, 24));
        title->setFont(Font::boldSystem(18));
        title->setBackgroundColor(Color::clear());
        title->setText(hasText(name) ? name : company);
        header_->addSubview(title);
        if (hasText(name) && hasText(company)) {
            auto second = std::make_shared<Label>(Rect(20, 38, width - 140, 22));
            second->setFont(Font::system(16));
            second->setBackgroundColor(Color::clear());
            second->setText(company);
            header_->addSubview(second);
        }
        auto mapButton = redButton(localized("Map"), Rect(width - 100, 12, 80, 36));
        mapButton->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
        mapButton->addTarget([this](Control&) { map(); }, ControlEvent::TouchUpInside);
        header_->addSubview(mapButton);
    } else {
        setTitle(localized(customer_.new_() ? "New Customer" : "Edit Customer"));
        header_ = std::make_shared<View>(Rect(0, 0, width, kHeaderEditingHeight));
        auto caption = std::make_shared<Label>(Rect(4, 16, 44, 20));
        caption->setText(localized("name"));
        caption->setTextAlignment(TextAlignment::Right);
        caption->setFont(Font::boldSystem(14));
        caption->setTextColor(Color(0.2, 0.3, 0.6));
        caption->setBackgroundColor(Color::clear());
        header_->addSubview(caption);
        const double left = 54, room = width - left - 10, gap = 5, initialWidth = 64;
        const double nameWidth = (room - initialWidth - 2 * gap) / 2;
        struct Field {
            int tag;
            Rect frame;
            const char* placeholder;
            std::optional<std::string> text;
        };
        const Field fields[] = {
            {kFirstNameTag, Rect(left, 10, nameWidth, 32), "First", customer_.firstName()},
            {kInitialTag, Rect(left + nameWidth + gap, 10, initialWidth, 32), "initial", customer_.initial()},
            {kLastNameTag, Rect(left + nameWidth + initialWidth + 2 * gap, 10, nameWidth, 32), "Last",
             customer_.lastName()},
            {kCompanyTag, Rect(left, 52, room, 32), "Company", company},
        };
        for (const Field& f : fields) {
            auto field = std::make_shared<TextField>(f.frame);
            field->setTag(f.tag);
            field->setBorderStyle(BorderStyle::RoundedRect);
            field->setPlaceholder(localized(f.placeholder));
            field->setFont(Font::system(15));
            field->setText(f.text.value_or(""));
            header_->addSubview(field);
        }
    }
    tableView().setTableHeaderView(header_);
}

std::string CustomerViewController::headerText(int tag) const {
    auto* field = header_ ? dynamic_cast<TextField*>(header_->viewWithTag(tag)) : nullptr;
    return field ? trim(field->text()) : std::string();
}

// ---- editing and saving

void CustomerViewController::setEditing(bool editing, bool animate) {
    if (!editing && isEditing() && !save()) return;
    TableViewController::setEditing(editing, animate);
    setupHeaderView(editing);
    if (editing)
        if (auto* first = dynamic_cast<TextField*>(header_->viewWithTag(kFirstNameTag))) first->becomeFirstResponder();
}

void CustomerViewController::updateFieldValues() {
    for (int section = 0; section < 4; ++section)
        for (int row = 0; row < kRowsPerSection[section]; ++row) {
            const IndexPath path{section, row};
            auto* cell = dynamic_cast<LabelValueCellView*>(tableView().cellForRow(path));
            if (cell) (customer_.*rowAt(path).set)(nonEmpty(cell->valueText()));
        }
}

bool CustomerViewController::save() {
    const std::string first = headerText(kFirstNameTag), last = headerText(kLastNameTag),
                      company = headerText(kCompanyTag);
    if (first.empty() && last.empty() && company.empty()) {
        alert("Alert", localized("You must specify first name, last name, or company"), {"Ok"});
        return false;
    }
    updateFieldValues();
    if (!hasText(customer_.mobile()) && !hasText(customer_.phone())) {
        alert("Alert", localized("You must specify at least 1 phone number"), {"Ok"});
        return false;
    }
    const bool wasNew = customer_.new_();
    customer_.setFirstName(nonEmpty(capitalized(first)));
    customer_.setLastName(nonEmpty(capitalized(last)));
    customer_.setCompany(nonEmpty(capitalized(company)));
    if (auto* initial = dynamic_cast<TextField*>(header_->viewWithTag(kInitialTag)))
        customer_.setInitial(nonEmpty(initial->text()));
    Error error;
    if (!OrderHandler::getInstance()->sendCustomer(customer_, session_->userId(), context(), &error)) {
        alert("Alert", error.localizedDescription(), {"Ok"});
        return false;
    }
    customer_.setNew(false);
    if (wasNew && observer_) {
        // Answered once the form has left editing, so the opener finds it as saved.
        std::weak_ptr<ViewController> self = weak_from_this();
        RunLoop::main().perform([self] {
            auto form = std::dynamic_pointer_cast<CustomerViewController>(self.lock());
            if (form && form->observer_) form->observer_(form->customer_);
        });
    }
    return true;
}

void CustomerViewController::doneAction() {
    if (observer_) observer_(customer_);
}

void CustomerViewController::map() {
    std::string query;
    for (const auto& part : {customer_.street(), customer_.city(), customer_.state()}) {
        if (!hasText(part)) continue;
        if (!query.empty()) query += ",";
        query += *part;
    }
    if (Application* app = Application::current())
        app->openURL("https://maps.example/search?q=" + percentEncode(query));
}

// ---- the rows

int CustomerViewController::numberOfRows(TableView&, int section) {
    return section >= 0 && section < 4 ? kRowsPerSection[section] : 0;
}

double CustomerViewController::heightForRow(TableView&, IndexPath path) { return rowAt(path).multiLine ? 120 : 40; }

std::shared_ptr<TableViewCell> CustomerViewController::cellForRow(TableView& table, IndexPath path) {
    const Row& row = rowAt(path);
    const std::string identifier = format("row-%ld-%ld", long(path.section), long(path.row));
    auto cell = std::dynamic_pointer_cast<LabelValueCellView>(table.dequeueReusableCell(identifier));
    if (!cell) {
        const double width = table.bounds().width() - 2 * table.groupInset();
        cell = std::make_shared<LabelValueCellView>(TableViewCellStyle::Default, identifier, row.multiLine,
                                                    Rect(0, 0, width, row.multiLine ? 120 : 40));
        cell->setDelegate(this);
        if (row.label) cell->label().setText(localized(row.label));
        if (row.placeholder) cell->setPlaceHolder(localized(row.placeholder));
        cell->setKeyboard(row.keyboard);
        cell->setMaxLength(row.maxLength);
    }
    cell->setValueText((customer_.*row.get)());
    return cell;
}

void CustomerViewController::didSelectRow(TableView& table, IndexPath path) { table.deselectRow(path, animated()); }

void CustomerViewController::valueDidEndEditing(LabelValueCellView& cell) {
    if (std::optional<IndexPath> path = tableView().indexPathForCell(cell))
        (customer_.*rowAt(*path).set)(nonEmpty(cell.valueText()));
}

void registerCustomerView() {
    InterfaceRegistry::shared().add(CustomerViewController::kInterfaceName, [](ViewController&) {
        auto table = std::make_shared<TableView>(Rect(0, 0, 320, 416), TableViewStyle::Grouped);
        table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        return std::static_pointer_cast<View>(table);
    });
    // The order details open the form by its name alone.
    InterfaceRegistry::shared().addController(CustomerViewController::kInterfaceName,
                                              [] { return std::make_shared<CustomerViewController>(); });
}

} // namespace tavlo::screens
