#include "sync/support/UploadHelper.h"

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "core/util/TavloLog.h"
#include "platform/foundation/Directories.h"
#include "platform/foundation/Text.h"
#include "platform/net/HttpClient.h"
#include "platform/store/SqlConnection.h"
#include "sync/exchange/CommHelper.h"
#include "sync/support/SupportService.h"

namespace tavlo {

namespace {

namespace fs = std::filesystem;

void appendField(std::string& body, std::string_view name, const std::optional<std::string>& value) {
    body += format("--%s\nContent-Disposition: form-data; name=\"%@\"\n\n%@\n", UploadHelper::kBoundary, name,
                   value.value_or(""));
}

std::optional<std::string> readWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return std::move(content).str();
}

// The ".sqlite" files under `root`, shallower first and then by path, so the store file at the
// top is tried before any copy in a sub-folder.
std::vector<fs::path> databaseFiles(const fs::path& root) {
    std::vector<std::pair<int, fs::path>> found;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && it->path().extension() == ".sqlite") found.emplace_back(it.depth(), it->path());
    }
    std::sort(found.begin(), found.end());
    std::vector<fs::path> files;
    for (auto& entry : found) files.push_back(std::move(entry.second));
    return files;
}

// A folder of the temporary directory that only this user can read, removed with the object.
class PrivateFolder {
public:
    PrivateFolder() {
        std::string pattern = (temporaryDirectory() / "tavlo-upload-XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~PrivateFolder() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

} // namespace

std::string UploadHelper::multipartBody(const std::optional<std::string>& storeId,
                                        const std::optional<std::string>& password,
                                        const std::optional<std::string>& terminalId, std::string_view name,
                                        std::string_view content) {
    std::string body;
    appendField(body, "username", storeId);
    appendField(body, "password", password);
    appendField(body, "terminalId", terminalId);
    appendField(body, "type", std::string("0"));
    body += format("--%s\nContent-Disposition: form-data; name=\"upload\"; filename=\"%@\"\n\n", kBoundary, name);
    body += content;
    body += format("\n--%s--\n", kBoundary);
    return body;
}

bool UploadHelper::sendFile(const std::string& fileName, const fs::path& directory, const std::string& useName,
                            const std::optional<std::string>& storeId, const std::optional<std::string>& password,
                            const std::optional<std::string>& terminalId, Error* error) {
    std::optional<std::string> content = readWholeFile(directory / fileName);
    if (!content) return false;
    std::optional<std::string> url = SupportService::uploadURL();
    if (!url) {
        TAVLO_LOG("%s", SupportService::kNotConfigured);
        Error::set(error, CommHelper::kStoreServerErrorDomain, 0, SupportService::kNotConfigured);
        return false;
    }
    HttpRequest request;
    request.url = *url;
    request.headers.emplace_back("Content-Type", format("multipart/form-data;boundary=%s", kBoundary));
    request.body = multipartBody(storeId, password, terminalId, useName, *content);
    request.connectTimeout = kConnectTimeout;
    request.timeout = kExchangeTimeout;

    Error transport;
    std::optional<HttpResponse> response = HttpClient::post(request, &transport);
    long status = response ? response->status : 0;
    std::string reply = response ? trim(response->body) : std::string();
    TAVLO_LOG("Log Sent: %@", useName);
    TAVLO_LOG("Response code: %d, size: %d", status, reply.size());
    if (transport.isSet()) TAVLO_LOG("Error: %@", transport.localizedDescription());
    if (status >= 200 && status <= 299) return true;
    Error::set(error, CommHelper::kStoreServerErrorDomain, static_cast<int>(status),
               "The support service cannot be reached at the moment. Please try again later.");
    return false;
}

bool UploadHelper::uploadDatabase(const std::optional<std::string>& storeId, const std::optional<std::string>& password,
                                  const std::optional<std::string>& terminalId, Error* error) {
    std::string name = format("%@_%@.sqlite", storeId, terminalId);
    for (const fs::path& file : databaseFiles(documentsDirectory())) {
        // The store keeps recent commits in its write-ahead log: send a copy that holds them.
        PrivateFolder folder;
        Error copyError;
        if (folder.path().empty() || !SqlConnection::backup(file, folder.path() / "copy.sqlite", &copyError)) {
            TAVLO_LOG("Unable to copy the database %@: %@", file.string(), copyError.localizedDescription());
            continue;
        }
        if (sendFile("copy.sqlite", folder.path(), name, storeId, password, terminalId, error)) return true;
    }
    return false;
}

} // namespace tavlo
