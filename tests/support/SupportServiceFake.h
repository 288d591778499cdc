#pragma once

#include "support/LoopbackHttpServer.h"
#include "support/LoopbackListener.h"

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavlo::test {

// The maker's support service on one loopback port, as the terminal sees it: the upload page in
// plain HTTP and the mail relay in HTTPS with a certificate made for the test. Plain connections
// are answered here (the upload page's form uses bare line feeds, which a strict form parser
// refuses); TLS connections are passed on to an HTTPS server. Construction points the user
// default "support_host" at it and trusts its certificate.
class SupportServiceFake {
public:
    struct Upload {
        std::string path;
        std::map<std::string, std::string> headers; // names in lower case
        std::string body;
        // The form's fields, by name, and the file part.
        std::string field(const std::string& name) const;
        std::string fileName() const;
        std::string fileBytes() const;
    };
    struct Mail {
        std::string path;
        std::string target; // as sent, still escaped
        std::string from, to, subject, udid;
        std::string body;
        httplib::Headers headers;
    };

    explicit SupportServiceFake(const std::filesystem::path& dir);
    ~SupportServiceFake();
    SupportServiceFake(const SupportServiceFake&) = delete;
    SupportServiceFake& operator=(const SupportServiceFake&) = delete;

    std::string host() const { return "127.0.0.1:" + std::to_string(front_.port()); }
    std::vector<Upload> uploads() const;
    std::vector<Mail> mails() const;
    void clear();
    // Statuses the upload page answers in turn, 200 after them.
    void setUploadStatuses(std::vector<int> statuses);
    void setMailStatus(int status);

private:
    void acceptLoop();
    void serve(int fd);
    void answerUpload(int fd);
    void passOn(int fd);

    mutable std::mutex mutex_;
    std::vector<Upload> uploads_;
    std::vector<Mail> mails_;
    std::vector<int> uploadStatuses_;
    size_t uploadsAnswered_ = 0;
    int mailStatus_ = 200;

    std::unique_ptr<LoopbackHttpServer> relay_;
    LoopbackListener front_;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::vector<std::thread> connections_;
};

} // namespace tavlo::test
