#include "curl/CurlJsonPoster.h"

#include "curl/CurlApi.h"

#include <memory>

namespace ondel {

namespace {
std::size_t dropBody(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}
} // namespace

JsonPostResult postJson(const std::string& url, const std::string& body, long timeoutMs) {
    JsonPostResult result;
    const CurlApi& curlApi = loadCurl();
    // Declared before the request, so that it is freed after the handle that points to it.
    std::unique_ptr<curl_slist, void (*)(curl_slist*)> headers(nullptr, curlApi.slistFreeAll);
    CurlRequest request(url);
    if (!request.setupError().empty()) {
        result.error = request.setupError();
        return result;
    }
    headers.reset(curlApi.slistAppend(nullptr, "Content-Type: application/json"));
    request.set(CURLOPT_HTTPHEADER, headers.get());
    request.set(CURLOPT_POSTFIELDS, body.c_str());
    request.set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    request.set(CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
    request.set(CURLOPT_TIMEOUT_MS, timeoutMs);
    request.set(CURLOPT_WRITEFUNCTION, &dropBody);

    CURLcode code = request.perform();
    result.status = static_cast<int>(request.status());
    if (code != CURLE_OK)
        result.error = request.failure(code);
    return result;
}

} // namespace ondel
