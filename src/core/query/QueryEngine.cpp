#include "query/QueryEngine.h"

#include "common/ByteWriter.h"
#include "common/Clock.h"
#include "query/QueryProtocol.h"
#include "query/ServerKnowledge.h"

#include <algorithm>

namespace ondel {

QueryEngine::QueryEngine(const Clock& clock, DatagramRouter& router, ServerKnowledge& knowledge)
    : m_clock(clock), m_router(router), m_knowledge(knowledge), m_query(clock, router, knowledge) {
    m_query.setSchedule(ServerQuery::polite());
    m_query.setReplyHandler([this](ServerQuery::Reply kind) {
        switch (kind) {
        case ServerQuery::Reply::Info:
            m_unansweredDetails = 0;
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
    // The request the tick is about to send again went unanswered. Before the dialect is
    // settled the first requests may just have been asked in the wrong words.
    const std::uint32_t sent = m_query.awaitingSince(RequestSlot::Details);
    if (sent != 0 &&
        m_clock.tickMs() - sent >=
            std::max(ServerQuery::kRequestTimeoutMs, m_query.detailsIntervalMs()) &&
        (++m_unansweredDetails > ServerQuery::kDetailsMissesBeforeSwitch ||
         m_query.dialectSettled()))
        report(Result::Miss);
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
    m_unansweredDetails = 0;
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
