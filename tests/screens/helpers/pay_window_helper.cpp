// The program the pay screen's window test runs under Xvfb: the pay screen of a 12.34 order on a
// pad, in a real window, on a terminal that is its own till with the loopback card gateway as its
// card host.
//   pay_window_helper RESULT_FILE SHOT
// Once the screen is up it writes what the window shows to SHOT and prints "ready"; when the
// screen is finished it writes the payment taken ("type subtotal change approved") to
// RESULT_FILE and exits.
#include "../PayTerminal.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/render/ScreenWindow.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

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
    auto window = render::ScreenWindow::open(*app, "Tavlo pay", &error);
    if (!window) {
        std::fprintf(stderr, "%s\n", error.localizedDescription().c_str());
        return 1;
    }
    terminal.present();
    bool shown = false;
    auto watch = RunLoop::main().scheduleTimer(0.05, true, [&] {
        if (!shown && terminal.screen->isVisible()) {
            shown = true;
            window->displayNow();
            window->screenshot().writePng(shotPath);
            std::printf("ready\n");
            std::fflush(stdout);
        }
        if (terminal.finished == 0) return;
        const std::string partial = resultPath + ".partial";
        {
            std::ofstream out(partial);
            for (const auto& taken : terminal.order->payments())
                out << taken->type() << " " << taken->subTotal() << " " << taken->change() << " "
                    << (taken->approval() ? "approved" : "-") << "\n";
        }
        std::filesystem::rename(partial, resultPath);
        RunLoop::main().stop();
    });
    RunLoop::main().run();
    watch->invalidate();
    return 0;
}
