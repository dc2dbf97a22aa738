#pragma once

#include <curl/curl.h>

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

} // namespace ondel
