#pragma once

#include "MasterMessagePrompt.h"
#include "MasterRecord.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace ondel {

class HttpPoster;
class SettingsStore;

// The master server session of one run: the user number probe, the USERID exchange, the VERSION
// exchange, and the handling of the records that come back (a new user number is stored, a
// message is shown unless it was suppressed with "Don't show again"). Silent on every failure.
// run() blocks and is meant for the session's worker thread; requestStop() may be called from
// any thread and makes run() return at the next record or exchange without asking anything more.
// The ports must outlive run().
class MasterClient {
public:
    MasterClient(HttpPoster& poster, SettingsStore& settings, MasterMessagePrompt& prompt);

    void run();
    void requestStop() { m_stop.store(true); }
    bool stopRequested() const { return m_stop.load(); }

    // The user number to announce: the stored ID; when that is 0, a write of 1 is made and read
    // back, and a store that does not keep it gives -1 (0 otherwise).
    std::int32_t probeUserId();
    // One POST with body and the handling of its reply.
    void exchange(const std::vector<std::uint8_t>& body);

private:
    void handleMessage(const MasterMessage& message);

    HttpPoster& m_poster;
    SettingsStore& m_settings;
    MasterMessagePrompt& m_prompt;
    std::atomic<bool> m_stop{false};
};

} // namespace ondel
