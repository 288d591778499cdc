// The program the pay screen's window test runs under Xvfb: the pay screen of a 12.34 order on a
// pad, in a real window, on a terminal that is its own till with the loopback card gateway as its
// card host.
//   pay_window_helper RESULT_FILE SHOT [slow]
// Once the screen is up it writes what the window shows to SHOT and prints "ready"; when the
// screen is finished it writes the payment taken ("type subtotal change approved") to
// RESULT_FILE and exits. With "slow" the card host holds the sale: while it waits the helper
// writes the window to SHOT.waiting.png and prints "charging"; once the window has answered a
// person's Cancel (with its alert) the host approves, and the result line ends with "refused".
#include "../PayTerminal.h"
#include "WindowHelper.h"

#include <cstdio>
#include <sstream>

using namespace tavlo;
using namespace tavlo::ui;

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s RESULT_FILE SHOT [slow]\n", argv[0]);
        return 2;
    }
    const std::string resultPath = argv[1], shotPath = argv[2];
    const bool slow = argc == 4 && std::string(argv[3]) == "slow";
    auto app = screens::test::window::installPadApplication();
    screens::test::PayStore terminal;
    auto window = screens::test::window::show(*app, terminal.host, "Tavlo pay");
    if (!window) return 1;
    if (slow) terminal.gateway.script("Sale", gatewaysim::Answer::ApproveWhenReleased);
    terminal.present();
    bool shown = false, waiting = false, refused = false;
    auto watch = RunLoop::main().scheduleTimer(0.05, true, [&] {
        if (!shown && terminal.screen->isVisible()) {
            shown = true;
            screens::test::window::writeShot(*window, shotPath);
            screens::test::window::say("ready");
        }
        if (slow && terminal.screen->isCharging()) {
            if (!waiting && terminal.gateway.heldCount() == 1) {
                waiting = true;
                screens::test::window::writeShot(*window, shotPath + ".waiting.png");
                screens::test::window::say("charging");
            }
            // The person's Cancel was answered while the host still held the sale.
            if (waiting && !refused && app->frontAlert()) {
                refused = true;
                terminal.gateway.release();
            }
        }
        if (terminal.finished == 0) return;
        std::ostringstream out;
        for (const auto& taken : terminal.order->payments())
            out << taken->type() << " " << taken->subTotal() << " " << taken->change() << " "
                << (taken->approval() ? "approved" : "-") << (refused ? " refused" : "") << "\n";
        screens::test::window::writeResult(resultPath, out.str());
        RunLoop::main().stop();
    });
    RunLoop::main().run();
    watch->invalidate();
    return 0;
}
