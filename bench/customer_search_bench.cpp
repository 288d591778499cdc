// The customer list's search over 20,000 customers (goal: the list answers a search in under
// 20 ms): a text typed into the search bar re-reads the list with the search's condition (first
// and last names, company and both telephones, ignoring case and accents) and lays it out again.
#include "core/session/Session.h"
#include "platform/ui/NavigationController.h"
#include "screens/customers/CustomersViewController.h"
#include "support/StoreFixture.h"
#include "support/ui/Harness.h"

#include <benchmark/benchmark.h>

using namespace tavlo;
using namespace tavlo::ui;
using namespace tavlo::screens;

namespace {

constexpr int kCustomers = 20000;

// The small store with 20,000 customers (every 50th disabled) and the list open as a picker.
struct CustomerFile {
    tavlo::test::StoreFixture store;
    ui::test::Harness h{DeviceIdiom::Phone};
    std::shared_ptr<Session> session;
    std::shared_ptr<CustomersViewController> list;

    CustomerFile() {
        store.buildSmallStore();
        const char* firsts[] = {"Ann", "José", "Mary", "Li", "Ólafur", "Sam", "Chloé", "Omar"};
        const char* lasts[] = {"Baker", "Álvarez", "Smith", "Nguyen", "Jónsson", "Okafor", "Dubois", "Haddad"};
        for (int i = 0; i < kCustomers; ++i) {
            ManagedObjectPtr row = store->insert("Customer");
            row->setValue("customerId", "C" + std::to_string(i));
            row->setValue("remoteId", "R" + std::to_string(i));
            row->setValue("firstName", firsts[i % 8]);
            row->setValue("lastName", std::string(lasts[(i / 8) % 8]) + std::to_string(i));
            if (i % 3 == 0) row->setValue("company", "Company " + std::to_string(i % 997));
            row->setValue("phone", "503-" + std::to_string(1000000 + (i * 7919) % 9000000));
            if (i % 2 == 0) row->setValue("mobile", "971-" + std::to_string(1000000 + i));
            if (i % 50 == 0) row->setValue("disabled", Date(1'600'000'000.0));
        }
        store.save();
        registerCustomersView();
        session = std::make_shared<Session>(store.context().get());
        session->authenticate("U-ANN");
        list = std::make_shared<CustomersViewController>();
        list->setSession(session.get());
        list->setObserver([](const std::optional<Customer>&) {});
        h.show(std::make_shared<NavigationController>(list));
    }

    size_t shown() { return list->fetchedResultsController()->numberOfObjects(); }
};

void search(benchmark::State& state, const std::string& text) {
    CustomerFile file;
    size_t found = 0;
    for (auto _ : state) {
        file.list->search(text);
        file.h.app().layoutIfNeeded();
        found = file.shown();
    }
    state.SetLabel(std::to_string(kCustomers) + " customers, \"" + text + "\" finds " + std::to_string(found));
}

// A surname with an accent, typed without it.
void BM_SearchAName(benchmark::State& state) { search(state, "jonsson12"); }
BENCHMARK(BM_SearchAName)->Unit(benchmark::kMillisecond);

// Part of a telephone number: many rows match.
void BM_SearchAPhone(benchmark::State& state) { search(state, "503-12"); }
BENCHMARK(BM_SearchAPhone)->Unit(benchmark::kMillisecond);

// Clearing the text: every customer not disabled again, sorted.
void BM_ClearTheSearch(benchmark::State& state) { search(state, ""); }
BENCHMARK(BM_ClearTheSearch)->Unit(benchmark::kMillisecond);

} // namespace
