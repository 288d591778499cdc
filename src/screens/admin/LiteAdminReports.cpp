// The administration screen's three reports, shown in the report viewer ("ReportView").
#include "screens/admin/LiteAdminViewController.h"

#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/InterfaceRegistry.h"
#include "printing/ReportGenerator.h"
#include "screens/common/ActivityIndicator.h"

namespace tavlo::screens {

using namespace ui;

namespace {

// The report viewer with the lines; none (logged) while it is not registered.
std::shared_ptr<ViewController> reportView(const std::shared_ptr<Session>& session, const char* title, bool printable,
                                           std::vector<std::string> lines) {
    std::shared_ptr<ViewController> viewer =
        InterfaceRegistry::shared().containsController(ReportViewer::kInterfaceName)
            ? InterfaceRegistry::shared().instantiate(ReportViewer::kInterfaceName)
            : nullptr;
    auto* report = dynamic_cast<ReportViewer*>(viewer.get());
    if (!report) return nullptr;
    report->setSession(session);
    viewer->setTitle(localized(title));
    report->setPrintable(printable);
    report->setLines(std::move(lines));
    return viewer;
}

} // namespace

void LiteAdminViewController::reportSalesStatus() {
    if (!session_->isGranted(Right::PrintSalesStatusReport))
        return alert("Alert", localized("You do not have the required access"), {"Ok"});
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Generating report"));
    if (auto viewer = reportView(session_, "Sales Status", true, reportGenerator_->reportSalesStatus(kReportWidth)))
        presentModal(viewer);
    ActivityIndicator::hide();
}

void LiteAdminViewController::reportTotalSales() {
    if (!session()->isGranted(Right::PrintDailyReport))
        return alert("Alert", localized("You do not have the required access"), {"Ok"});
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Generating report"));
    bool preview = session_->isStoreOpen();
    if (auto viewer =
            reportView(session_, "Total Sales", true, reportGenerator_->reportTotalSales(preview, kReportWidth)))
        presentModal(viewer);
    ActivityIndicator::hide();
}

void LiteAdminViewController::reportCashDrawer(const std::string& drawerId) {
    if (!session_->isGranted(Right::CashOutCashDrawerView))
        return alert("Alert", localized("You do not have the required access"), {"Ok"});
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Generating report"));
    std::optional<std::vector<std::string>> lines = reportGenerator_->reportCashDrawer(
        drawerId, kCashDrawerReportWidth, !Parameters::flag(Parameter::CashOutHidePayments, context()));
    ActivityIndicator::hide();
    if (!lines)
        return alert("Alert", localized("Drawer has never been cashed in. We do not have a report to display"), {"Ok"});
    if (auto viewer = reportView(session_, "Cash Drawer", true, std::move(*lines))) presentModal(viewer);
}

} // namespace tavlo::screens
