// storesim: the store server on 127.0.0.1 for the demo and for trying the terminal by hand.
//   storesim [--port N] [--fixture STORE_DATA.xml] [--store ID] [--password PW]
// Serves until interrupted (Ctrl-C or SIGTERM).
#include "StoreServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

int usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--port N] [--fixture STORE_DATA.xml] [--store ID] [--password PW]\n", program);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    tavlo::storesim::StoreServer::Options options;
    int port = 4444;
    std::string fixture;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc) return usage(argv[0]);
        std::string value = argv[++i];
        if (arg == "--port")
            port = std::atoi(value.c_str());
        else if (arg == "--fixture")
            fixture = value;
        else if (arg == "--store")
            options.storeId = value;
        else if (arg == "--password")
            options.password = value;
        else
            return usage(argv[0]);
    }
    if (port <= 0 || port > 65535) return usage(argv[0]);

    // The signals are taken by sigwait below, never by a handler.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    try {
        tavlo::storesim::StoreServer server(options);
        if (!fixture.empty()) server.setStoreDataFile(fixture);
        server.start(port);
        std::printf("storesim: store %s listening on %s\n", options.storeId.c_str(), server.url().c_str());
        std::fflush(stdout);
        int received = 0;
        sigwait(&signals, &received);
        server.stop();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
