#include "curl/CurlHttpGetter.h"

#include "curl/CurlApi.h"

namespace ondel {

namespace {

struct Sink {
    std::string* body;
    std::size_t max;
    bool tooLarge = false;
};

std::size_t onData(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    std::size_t n = size * count;
    if (sink->body->size() + n > sink->max) {
        sink->body->append(data, sink->max - sink->body->size());
        sink->tooLarge = true;
        return 0; // stops the transfer
    }
    sink->body->append(data, n);
    return n;
}

} // namespace

CurlHttpGetter::CurlHttpGetter(long inactivityMs) : m_inactivityMs(inactivityMs) {}

HttpGetResult CurlHttpGetter::get(const std::string& url, std::size_t maxBodyBytes) {
    const CurlApi& curlApi = loadCurl();
    HttpGetResult result;
    if (!curlApi.loaded) {
        result.error = "the HTTP library (libcurl.so.4) cannot be loaded";
        return result;
    }
    CURL* curl = curlApi.easyInit();
    if (!curl) {
        result.error = "the HTTP library cannot start";
        return result;
    }
    Sink sink{&result.body, maxBodyBytes};
    char detail[CURL_ERROR_SIZE] = {};
    curlApi.easySetopt(curl, CURLOPT_ERRORBUFFER, detail);
    curlApi.easySetopt(curl, CURLOPT_URL, url.c_str());
    curlApi.easySetopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curlApi.easySetopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curlApi.easySetopt(curl, CURLOPT_NOSIGNAL, 1L);
    curlApi.easySetopt(curl, CURLOPT_USERAGENT, "Ondel/" ONDEL_VERSION_TEXT);
    curlApi.easySetopt(curl, CURLOPT_ACCEPT_ENCODING, ""); // whatever this libcurl can decode
    curlApi.easySetopt(curl, CURLOPT_CONNECTTIMEOUT_MS, m_inactivityMs);
    curlApi.easySetopt(curl, CURLOPT_TIMEOUT_MS, 120000L);
    // "Inactivity": under one byte a second for the whole period.
    curlApi.easySetopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curlApi.easySetopt(curl, CURLOPT_LOW_SPEED_TIME, (m_inactivityMs + 999) / 1000);
    curlApi.easySetopt(curl, CURLOPT_WRITEFUNCTION, &onData);
    curlApi.easySetopt(curl, CURLOPT_WRITEDATA, &sink);

    CURLcode code = curlApi.easyPerform(curl);
    long status = 0;
    curlApi.easyGetinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curlApi.easyCleanup(curl);

    result.tooLarge = sink.tooLarge;
    if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && sink.tooLarge)) {
        result.answered = status != 0;
        result.status = static_cast<int>(status);
        if (!result.answered)
            result.error = "no HTTP answer";
        return result;
    }
    result.body.clear();
    result.error = detail[0] ? detail : curlApi.easyStrerror(code);
    return result;
}

} // namespace ondel
