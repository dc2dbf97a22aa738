#include "rcon/QueryEngineRconPort.h"

#include "query/QueryEngine.h"

#include <utility>

namespace ondel {

RconPort::SendStatus QueryEngineRconPort::sendOutOfBand(std::string_view text) {
    return m_engine.sendOutOfBandStatus(text);
}

const ServerEntry& QueryEngineRconPort::currentServer() const {
    return m_engine.currentServer();
}

void QueryEngineRconPort::setCurrentServer(const ServerEntry& entry) {
    m_engine.setCurrentServer(entry);
}

void QueryEngineRconPort::setPrintHandler(PrintHandler handler) {
    m_engine.setPrintHandler(std::move(handler));
}

void QueryEngineRconPort::clearPrintHandler() {
    m_engine.clearPrintHandler();
}

} // namespace ondel
