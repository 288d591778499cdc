// gatewaysim: the card gateway on 127.0.0.1 for the demo and for trying card payments by hand.
//   gatewaysim [--port N] [--user U] [--password PW]
// --port 0 takes any free port; the "listening on" line tells which. Card requests go to
// <url>/capture, detail queries to <url>/details. Serves until interrupted (Ctrl-C or SIGTERM).
#include "CardGateway.h"

#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

int usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--port N] [--user U] [--password PW]\n", program);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    tavlo::gatewaysim::CardGateway::Options options;
    int port = 4445;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc) return usage(argv[0]);
        std::string value = argv[++i];
        if (arg == "--port") port = std::atoi(value.c_str());
        else if (arg == "--user") options.user = value;
        else if (arg == "--password") options.password = value;
        else return usage(argv[0]);
    }
    if (port < 0 || port > 65535) return usage(argv[0]);

    // The signals are taken by sigwait below, never by a handler.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    try {
        tavlo::gatewaysim::CardGateway gateway(options);
        gateway.start(port);
        std::printf("gatewaysim: card gateway for %s listening on %s\n", options.user.c_str(), gateway.url().c_str());
        std::fflush(stdout);
        int received = 0;
        sigwait(&signals, &received);
        gateway.stop();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
