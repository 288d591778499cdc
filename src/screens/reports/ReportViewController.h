#pragma once

#include "platform/ui/TextView.h"
#include "platform/ui/ViewController.h"
#include "screens/common/ScreenInterfaces.h"

#include <memory>
#include <string>
#include <vector>

namespace tavlo {
class Session;
}

namespace tavlo::screens {

// The report viewer (interface "ReportView"): a text report in a fixed-width font with Back and
// Print in the navigation bar. Print sends the lines to the session's receipt printer in lite
// mode, and to the store server, which prints them on this terminal's printer, in gateway mode.
// The administration screen sets the session, the title, whether the user may print and the
// lines, and presents it in a navigation controller as a form sheet.
class ReportViewController : public ui::ViewController, public ReportViewer {
public:
    static constexpr const char* kInterfaceName = ReportViewer::kInterfaceName;

    ReportViewController();

    ui::TextView* body() const { return outlet<ui::TextView>("body"); }

    const std::vector<std::string>& lines() const { return lines_; }
    void setLines(std::vector<std::string> lines) override { lines_ = std::move(lines); }
    bool printable() const { return printable_; }
    void setPrintable(bool printable) override { printable_ = printable; }
    const std::shared_ptr<Session>& session() const { return session_; }
    void setSession(std::shared_ptr<Session> session) override { session_ = std::move(session); }

    // Prints the lines under the wait overlay; a failure is shown in an alert and the screen stays.
    void print();
    // Back: the screen goes away.
    void close();

    void viewDidLoad() override;
    uint32_t supportedInterfaceOrientations() const override;

private:
    void printOnPrinter();
    void printThroughServer();

    std::vector<std::string> lines_;
    bool printable_ = false;
    std::shared_ptr<Session> session_;
};

// The interface "ReportView": the text filling the screen; registers the controller too.
void registerReportView();

} // namespace tavlo::screens
