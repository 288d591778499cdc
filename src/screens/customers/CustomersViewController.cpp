#include "screens/customers/CustomersViewController.h"

#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "screens/common/RedButton.h"
#include "screens/common/ScreenKit.h"
#include "screens/customers/CustomerViewController.h"

namespace tavlo::screens {

using namespace ui;

namespace {

constexpr double kSearchHeight = 44;
// Rows read from the store at a time: a screenful and more (of thousands of customers).
constexpr size_t kFetchBatch = 20;

bool hasText(const std::optional<std::string>& text) { return text && !text->empty(); }

} // namespace

CustomersViewController::CustomersViewController() : SignedInController(kInterfaceName) {
    setClearsSelectionOnViewWillAppear(false);
}

Predicate CustomersViewController::searchPredicate(const std::string& text) {
    if (text.empty()) return Predicate::format("disabled == nil");
    return Predicate::format("firstName CONTAINS[cd] %@ OR lastName CONTAINS[cd] %@ OR company CONTAINS[cd] %@ OR "
                             "mobile CONTAINS[cd] %@ OR phone CONTAINS[cd] %@",
                             text, text, text, text, text);
}

void CustomersViewController::viewDidLoad() {
    setTitle(localized("Customers"));
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Back"), BarButtonStyle::Done, [this](BarButtonItem&) { close(); }));
    navigationItem().setRightBarButtonItem(BarButtonItem::system(SystemItem::Add, [this](BarButtonItem&) { add(); }));
    if (allowRemove_) {
        auto remove = redButton(localized("Remove Customer"), Rect(0, 0, tableView().bounds().width(), 50));
        remove->setAutoresizingMask(Autoresizing::FlexibleWidth);
        remove->addTarget([this](Control&) { removeCustomer(); }, ControlEvent::TouchUpInside);
        tableView().setTableHeaderView(remove);
    }
    if (SearchBar* bar = searchBar()) bar->setDelegate(this);
    FetchRequest request("Customer", searchPredicate(""),
                         {{"company", true, true}, {"firstName", true, true}, {"lastName", true, true}});
    request.fetchBatchSize = kFetchBatch;
    if (ObjectContext* context = contextOf(session_.get()))
        fetched_ = std::make_unique<FetchedResultsController>(*context, std::move(request));
    fetch("Unable to read Customers: %@");
}

void CustomersViewController::viewWillAppear(bool animated) {
    // A customer added or changed in the form shows when the list comes back.
    fetch("Unable to read Customers: %@");
    tableView().reloadData();
    TableViewController::viewWillAppear(animated);
}

void CustomersViewController::fetch(const char* failure) {
    if (!fetched_) return;
    if (Error error; !fetched_->performFetch(&error)) TAVLO_LOG_MAIL(failure, error.localizedDescription());
}

void CustomersViewController::search(const std::string& text) {
    if (!fetched_) return;
    fetched_->fetchRequest().predicate = searchPredicate(text);
    fetch("Unable to search customers %@");
    tableView().reloadData();
}

void CustomersViewController::searchBarTextDidChange(SearchBar&, const std::string& text) { search(text); }

void CustomersViewController::searchBarSearchButtonClicked(SearchBar& bar) {
    bar.resignFirstResponder();
    search(bar.text());
}

void CustomersViewController::close() {
    ViewController* shown = navigationController() ? static_cast<ViewController*>(navigationController()) : this;
    shown->dismiss(animated());
}

void CustomersViewController::add() {
    auto form = std::make_shared<CustomerViewController>();
    form->setSession(session_);
    form->setObserver(observer_);
    if (NavigationController* navigation = navigationController()) navigation->push(form, animated());
}

void CustomersViewController::removeCustomer() {
    if (observer_) observer_(std::nullopt);
}

int CustomersViewController::numberOfRows(TableView&, int) {
    return fetched_ ? static_cast<int>(fetched_->numberOfObjects()) : 0;
}

std::optional<Customer> CustomersViewController::customerAt(IndexPath path) const {
    ManagedObjectPtr row = fetched_ ? fetched_->objectAt(0, static_cast<size_t>(path.row)) : nullptr;
    if (!row) return std::nullopt;
    Customer customer;
    customer.read(*row);
    return customer;
}

std::shared_ptr<TableViewCell> CustomersViewController::cellForRow(TableView& table, IndexPath path) {
    std::shared_ptr<TableViewCell> cell = table.dequeueReusableCell("Customer");
    if (!cell) {
        const double width =
            table.bounds().width() - TableViewCell::accessoryWidth(AccessoryType::DetailDisclosureButton);
        cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "Customer", Rect(0, 0, width, kRowHeight));
        cell->setAccessoryType(AccessoryType::DetailDisclosureButton);
        View& content = cell->contentView();
        const double half = (width - 20) / 2;
        content.addSubview(kit::plainLabel(Rect(10, 10, half + 20, 24), {.font = Font::boldSystem(18),
                                                                         .colour = Color::black(),
                                                                         .alignment = TextAlignment::Left,
                                                                         .tag = kNameTag,
                                                                         .shrinksToFit = true}));
        content.addSubview(kit::plainLabel(Rect(10, 40, half + 20, 22), {.font = Font::system(16),
                                                                         .colour = Color::black(),
                                                                         .alignment = TextAlignment::Left,
                                                                         .tag = kCompanyTag,
                                                                         .shrinksToFit = true}));
        auto phone = kit::plainLabel(Rect(width - half - 10, 12, half, 20), {.font = Font::boldSystem(14),
                                                                             .colour = Color(0.1, 0.3, 0.8),
                                                                             .alignment = TextAlignment::Right,
                                                                             .tag = kPhoneTag,
                                                                             .shrinksToFit = true});
        auto mobile = kit::plainLabel(Rect(width - half - 10, 40, half, 20), {.font = Font::boldSystem(14),
                                                                              .colour = Color::gray(),
                                                                              .alignment = TextAlignment::Right,
                                                                              .tag = kMobileTag,
                                                                              .shrinksToFit = true});
        for (const auto& right : {phone, mobile}) {
            right->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
            content.addSubview(right);
        }
    }
    const std::optional<Customer> customer = customerAt(path);
    if (!customer) return cell;
    const auto name = customer->name();
    const auto company = customer->company();
    auto set = [&](int tag, const std::optional<std::string>& text) {
        if (auto* label = dynamic_cast<Label*>(cell->contentView().viewWithTag(tag))) label->setText(text.value_or(""));
    };
    set(kNameTag, hasText(name) ? name : company);
    set(kCompanyTag, hasText(name) && company != name ? company : std::nullopt);
    const bool phone = hasText(customer->phone()), mobile = hasText(customer->mobile());
    if (phone) set(kPhoneTag, format("%@: %@", localized("phone"), *customer->phone()));
    else if (mobile) set(kPhoneTag, format("%@: %@", localized("mobile"), *customer->mobile()));
    else set(kPhoneTag, std::nullopt);
    set(kMobileTag,
        phone && mobile ? std::optional(format("%@: %@", localized("mobile"), *customer->mobile())) : std::nullopt);
    return cell;
}

