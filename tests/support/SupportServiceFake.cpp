#include "support/SupportServiceFake.h"

#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "sync/support/SupportService.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace tavlo::test {

namespace {

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

int connectLoopback(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
    if (fd >= 0) close(fd);
    return -1;
}

std::string between(const std::string& text, const std::string& before, const std::string& after) {
    size_t start = text.find(before);
    if (start == std::string::npos) return "";
    start += before.size();
    size_t end = text.find(after, start);
    return end == std::string::npos ? "" : text.substr(start, end - start);
}

} // namespace

std::string SupportServiceFake::Upload::field(const std::string& name) const {
    return between(body, "Content-Disposition: form-data; name=\"" + name + "\"\n\n", "\n--1212POS1212");
}

std::string SupportServiceFake::Upload::fileName() const {
    return between(body, "name=\"upload\"; filename=\"", "\"\n\n");
}

std::string SupportServiceFake::Upload::fileBytes() const {
    const std::string closing = "\n--1212POS1212--\n";
    size_t start = body.find("name=\"upload\"; filename=\"");
    if (start == std::string::npos) return "";
    start = body.find("\"\n\n", start + 25);
    if (start == std::string::npos || body.size() < start + 3 + closing.size()) return "";
    start += 3;
    return body.substr(start, body.size() - closing.size() - start);
}

SupportServiceFake::SupportServiceFake(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    if (!makeLoopbackCertificate(dir)) throw std::runtime_error("openssl could not make a certificate");
    relay_ = std::make_unique<LoopbackHttpServer>(makeLoopbackTlsServer(dir));
    (*relay_)->Post("/DBEmailDelegate.jsp", [this](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex_);
        mails_.push_back({req.path, req.target, req.get_param_value("from"), req.get_param_value("to"),
                          req.get_param_value("subject"), req.get_param_value("udid"), req.body, req.headers});
        res.status = mailStatus_;
        res.set_content("OK", "text/plain");
    });
    relay_->start("https");
    acceptor_ = std::thread([this] { acceptLoop(); });
    UserDefaults::standardUserDefaults().setObject(host(), SupportService::kHostKey);
    SupportService::setTrustedCertificates(dir / "cert.pem");
}

SupportServiceFake::~SupportServiceFake() {
    stopping_ = true;
    shutdown(front_.fd(), SHUT_RDWR);
    acceptor_.join();
    for (auto& connection : connections_) connection.join();
    relay_->stop();
    SupportService::setTrustedCertificates({});
}

std::vector<SupportServiceFake::Upload> SupportServiceFake::uploads() const {
    std::lock_guard lock(mutex_);
    return uploads_;
}

std::vector<SupportServiceFake::Mail> SupportServiceFake::mails() const {
    std::lock_guard lock(mutex_);
    return mails_;
}

void SupportServiceFake::clear() {
    std::lock_guard lock(mutex_);
    uploads_.clear();
    mails_.clear();
}

void SupportServiceFake::setUploadStatuses(std::vector<int> statuses) {
    std::lock_guard lock(mutex_);
    uploadStatuses_ = std::move(statuses);
    uploadsAnswered_ = 0;
}

void SupportServiceFake::setMailStatus(int status) {
    std::lock_guard lock(mutex_);
    mailStatus_ = status;
}

void SupportServiceFake::acceptLoop() {
    for (;;) {
        int fd = front_.accept();
        if (fd < 0 || stopping_) {
            if (fd >= 0) close(fd);
            return;
        }
        connections_.emplace_back([this, fd] { serve(fd); });
    }
}

void SupportServiceFake::serve(int fd) {
    unsigned char first = 0;
    if (recv(fd, &first, 1, MSG_PEEK) == 1) {
        if (first == 0x16) // a TLS handshake
            passOn(fd);
        else answerUpload(fd);
    }
    close(fd);
}

void SupportServiceFake::answerUpload(int fd) {
    std::string data;
    char buffer[65536];
    size_t headerEnd;
    while ((headerEnd = data.find("\r\n\r\n")) == std::string::npos) {
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        data.append(buffer, static_cast<size_t>(n));
    }
    Upload upload;
    std::vector<std::string> lines = split(data.substr(0, headerEnd), "\r\n");
    std::vector<std::string> requestLine = split(lines.at(0), " ");
    upload.path = requestLine.size() > 1 ? requestLine[1] : "";
    for (size_t i = 1; i < lines.size(); ++i) {
        size_t colon = lines[i].find(':');
        if (colon != std::string::npos)
            upload.headers[toLower(lines[i].substr(0, colon))] = trim(lines[i].substr(colon + 1));
    }
    size_t length = static_cast<size_t>(longLongValue(upload.headers["content-length"]));
    upload.body = data.substr(headerEnd + 4);
    while (upload.body.size() < length) {
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        upload.body.append(buffer, static_cast<size_t>(n));
    }
    int status = 200;
    {
        std::lock_guard lock(mutex_);
        if (uploadsAnswered_ < uploadStatuses_.size()) status = uploadStatuses_[uploadsAnswered_];
        ++uploadsAnswered_;
        uploads_.push_back(std::move(upload));
    }
    std::string reply = format("HTTP/1.1 %d Status\r\nContent-Length: 4\r\nConnection: close\r\n\r\n OK\n", status);
    writeAll(fd, reply.data(), reply.size());
}

// Pumps bytes both ways between the terminal and the HTTPS server until either side closes.
void SupportServiceFake::passOn(int fd) {
    int backend = connectLoopback(relay_->port());
    if (backend < 0) return;
    pollfd fds[2] = {{fd, POLLIN, 0}, {backend, POLLIN, 0}};
    char buffer[65536];
    while (!stopping_) {
        if (poll(fds, 2, 100) < 0) break;
        bool done = false;
        for (int i = 0; i < 2 && !done; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t n = recv(fds[i].fd, buffer, sizeof buffer, 0);
            done = n <= 0 || !writeAll(fds[1 - i].fd, buffer, static_cast<size_t>(n));
        }
        if (done) break;
    }
    close(backend);
}

} // namespace tavlo::test
