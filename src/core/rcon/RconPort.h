#pragma once

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

    virtual ~RconPort() = default;
    // Sends FF FF FF FF, text, 00 to the current server; true when the platform reports it sent.
    virtual bool sendOutOfBand(std::string_view text) = 0;
    virtual const ServerEntry& currentServer() const = 0;
    virtual void setCurrentServer(const ServerEntry& entry) = 0;
    // One handler at a time; called once per print datagram with its text.
    virtual void setPrintHandler(PrintHandler handler) = 0;
    virtual void clearPrintHandler() = 0;
};

} // namespace ondel
