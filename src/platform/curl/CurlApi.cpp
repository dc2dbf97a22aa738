#include "curl/CurlApi.h"

#include <dlfcn.h>

#include <mutex>

namespace ondel {

namespace {
template <typename F> bool bind(void* library, const char* name, F& out) {
    out = reinterpret_cast<F>(dlsym(library, name));
    return out != nullptr;
}
} // namespace

const CurlApi& loadCurl() {
    static CurlApi a;
    static std::once_flag once;
    std::call_once(once, [] {
        void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return;
        a.loaded = bind(library, "curl_global_init", a.globalInit) &&
                   bind(library, "curl_easy_init", a.easyInit) &&
                   bind(library, "curl_easy_setopt", a.easySetopt) &&
                   bind(library, "curl_easy_perform", a.easyPerform) &&
                   bind(library, "curl_easy_getinfo", a.easyGetinfo) &&
                   bind(library, "curl_easy_cleanup", a.easyCleanup) &&
                   bind(library, "curl_easy_strerror", a.easyStrerror) &&
                   bind(library, "curl_slist_append", a.slistAppend) &&
                   bind(library, "curl_slist_free_all", a.slistFreeAll);
        if (a.loaded)
            a.globalInit(CURL_GLOBAL_DEFAULT);
    });
    return a;
}

CurlRequest::CurlRequest(const std::string& url) : m_api(loadCurl()) {
    if (!m_api.loaded) {
        m_setupError = "the HTTP library (libcurl.so.4) cannot be loaded";
        return;
    }
    m_curl = m_api.easyInit();
    if (!m_curl) {
        m_setupError = "the HTTP library cannot start";
        return;
    }
    set(CURLOPT_ERRORBUFFER, m_detail);
    set(CURLOPT_URL, url.c_str());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_FOLLOWLOCATION, 0L);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_USERAGENT, "Ondel/" ONDEL_VERSION_TEXT);
}

CurlRequest::~CurlRequest() {
    if (m_curl)
        m_api.easyCleanup(m_curl);
}

CURLcode CurlRequest::perform() {
    CURLcode code = m_api.easyPerform(m_curl);
    m_api.easyGetinfo(m_curl, CURLINFO_RESPONSE_CODE, &m_status);
    return code;
}

std::string CurlRequest::failure(CURLcode code) const {
    return m_detail[0] ? std::string(m_detail) : std::string(m_api.easyStrerror(code));
}

} // namespace ondel
