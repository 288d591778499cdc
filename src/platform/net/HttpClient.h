#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Error.h"

namespace tavlo {

struct HttpRequest {
    std::string url;                                          // http:// or https://
    std::vector<std::pair<std::string, std::string>> headers; // sent as given, in order
    std::string body;                                         // raw bytes
    double connectTimeout = 30;                               // seconds to establish the connection
    double timeout = 30;                                      // seconds for the whole exchange
    std::string caFile; // when set, only the certificates in this PEM file are trusted (instead of the system's)
};

struct HttpResponse {
    long status = 0;
    std::string body;
};

// A synchronous HTTP(S) POST. Certificates and host names are always verified; no proxy is
// used (the store server is on the terminal's own network); redirects are not followed.
// Blocks the calling thread for at most the request's time-outs.
class HttpClient {
public:
    static constexpr const char* kErrorDomain = "HttpClientErrorDomain";
    enum ErrorCode {
        CannotConnect = 1, // refused, unreachable, name not found
        TimedOut = 2,
        SecureConnectionFailed = 3, // TLS handshake or certificate check
        Failed = 4,                 // anything else on the way (bad URL, connection dropped, ...)
    };

    // The reply whatever its status (judging the status is the caller's business), or nothing
    // with *error set when no reply came.
    static std::optional<HttpResponse> post(const HttpRequest& request, Error* error = nullptr);
};

} // namespace tavlo
