#include "curl/CurlHttpGetter.h"

#include <curl/curl.h>

#include <mutex>

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

void initOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

CurlHttpGetter::CurlHttpGetter(long inactivityMs) : m_inactivityMs(inactivityMs) {}

HttpGetResult CurlHttpGetter::get(const std::string& url, std::size_t maxBodyBytes) {
    initOnce();
    HttpGetResult result;
    CURL* curl = curl_easy_init();
    if (!curl) {
        result.error = "the HTTP library cannot start";
        return result;
    }
    Sink sink{&result.body, maxBodyBytes};
    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Ondel/" ONDEL_VERSION_TEXT);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, ""); // whatever this libcurl can decode
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, m_inactivityMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 120000L);
    // "Inactivity": under one byte a second for the whole period.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, (m_inactivityMs + 999) / 1000);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &onData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);

    CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);

    result.tooLarge = sink.tooLarge;
    if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && sink.tooLarge)) {
        result.answered = status != 0;
        result.status = static_cast<int>(status);
        if (!result.answered)
            result.error = "no HTTP answer";
        return result;
    }
    result.body.clear();
    result.error = detail[0] ? detail : curl_easy_strerror(code);
    return result;
}

} // namespace ondel
