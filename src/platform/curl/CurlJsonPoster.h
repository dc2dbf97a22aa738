#pragma once

#include <string>

namespace ondel {

struct JsonPostResult {
    int status = 0;    // the HTTP status; 0 when none came
    std::string error; // libcurl's description of a failure of the transfer, else empty
    bool delivered() const { return error.empty() && status >= 200 && status < 300; }
};

// Sends one JSON document as an HTTP POST (Content-Type: application/json) over libcurl: no
// redirects, http and https only, the proxy from the usual environment variables, ends after
// timeoutMs. The response body is read and dropped. Blocks; any thread.
JsonPostResult postJson(const std::string& url, const std::string& body, long timeoutMs = 10000);

} // namespace ondel
