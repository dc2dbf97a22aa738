#pragma once

#include "browser/Scan.h"
#include "query/ServerQuery.h"
#include "serverlist/ServerAddress.h"

#include <functional>
#include <memory>
#include <vector>

namespace ondel {

// What the browser window needs of a scan: start one over a list's addresses, stop it, and be
// told of each server's result and of the end. The program's implementation drives a Scan on the
// shared query socket; tests hand results in themselves.
//
// Results and the end are reported on the caller's thread, from its event loop (an
// implementation may also report from inside start(), for addresses it can settle at once).
// Thread: one thread (the GUI thread).
class ScanService {
public:
    using ResultHandler = std::function<void(const ScanResult& result)>;
    using FinishedHandler = std::function<void()>;

    virtual ~ScanService() = default;

    // Starts a scan of addresses; one that is running is cancelled first and reports nothing
    // more. onFinished runs once, after the last result (not after cancel()).
    virtual void start(const std::vector<ServerAddress>& addresses, ResultHandler onResult,
                       FinishedHandler onFinished) = 0;
    // Stops at once; no more results are reported.
    virtual void cancel() = 0;
    virtual bool running() const = 0;

    // A continuous query of one server (the browser's details pane) on the same socket, packet
    // budget and server knowledge as the scans and the monitor. The caller ticks it about once a
    // second and destroys it before this service. Nothing where there is no socket.
    virtual std::unique_ptr<ServerQuery> watchServer(const ServerEntry& entry) {
        (void)entry;
        return nullptr;
    }
};

} // namespace ondel
