#include "platform/net/HttpClient.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace tavlo {

namespace {

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t collect(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

long milliseconds(double seconds) { return seconds > 0 ? static_cast<long>(seconds * 1000.0 + 0.5) : 1; }

Error errorFor(CURLcode code, const char* detail, const std::string& url) {
    std::string what = detail && *detail ? detail : curl_easy_strerror(code);
    switch (code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return Error(HttpClient::kErrorDomain, HttpClient::CannotConnect, "Could not connect to " + url + ": " + what);
    case CURLE_OPERATION_TIMEDOUT:
        return Error(HttpClient::kErrorDomain, HttpClient::TimedOut, "The request to " + url + " timed out: " + what);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
        return Error(HttpClient::kErrorDomain, HttpClient::SecureConnectionFailed,
                     "A secure connection to " + url + " could not be made: " + what);
    default: return Error(HttpClient::kErrorDomain, HttpClient::Failed, "The request to " + url + " failed: " + what);
    }
}

} // namespace

std::optional<HttpResponse> HttpClient::post(const HttpRequest& request, Error* error) {
    globalInit();
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl) {
        Error::set(error, kErrorDomain, Failed, "The request to " + request.url + " failed: no HTTP handle");
        return std::nullopt;
    }
    curl_slist* rawHeaders = nullptr;
    for (const auto& [name, value] : request.headers)
        rawHeaders = curl_slist_append(rawHeaders, (name + ": " + value).c_str());
    // A body over 1 KiB would otherwise wait for "100 Continue", which many servers never send.
    rawHeaders = curl_slist_append(rawHeaders, "Expect:");
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(rawHeaders, &curl_slist_free_all);

    HttpResponse response;
    char detail[CURL_ERROR_SIZE] = {};
    CURL* h = curl.get();
    curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, milliseconds(request.connectTimeout));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, milliseconds(request.timeout));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROXY, "");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!request.caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, request.caFile.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &response.body);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, detail);

    CURLcode code = curl_easy_perform(h);
    if (code != CURLE_OK) {
        Error::set(error, errorFor(code, detail, request.url));
        return std::nullopt;
    }
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response.status);
    return response;
}

} // namespace tavlo
