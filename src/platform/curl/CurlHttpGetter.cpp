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
    HttpGetResult result;
    CurlRequest request(url);
    if (!request.setupError().empty()) {
        result.error = request.setupError();
        return result;
    }
    Sink sink{&result.body, maxBodyBytes};
    request.set(CURLOPT_ACCEPT_ENCODING, ""); // whatever this libcurl can decode
    request.set(CURLOPT_CONNECTTIMEOUT_MS, m_inactivityMs);
    request.set(CURLOPT_TIMEOUT_MS, 120000L);
    // "Inactivity": under one byte a second for the whole period.
    request.set(CURLOPT_LOW_SPEED_LIMIT, 1L);
    request.set(CURLOPT_LOW_SPEED_TIME, (m_inactivityMs + 999) / 1000);
    request.set(CURLOPT_WRITEFUNCTION, &onData);
    request.set(CURLOPT_WRITEDATA, &sink);

    CURLcode code = request.perform();
    const long status = request.status();
    result.tooLarge = sink.tooLarge;
    if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && sink.tooLarge)) {
        result.answered = status != 0;
        result.status = static_cast<int>(status);
        if (!result.answered)
            result.error = "no HTTP answer";
        return result;
    }
    result.body.clear();
    result.error = request.failure(code);
    return result;
}

} // namespace ondel
