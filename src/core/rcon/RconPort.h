#pragma once

#include "query/DatagramRouter.h"
#include "serverlist/ServerEntry.h"

#include <functional>
#include <string_view>

namespace ondel {

// What the remote console needs of the query engine: the one socket's out-of-band send, the
// current server record (which holds the challenge number) and the single print-reply slot.
// QueryEngineRconPort adapts the engine; tests use a fake. GUI thread only.
class RconPort {
public:
    using PrintHandler = std::function<void(std::string_view text)>;
    using SendStatus = DatagramRouter::SendStatus;

    virtual ~RconPort() = default;
    // Sends FF FF FF FF, text, 00 to the current server: Sent when the platform reports it sent,
    // Held when the packet budget has no room for it now, Failed otherwise.
    virtual SendStatus sendOutOfBand(std::string_view text) = 0;
    virtual const ServerEntry& currentServer() const = 0;
    virtual void setCurrentServer(const ServerEntry& entry) = 0;
    // One handler at a time; called once per print datagram with its text.
    virtual void setPrintHandler(PrintHandler handler) = 0;
    virtual void clearPrintHandler() = 0;
};

} // namespace ondel
