// printersim: a network receipt or kitchen printer on 127.0.0.1 for the demo, which writes what
// it prints as text a person can read.
//   printersim --name NAME --out FILE [--port N]
// Takes one ESC/POS job per connection (until the sender ends it) and appends it, decoded, to
// FILE under a line naming the printer and the time. --port 0 (the default) takes any free port;
// the "listening on" line tells which. Prints until it is stopped (SIGINT or SIGTERM).
#include "EscPosDecoder.h"
#include "TicketText.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

namespace {

constexpr int kIdleMilliseconds = 30000; // a sender silent this long has ended its job

int usage(const char* program) {
    std::fprintf(stderr, "usage: %s --name NAME --out FILE [--port N]\n", program);
    return 2;
}

// The job's bytes: everything up to the sender's end (or a long silence).
std::string readJob(int connection) {
    std::string bytes;
    char buffer[4096];
    pollfd wait{connection, POLLIN, 0};
    while (poll(&wait, 1, kIdleMilliseconds) > 0) {
        ssize_t n = read(connection, buffer, sizeof buffer);
        if (n <= 0) break;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
}

std::string now() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char out[32];
    std::strftime(out, sizeof out, "%Y-%m-%d %H:%M:%S", &local);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    std::string name, out;
    int port = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i], value = argv[i + 1];
        if (arg == "--name") name = value;
        else if (arg == "--out") out = value;
        else if (arg == "--port") port = std::atoi(value.c_str());
        else return usage(argv[0]);
    }
    if (argc % 2 == 0 || name.empty() || out.empty() || port < 0 || port > 65535) return usage(argv[0]);

    int listener = socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 8) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("printersim: cannot listen on 127.0.0.1");
        return 1;
    }
    std::printf("printersim: %s listening on 127.0.0.1:%d\n", name.c_str(), ntohs(address.sin_port));
    std::fflush(stdout);

    for (;;) {
        int connection = accept(listener, nullptr, nullptr);
        if (connection < 0) continue;
        std::string bytes = readJob(connection);
        close(connection);
        if (bytes.empty()) continue; // a connection test
        tavlo::printersim::TicketText paper;
        std::string why;
        bool whole = tavlo::printersim::decodeEscPos(bytes, paper, &why);
        std::ofstream file(out, std::ios::app);
        file << "==== " << name << ", " << now() << " ====\n" << paper.text();
        if (!whole) file << "[the rest could not be read: " << why << "]\n";
        file << "\n";
    }
}
