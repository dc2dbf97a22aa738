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

} // namespace ondel
