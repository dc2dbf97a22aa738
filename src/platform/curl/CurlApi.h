#pragma once

#include <curl/curl.h>

#include <string>

namespace ondel {

// libcurl is loaded when the first request is made, not at start-up: its library tree (TLS,
// Kerberos, LDAP...) would otherwise cost every ondel-cli command tens of milliseconds of
// loading, the one-server query included.
struct CurlApi {
    CURLcode (*globalInit)(long) = nullptr;
    CURL* (*easyInit)() = nullptr;
    CURLcode (*easySetopt)(CURL*, CURLoption, ...) = nullptr;
    CURLcode (*easyPerform)(CURL*) = nullptr;
    CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...) = nullptr;
    void (*easyCleanup)(CURL*) = nullptr;
    const char* (*easyStrerror)(CURLcode) = nullptr;
    curl_slist* (*slistAppend)(curl_slist*, const char*) = nullptr;
    void (*slistFreeAll)(curl_slist*) = nullptr;
    bool loaded = false;
};

// The functions of libcurl.so.4, loaded once (thread-safe); loaded is false when it cannot be.
const CurlApi& loadCurl();

// One HTTP request, set up as every request of this program is: http and https only, no
// redirects, no signals, this program's user agent, libcurl's error text kept. The caller sets
// what is particular to it with set(), then perform()s. Frees its handle. Blocks; any thread.
class CurlRequest {
public:
    explicit CurlRequest(const std::string& url);
    ~CurlRequest();
    CurlRequest(const CurlRequest&) = delete;
    CurlRequest& operator=(const CurlRequest&) = delete;

    // Empty when the request could be set up, else why not (libcurl cannot be loaded or start).
    const std::string& setupError() const { return m_setupError; }
    template <typename T> void set(CURLoption option, T value) {
        m_api.easySetopt(m_curl, option, value);
    }
    // Sends the request and reads the answer; status() then holds the HTTP status (0 when none).
    CURLcode perform();
    long status() const { return m_status; }
    // libcurl's description of a failed transfer.
    std::string failure(CURLcode code) const;

private:
    const CurlApi& m_api;
    CURL* m_curl = nullptr;
    std::string m_setupError;
    char m_detail[CURL_ERROR_SIZE] = {};
    long m_status = 0;
};

} // namespace ondel
