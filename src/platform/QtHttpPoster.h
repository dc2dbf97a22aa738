#pragma once

#include "master/HttpPoster.h"
#include "master/MasterHost.h"

#include <atomic>
#include <cstdint>

namespace ondel {

// HttpPoster over QNetworkAccessManager with the system's proxy settings. Every post() makes its
// own network access manager and event loop on the calling thread, so it may be called from any
// thread that is not the GUI thread (it blocks until the reply has ended). Failures are silent.
// A post ends early when cancel becomes true (checked every 50 ms), when nothing arrives for
// the inactivity timeout (the time spent inside the sink does not count), or after
// kMaxReplyBytes. The cancel flag must outlive the poster.
class QtHttpPoster : public HttpPoster {
public:
    static constexpr int kDefaultInactivityMs = 20000;
    static constexpr std::int64_t kMaxReplyBytes = 1024 * 1024;

    QtHttpPoster(MasterHost host, const std::atomic<bool>& cancel,
                 int inactivityMs = kDefaultInactivityMs);

    bool post(const std::string& path, const std::vector<std::uint8_t>& body,
              const BodySink& sink) override;

private:
    MasterHost m_host;
    const std::atomic<bool>& m_cancel;
    int m_inactivityMs;
};

} // namespace ondel
