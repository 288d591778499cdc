#pragma once

// Header-only: the test programs link the HTTP server library, the shared support library does not.
#include <httplib.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace tavlo::test {

// An HTTP(S) server on 127.0.0.1 for one test, serving on its own thread.
class LoopbackHttpServer {
public:
    explicit LoopbackHttpServer(std::unique_ptr<httplib::Server> server = std::make_unique<httplib::Server>())
        : server_(std::move(server)) {}
    ~LoopbackHttpServer() { stop(); }
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    httplib::Server& operator*() { return *server_; }
    httplib::Server* operator->() { return server_.get(); }

    // Starts serving; answers "<scheme>://127.0.0.1:<port>".
    std::string start(const char* scheme = "http") {
        port_ = server_->bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] {
            server_->listen_after_bind();
            ended_ = true;
        });
        return std::string(scheme) + "://" + hostAndPort();
    }
    void stop() {
        // A stop before the loop runs would be missed, and the loop would never end.
        while (thread_.joinable() && !ended_ && !server_->is_running()) std::this_thread::yield();
        server_->stop();
        if (thread_.joinable()) thread_.join();
    }
    std::string hostAndPort() const { return "127.0.0.1:" + std::to_string(port_); }
    int port() const { return port_; }

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::atomic<bool> ended_{false};
    int port_ = 0;
};

// A self-signed certificate for 127.0.0.1 made with the openssl tool in `dir`: "cert.pem" (which
// is also the only authority a client should trust for it) and "key.pem". False when the tool
// failed.
inline bool makeLoopbackCertificate(const std::filesystem::path& dir) {
    std::string make = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
                       "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout '" +
                       (dir / "key.pem").string() + "' -out '" + (dir / "cert.pem").string() + "' >/dev/null 2>&1";
    return std::system(make.c_str()) == 0;
}

// An HTTPS server with the certificate made by makeLoopbackCertificate in `dir`.
inline std::unique_ptr<httplib::Server> makeLoopbackTlsServer(const std::filesystem::path& dir) {
    return std::make_unique<httplib::SSLServer>((dir / "cert.pem").c_str(), (dir / "key.pem").c_str());
}

} // namespace tavlo::test
