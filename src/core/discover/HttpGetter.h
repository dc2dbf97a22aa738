#pragma once

#include <cstddef>
#include <string>

namespace ondel {

// What an HTTP GET brought back.
struct HttpGetResult {
    // False when no HTTP answer came (name not resolved, refused, reset, timed out, TLS failed);
    // error then says why.
    bool answered = false;
    int status = 0;
    std::string body;
    // True when the body was cut off at the size cap (the body then holds the first bytes only).
    bool tooLarge = false;
    std::string error;
};

// HTTP GET of a whole, size-capped body. Implementations follow no redirects and must keep the
// URL (which may hold a secret) out of error and of every log.
// Thread: blocks the calling thread until the answer is in or has failed.
class HttpGetter {
public:
    virtual ~HttpGetter() = default;
    virtual HttpGetResult get(const std::string& url, std::size_t maxBodyBytes) = 0;
};

} // namespace ondel
