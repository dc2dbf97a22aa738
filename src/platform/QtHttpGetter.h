#pragma once

#include "discover/HttpGetter.h"

#include <atomic>

namespace ondel {

// HttpGetter over QNetworkAccessManager with the system's proxy settings. Every get makes its own
// manager and event loop on the calling thread: call it from a worker thread, never from the GUI
// thread. No redirects are followed. A get ends with an error when cancel becomes true (checked
// every 50 ms) or nothing arrives for inactivityMs. The error text is Qt's description with the
// request's URL taken out (it holds the key). The cancel flag must outlive the getter.
class QtHttpGetter : public HttpGetter {
public:
    static constexpr int kDefaultInactivityMs = 20000;

    explicit QtHttpGetter(const std::atomic<bool>& cancel, int inactivityMs = kDefaultInactivityMs);

    HttpGetResult get(const std::string& url, std::size_t maxBodyBytes) override;

private:
    const std::atomic<bool>& m_cancel;
    int m_inactivityMs;
};

} // namespace ondel
