#include "sync/handlers/OperationSynchCustomers.h"

#include "core/ports/LoadProgress.h"
#include "core/records/Customer.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "sync/exchange/CommHelper.h"
#include "xml/XmlHelper.h"

namespace tavlo {

namespace {

constexpr const char* kErrorDomain = CommHelper::kStoreServerErrorDomain;

bool named(xmlNodePtr node, const char* name) { return XmlHelper::isElementNamed(node, name); }

} // namespace

OperationSynchCustomers::OperationSynchCustomers(std::string url, std::optional<std::string> storeId,
                                                 std::optional<std::string> password, bool fullReload, bool /*logXml*/,
                                                 std::shared_ptr<ObjectStore> coordinator)
    : OperationAdapter(std::move(coordinator)), url_(std::move(url)), storeId_(std::move(storeId)),
      password_(std::move(password)), reload_(fullReload) {}

std::optional<Date> OperationSynchCustomers::latestUpdate(ObjectContext& context) {
    ManagedObjectPtr newest =
        DBHelper::getObject("Customer", {Predicate::format("max(updateDate) == updateDate")}, &context);
    return newest ? newest->date("updateDate") : std::nullopt;
}

void OperationSynchCustomers::main() {
    if (reload_) LoadProgress::report(localized("Synching Customers"));
    std::unique_ptr<ObjectContext> context = newContext();
    if (!context) {
        setError(Error(kErrorDomain, -1, "No local store to synch into"));
        return;
    }
    if (Parameters::flag(Parameter::LogXml, context.get())) TAVLO_LOG("Calling %@", url_);
    Error readError;
    XmlDocPtr doc = CommHelper::getRecords(
        "getCustomers", url_, storeId_, password_, std::nullopt,
        XmlHelper::getXmlRequest("getCustomers", "storeData.dtd", latestUpdate(*context)),
        CommHelper::timeout(Parameter::StoreHandlerReadTimeout, context.get()), context.get(), &readError);
    if (!doc) {
        if (CommHelper::isRefusal(readError))
            TAVLO_LOG_MAIL("Received error synching customers: %@", readError.localizedDescription());
        // Nothing is written; the next run asks again with the same last change.
        setError(readError);
        return;
    }

    if (reload_) {
        TAVLO_LOG("Full customer reload, removing all customers");
        DBHelper::cleanObjects("Customer", context.get());
    }
    xmlNodePtr node = xmlFirstElementChild(xmlDocGetRootElement(doc.get()));
    while (node)
        node = named(node, "customer") ? updateCustomers(node, doc.get(), *context) : xmlNextElementSibling(node);

    Error saveError;
    if (!context->save(&saveError)) {
        setError(saveError);
        TAVLO_LOG_MAIL("Unable to save synch customers: %@", saveError.localizedDescription());
        context->rollback();
        return;
    }
    succeeded_ = true;
    NotificationCenter::defaultCenter().post(kCustomersChangeNotification);
}

xmlNodePtr OperationSynchCustomers::updateCustomers(xmlNodePtr first, xmlDocPtr doc, ObjectContext& context) const {
    xmlNodePtr node = first;
    for (; named(node, "customer"); node = xmlNextElementSibling(node)) {
        Customer customer;
        customer.read(node, doc);
        if (reload_)
            if (Customer::Text company = customer.company()) LoadProgress::report(*company);
        customer.write(context);
    }
    return node;
}

} // namespace tavlo
