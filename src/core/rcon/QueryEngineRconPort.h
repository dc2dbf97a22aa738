#pragma once

#include "RconPort.h"

namespace ondel {

class QueryEngine;

// The remote console's port onto the query engine: the engine's socket, current server record
// and print-reply slot. Holds a reference; the engine must outlive it. GUI thread only.
class QueryEngineRconPort : public RconPort {
public:
    explicit QueryEngineRconPort(QueryEngine& engine) : m_engine(engine) {}

    SendStatus sendOutOfBand(std::string_view text) override;
    const ServerEntry& currentServer() const override;
    void setCurrentServer(const ServerEntry& entry) override;
    void setPrintHandler(PrintHandler handler) override;
    void clearPrintHandler() override;

private:
    QueryEngine& m_engine;
};

} // namespace ondel