void CustomersViewController::didSelectRow(TableView& table, IndexPath path) {
    if (observer_) {
        if (std::optional<Customer> customer = customerAt(path)) {
            observer_(customer);
            return;
        }
    }
    table.deselectRow(path, animated());
}

void CustomersViewController::accessoryButtonTapped(TableView&, IndexPath path) {
    std::optional<Customer> customer = customerAt(path);
    if (!customer) return;
    auto form = std::make_shared<CustomerViewController>();
    form->setSession(session_);
    form->setRemoteId(customer->remoteId());
    form->setCustomerId(customer->customerId());
    if (NavigationController* navigation = navigationController()) navigation->push(form, animated());
}

void registerCustomersView() {
    InterfaceRegistry& registry = InterfaceRegistry::shared();
    registry.add(CustomersViewController::kInterfaceName, [](ViewController& owner) {
        auto root = std::make_shared<View>(Rect(0, 0, 320, 416));
        root->setBackgroundColor(Color::white());
        auto bar = std::make_shared<SearchBar>(Rect(0, 0, 320, kSearchHeight));
        bar->setAutoresizingMask(Autoresizing::FlexibleWidth);
        bar->setPlaceholder(localized("Search"));
        root->addSubview(bar);
        auto table =
            std::make_shared<TableView>(Rect(0, kSearchHeight, 320, 416 - kSearchHeight), TableViewStyle::Plain);
        table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        root->addSubview(table);
        owner.connect("searchBar", bar);
        owner.connect("tableView", table);
        return root;
    });
    registry.addController(CustomersViewController::kInterfaceName,
                           [] { return std::make_shared<CustomersViewController>(); });
}

} // namespace tavlo::screens
