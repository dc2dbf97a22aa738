#include "query/QueryEngine.h"

#include "common/ByteWriter.h"
#include "query/QueryProtocol.h"
#include "query/ServerKnowledge.h"

namespace ondel {

QueryEngine::QueryEngine(const Clock& clock, DatagramRouter& router, ServerKnowledge& knowledge)
    : m_router(router), m_knowledge(knowledge), m_query(clock, router, knowledge) {
    m_query.setSchedule(ServerQuery::polite());
    m_query.setReplyHandler([this](ServerQuery::Reply kind) {
        switch (kind) {
        case ServerQuery::Reply::Info:
            report(Result::Info);
            break;
        case ServerQuery::Reply::Rules:
            report(Result::Rules);
            break;
        case ServerQuery::Reply::Players:
            report(Result::Players);
            break;
        case ServerQuery::Reply::Ping:
            report(Result::Ping);
            break;
        }
    });
}

void QueryEngine::report(Result what) {
    if (m_resultHandler)
        m_resultHandler(what, m_query.entry());
}

void QueryEngine::queryTick() {
    m_router.rollCounters();
    m_query.tick();
}

bool QueryEngine::sendOutOfBand(std::string_view text) {
    return sendOutOfBandStatus(text) == DatagramRouter::SendStatus::Sent;
}

DatagramRouter::SendStatus QueryEngine::sendOutOfBandStatus(std::string_view text) {
    if (text.size() > kMaxOutOfBandText)
        return DatagramRouter::SendStatus::Failed;
    ByteWriter out;
    out.reserve(text.size() + 5);
    out.u32(protocol::kOutOfBand);
    out.bytes(text);
    out.u8(0);
    return m_query.sendRaw(out.data().data(), out.size(), DatagramRouter::Traffic::Rcon);
}

void QueryEngine::setCurrentServer(const ServerEntry& entry) {
    if (isSameServer(m_query.entry().address, entry.address))
        m_query.replaceEntry(entry);
    else
        m_query.retarget(entry);
    report(Result::Selected);
}

void QueryEngine::setPrintHandler(PrintHandler handler) {
    m_query.setPrintHandler(std::move(handler));
}

void QueryEngine::clearPrintHandler() {
    m_query.setPrintHandler(nullptr);
}

int QueryEngine::limitedRefreshSeconds() const {
    if (!m_knowledge.limitsQueries(m_query.entry().address))
        return 0;
    return static_cast<int>((m_query.detailsIntervalMs() + 999) / 1000);
}

} // namespace ondel
