#pragma once

#include "discover/HttpGetter.h"

namespace ondel {

// HttpGetter over libcurl: one easy handle per get, no redirects, the system's proxy settings
// from the usual environment variables, certificate checks on. A get ends with an error when
// no byte arrives for inactivityMs, or after 120 s in all. Error texts are libcurl's
// descriptions (host and port at most; callers still redact the key). Thread: any; one get per
// object at a time.
class CurlHttpGetter : public HttpGetter {
public:
    static constexpr long kDefaultInactivityMs = 20000;

    explicit CurlHttpGetter(long inactivityMs = kDefaultInactivityMs);

    HttpGetResult get(const std::string& url, std::size_t maxBodyBytes) override;

private:
    long m_inactivityMs;
};

} // namespace ondel
