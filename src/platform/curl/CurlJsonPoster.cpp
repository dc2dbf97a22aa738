#include "curl/CurlJsonPoster.h"

#include "curl/CurlApi.h"

namespace ondel {

namespace {
std::size_t dropBody(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}
} // namespace

JsonPostResult postJson(const std::string& url, const std::string& body, long timeoutMs) {
    const CurlApi& curlApi = loadCurl();
    JsonPostResult result;
    if (!curlApi.loaded) {
        result.error = "the HTTP library (libcurl.so.4) cannot be loaded";
        return result;
    }
    CURL* curl = curlApi.easyInit();
    if (!curl) {
        result.error = "the HTTP library cannot start";
        return result;
    }
    curl_slist* headers = curlApi.slistAppend(nullptr, "Content-Type: application/json");
    char detail[CURL_ERROR_SIZE] = {};
    curlApi.easySetopt(curl, CURLOPT_ERRORBUFFER, detail);
    curlApi.easySetopt(curl, CURLOPT_URL, url.c_str());
    curlApi.easySetopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curlApi.easySetopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curlApi.easySetopt(curl, CURLOPT_NOSIGNAL, 1L);
    curlApi.easySetopt(curl, CURLOPT_USERAGENT, "Ondel/" ONDEL_VERSION_TEXT);
    curlApi.easySetopt(curl, CURLOPT_HTTPHEADER, headers);
    curlApi.easySetopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curlApi.easySetopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curlApi.easySetopt(curl, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
    curlApi.easySetopt(curl, CURLOPT_TIMEOUT_MS, timeoutMs);
    curlApi.easySetopt(curl, CURLOPT_WRITEFUNCTION, &dropBody);

    CURLcode code = curlApi.easyPerform(curl);
    long status = 0;
    curlApi.easyGetinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curlApi.easyCleanup(curl);
    if (headers)
        curlApi.slistFreeAll(headers);
    result.status = static_cast<int>(status);
    if (code != CURLE_OK)
        result.error = detail[0] ? detail : curlApi.easyStrerror(code);
    return result;
}

} // namespace ondel
