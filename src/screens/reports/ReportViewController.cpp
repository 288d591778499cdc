#include "screens/reports/ReportViewController.h"

#include "core/ports/PrinterStream.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/render/Theme.h"
#include "printing/ReceiptHelper.h"
#include "screens/common/ActivityIndicator.h"
#include "sync/exchange/CommHelper.h"
#include "xml/XmlHelper.h"

namespace tavlo::screens {

using namespace ui;

namespace {

// The wait overlay for the length of a scope.
class PrintingOverlay {
public:
    explicit PrintingOverlay(std::shared_ptr<View> view) {
        ActivityIndicator::show(std::move(view));
        ActivityIndicator::setStatus(localized("Printing"));
    }
    ~PrintingOverlay() { ActivityIndicator::hide(); }
    PrintingOverlay(const PrintingOverlay&) = delete;
    PrintingOverlay& operator=(const PrintingOverlay&) = delete;
};

std::shared_ptr<View> build(ReportViewController& owner) {
    const Size screen = SignedInBase::isPad() ? Size{1024, 768} : Size{320, 480};
    auto root = std::make_shared<View>(Rect(0, 0, screen.width, screen.height));
    root->setBackgroundColor(Color::white());
    root->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    auto body = std::make_shared<TextView>(Rect(0, 0, screen.width, screen.height));
    body->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    body->setEditable(false);
    body->setBackgroundColor(Color::white());
    root->addSubview(body);
    owner.connect("body", body);
    return root;
}

} // namespace

ReportViewController::ReportViewController() : SignedInController(kInterfaceName) {}

void ReportViewController::viewDidLoad() {
    std::string text;
    for (const std::string& line : lines_) text += line + "\n";
    TextView* view = body();
    view->setFont(Font::named("Courier-Bold", isPad() ? 16 : 8));
    view->setTextAlignment(TextAlignment::Center);
    view->setTextColor(render::theme::ink());
    view->setText(text);
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Back"), BarButtonStyle::Done, [this](BarButtonItem&) { close(); }));
    auto printButton =
        BarButtonItem::titled(localized("Print"), BarButtonStyle::Done, [this](BarButtonItem&) { print(); });
    printButton->setEnabled(printable_);
    navigationItem().setRightBarButtonItem(printButton);
}

uint32_t ReportViewController::supportedInterfaceOrientations() const { return idiomOrientations(); }

void ReportViewController::close() { dismiss(session_ && session_->useAnimation()); }

void ReportViewController::print() {
    PrintingOverlay overlay(view());
    if (session_ && session_->isLite()) printOnPrinter();
    else printThroughServer();
}

void ReportViewController::printOnPrinter() {
    std::shared_ptr<PrinterStream> printer = session_->printerStream();
    if (!printer) return alert("Alert", localized("No printer configured"), {"OK"});
    Error error;
    if (!printer->open(&error)) return alert("Error", error.localizedDescription(), {"OK"});
    ObjectContext* context = session_->managedObjectContext();
    ReceiptHelper::printReport(title().value_or(""), session_->storeName(), session_->userName(), lines_,
                               ReceiptHelper::trailingLines(context), nullptr, *printer);
    printer->close();
}

void ReportViewController::printThroughServer() {
    std::optional<std::string> printerURL = session_ ? session_->printerURL() : std::nullopt;
    if (!printerURL) return alert("Error", localized("No printer configured"), {"OK"});
    const bool log = Parameters::flag(Parameter::LogXml, session_->managedObjectContext());
    Error error;
    if (!CommHelper::send(CommHelper::gateway().value_or(""), session_->userId(),
                          XmlHelper::getXmlPrint(lines_, *printerURL), log, &error))
        alert("Error", error.localizedDescription(), {"OK"});
}

void registerReportView() {
    InterfaceRegistry::shared().add<ReportViewController>(
        ReportViewController::kInterfaceName, std::function<std::shared_ptr<View>(ReportViewController&)>(build));
    InterfaceRegistry::shared().addController(ReportViewController::kInterfaceName,
                                              [] { return std::make_shared<ReportViewController>(); });
}

} // namespace tavlo::screens
