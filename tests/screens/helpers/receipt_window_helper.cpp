// The program the receipt window test runs under Xvfb: a pad whose receipt printer refuses the
// receipt of a 12.34 order, printed as a screen prints one (ReceiptJob), in a real window.
//   receipt_window_helper RESULT_FILE SHOT
// Once the alert is up it writes what the window shows to SHOT, prints "ready", and the printer
// comes back (a loopback printer at its address). When the receipt reached it and no alert is
// left, it writes "printed" and whether the receipt names the burger to RESULT_FILE and exits.
#include "../PayTerminal.h"
#include "WindowHelper.h"
#include "printing/EscPosPrinter.h"
#include "printing/ReceiptHelper.h"
#include "screens/common/ReceiptJob.h"
#include "support/LoopbackListener.h"
#include "support/LoopbackPrinter.h"

#include <cstdio>

using namespace tavlo;
using namespace tavlo::ui;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s RESULT_FILE SHOT\n", argv[0]);
        return 2;
    }
    const std::string resultPath = argv[1], shotPath = argv[2];
    RunLoop::main();
    auto app = std::make_shared<Application>(DeviceIdiom::Tablet);
    Application::install(app);
    screens::test::PayStore terminal;
    app->window().setRootViewController(terminal.host);
    app->window().makeKeyAndVisible();

    Error error;
    auto window = render::ScreenWindow::open(*app, "Tavlo receipt", &error);
    if (!window) {
        std::fprintf(stderr, "%s\n", error.localizedDescription().c_str());
        return 1;
    }
    auto printer =
        std::make_shared<EscPosPrinter>("127.0.0.1:" + std::to_string(tavlo::test::LoopbackListener::closedPort()), 2);
    screens::ReceiptJob::print(printer, [&terminal](PrinterStream& stream) {
        ReceiptHelper::printReceipt(*terminal.order, *terminal.session, nullptr, stream);
    });
    std::unique_ptr<tavlo::test::LoopbackPrinter> back;
    auto watch = RunLoop::main().scheduleTimer(0.05, true, [&] {
        if (!back && app->frontAlert()) {
            screens::test::window::writeShot(*window, shotPath);
            back = std::make_unique<tavlo::test::LoopbackPrinter>();
            printer->setUrl(back->url());
            screens::test::window::say("ready");
        }
        if (!back || app->frontAlert() || back->jobs().empty()) return;
        screens::test::window::writeResult(
            resultPath,
            std::string("printed ") + (back->jobs()[0].find("Burger") != std::string::npos ? "Burger" : "-") + "\n");
        RunLoop::main().stop();
    });
    RunLoop::main().run();
    watch->invalidate();
    return 0;
}
