#include "query/ServerQuery.h"

#include "common/ByteReader.h"
#include "common/ByteWriter.h"
#include "common/Clock.h"
#include "query/ChallengeParser.h"
#include "query/InfoReplyParser.h"
#include "query/PlayersReplyParser.h"
#include "query/QueryProtocol.h"
#include "query/RulesReplyParser.h"
#include "query/ServerKnowledge.h"
#include "query/SteamInfoParser.h"

#include <algorithm>
#include <cmath>

namespace ondel {

namespace {
// The continuous run's order of sending.
constexpr RequestSlot kCycleOrder[] = {RequestSlot::Rules, RequestSlot::Details,
                                       RequestSlot::Players};
constexpr std::int64_t kStaleAfterMs = 5000;

const char* legacyWord(RequestSlot slot) {
    switch (slot) {
    case RequestSlot::Rules:
        return protocol::kRulesRequest;
    case RequestSlot::Details:
        return protocol::kDetailsRequest;
    case RequestSlot::Players:
        return protocol::kPlayersRequest;
    case RequestSlot::Ping:
        break;
    }
    return protocol::kPingRequest;
}
} // namespace

ServerQuery::ServerQuery(const Clock& clock, DatagramRouter& router, ServerKnowledge& knowledge,
                         const ServerEntry& entry)
    : m_clock(clock), m_router(router), m_knowledge(knowledge), m_entry(entry) {
    startOver();
    watch();
}

ServerQuery::~ServerQuery() {
    m_router.unwatch(m_watch);
}

void ServerQuery::watch() {
    m_router.unwatch(m_watch);
    m_watch = m_router.watch(
        m_entry.address, [this](const std::uint8_t* data, std::size_t n) { onDatagram(data, n); });
}

std::uint32_t ServerQuery::awaitingSince(RequestSlot slot) const {
    return m_awaitingSince[slot];
}

bool ServerQuery::dialectSettled() const {
    return m_knowledge.dialect(m_entry.address).has_value();
}

bool ServerQuery::hasTarget() const {
    const auto& a = m_entry.address;
    return a.port != 0 && !a.host.empty() && a.host.find('.') != std::string::npos;
}

std::uint32_t ServerQuery::intervalFor(RequestSlot slot) const {
    std::uint32_t base = slot == RequestSlot::Details   ? m_schedule.detailsMs
                         : slot == RequestSlot::Players ? m_schedule.playersMs
                                                        : m_schedule.rulesMs;
    if (base == 0)
        return 0;
    double stretched = std::round(base * m_knowledge.slowdown(m_entry.address));
    return stretched >= 4.0e9 ? 4000000000u : static_cast<std::uint32_t>(stretched);
}

std::int64_t ServerQuery::staleAfterMs(RequestSlot slot) const {
    return std::max<std::int64_t>(kStaleAfterMs, std::int64_t{intervalFor(slot)} + 3000);
}

std::uint32_t ServerQuery::detailsIntervalMs() const {
    std::uint32_t ms = intervalFor(RequestSlot::Details);
    return ms == 0 ? 1000 : ms;
}

// ---------------------------------------------------------------------------------------------
// Sending

DatagramRouter::SendStatus ServerQuery::sendRaw(const std::uint8_t* data, std::size_t n,
                                                DatagramRouter::Traffic traffic) {
    return m_router.send(m_entry.address, data, n, traffic);
}

bool ServerQuery::sent(DatagramRouter::SendStatus status) const {
    // A send the platform refused still counts as asked (it is repeated when overdue); only a
    // send the budget held back is tried again at the next tick.
    return status != DatagramRouter::SendStatus::Held;
}

bool ServerQuery::sendLegacy(RequestSlot slot) {
    ByteWriter out;
    out.u32(protocol::kOutOfBand);
    out.cString(legacyWord(slot));
    return sent(sendRaw(out.data().data(), out.size(), DatagramRouter::Traffic::Query));
}

bool ServerQuery::sendSteamInfo() {
    ByteWriter out;
    out.u32(protocol::kOutOfBand);
    out.u8(protocol::kSteamInfoRequest);
    out.cString(protocol::kSteamInfoText);
    m_infoSentWithChallenge = m_infoNeedsChallenge;
    if (m_infoNeedsChallenge) {
        out.i32(m_steamChallenge);
        m_infoSentChallenge = m_steamChallenge;
    }
    return sent(sendRaw(out.data().data(), out.size(), DatagramRouter::Traffic::Query));
}

bool ServerQuery::sendSteamChallenged(RequestSlot slot) {
    bool rules = slot == RequestSlot::Rules;
    ByteWriter out;
    out.u32(protocol::kOutOfBand);
    out.u8(rules ? protocol::kSteamRulesRequest : protocol::kSteamPlayersRequest);
    out.i32(m_steamChallenge);
    (rules ? m_rulesSentChallenge : m_playersSentChallenge) = m_steamChallenge;
    return sent(sendRaw(out.data().data(), out.size(), DatagramRouter::Traffic::Query));
}

bool ServerQuery::sendRequest(RequestSlot slot) {
    m_challengeResends[slot] = 0;
    if (slot == RequestSlot::Ping)
        return sendLegacy(slot);
    if (slot == RequestSlot::Details)
        m_detailsSent = true;
    auto steam = [&] {
        return slot == RequestSlot::Details ? sendSteamInfo() : sendSteamChallenged(slot);
    };
    if (m_askBoth) {
        bool legacy = sendLegacy(slot);
        bool other = steam();
        return legacy || other;
    }
    return m_dialect == QueryDialect::Legacy ? sendLegacy(slot) : steam();
}

void ServerQuery::tick() {
    std::uint32_t now = m_clock.tickMs();
    m_fragments.expire(now);
    if (!hasTarget())
        return;
    if (m_once)
        tickOnce(now);
    else
        tickContinuous(now);
}

void ServerQuery::tickContinuous(std::uint32_t now) {
    auto& slots = m_awaitingSince;

    // A details request that went unanswered counts against the dialect it was asked in; after
    // two misses the other dialect gets its turn, until one of them answers.
    std::uint32_t detailsSent = slots[RequestSlot::Details];
    if (!dialectSettled() && m_detailsSent && detailsSent != 0 &&
        now - detailsSent >= kRequestTimeoutMs) {
        if (++m_detailsMisses >= kDetailsMissesBeforeSwitch) {
            m_detailsMisses = 0;
            m_dialect =
                m_dialect == QueryDialect::Legacy ? QueryDialect::Steam : QueryDialect::Legacy;
        }
    }

    if (m_schedule.pingMs != 0) {
        std::uint32_t pingSent = slots[RequestSlot::Ping];
        if (pingSent == 0 || now - pingSent >= kPingTimeoutMs) {
            if (sendRequest(RequestSlot::Ping)) {
                if (pingSent != 0)
                    m_entry.lastPing = kPingTimeoutValue;
                slots[RequestSlot::Ping] = m_clock.tickMs();
            }
        }
    } else if (m_pingWaitSince != 0 && now - m_pingWaitSince >= kPingTimeoutMs) {
        m_entry.lastPing = kPingTimeoutValue;
    }

    for (RequestSlot row : kCycleOrder) {
        std::uint32_t& slot = slots[row];
        now = m_clock.tickMs();
        std::uint32_t interval = intervalFor(row);
        bool overdue = slot != 0 && now - slot >= std::max(kRequestTimeoutMs, interval);
        bool due = overdue;
        if (slot == 0)
            due = interval == 0 || m_lastSent[row] == 0 ||
                  now - m_lastSent[row] + kTickSlackMs >= interval;
        if (overdue) {
            if (!m_firstMissSentAt)
                m_firstMissSentAt = slot;
            ++m_missesSinceAnswer[row];
        }
        if (due && sendRequest(row)) {
            slot = m_clock.tickMs();
            m_lastSent[row] = slot;
            if (row == RequestSlot::Details && m_pingWaitSince == 0)
                m_pingWaitSince = slot;
        }
    }

    // Everything going unanswered at once, from a server that was answering, is no lost packet
    // but a silence: an outage, or its query limit (then it is asked more slowly).
    if (m_schedule.detailsMs != 0 && m_everAnswered && !m_blockNoted &&
        m_missesSinceAnswer[RequestSlot::Details] >= 2 &&
        (m_missesSinceAnswer[RequestSlot::Players] >= 1 ||
         m_missesSinceAnswer[RequestSlot::Rules] >= 1)) {
        m_blockNoted = true;
        std::uint32_t answeredFor = 0;
        if (m_answeringSince && m_firstMissSentAt)
            answeredFor = *m_firstMissSentAt - *m_answeringSince;
        m_knowledge.noteSilence(m_entry.address, now, m_router.recentSends(m_entry.address),
                                answeredFor);
        m_answeringSince.reset();
    }
}

void ServerQuery::askOnce(bool withRules, std::uint32_t timeoutMs, DoneHandler done) {
    m_once = true;
    m_onceRules = withRules;
    m_onceStart = m_clock.tickMs();
    m_onceTimeoutMs = timeoutMs;
    m_onceGot.fill(false);
    m_onceSends.fill(0);
    m_awaitingSince.fill(0);
    m_done = std::move(done);
    auto known = m_knowledge.dialect(m_entry.address);
    m_askBoth = !known.has_value();
    m_dialect = known.value_or(QueryDialect::Legacy);
    tick();
}

bool ServerQuery::onceComplete() const {
    return m_onceGot[RequestSlot::Details] && m_onceGot[RequestSlot::Players] &&
           (!m_onceRules || m_onceGot[RequestSlot::Rules]);
}

void ServerQuery::tickOnce(std::uint32_t now) {
    if (now - m_onceStart >= m_onceTimeoutMs) {
        finishOnce(Outcome::TimedOut);
        return;
    }
    for (RequestSlot row : {RequestSlot::Details, RequestSlot::Players, RequestSlot::Rules}) {
        if (m_onceGot[row] || (row == RequestSlot::Rules && !m_onceRules))
            continue;
        std::uint32_t& slot = m_awaitingSince[row];
        bool due = slot == 0 || now - slot >= m_onceRetryAfterMs;
        if (slot != 0 && m_onceMaxRetries >= 0 && m_onceSends[row] > m_onceMaxRetries)
            due = false; // the retries are used up: wait for the timeout
        if (due && sendRequest(row)) {
            ++m_onceSends[row];
            slot = m_clock.tickMs();
            m_lastSent[row] = slot;
        }
    }
}

void ServerQuery::finishOnce(Outcome outcome) {
    m_once = false;
    m_awaitingSince.fill(0);
    // A server that answered everything without a Steam sign is a legacy one.
    if (outcome == Outcome::Complete && m_askBoth)
        settleDialect(QueryDialect::Legacy);
    m_askBoth = false;
    DoneHandler done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(outcome); // may destroy this object: nothing after it
}

// ---------------------------------------------------------------------------------------------
// Receiving

void ServerQuery::onDatagram(const std::uint8_t* data, std::size_t n) {
    if (FragmentReassembler::isFragment(data, n)) {
        auto whole = m_fragments.add(data, n, m_clock.tickMs());
        if (whole)
            dispatch(whole->data(), whole->size());
        return;
    }
    dispatch(data, n);
}

void ServerQuery::dispatch(const std::uint8_t* data, std::size_t n) {
    ByteReader in(data, n);
    // A reassembled reply must be whole too; fragments inside fragments are not taken.
    if (in.u32() != protocol::kOutOfBand)
        return;
    std::uint8_t type = in.u8();
    if (!in.ok())
        return;
    auto& slots = m_awaitingSince;

    // Only a reply that parses whole settles its request (the on*Reply handlers count only such
    // replies): one cut short is dropped as if it had never come, and the whole one that may
    // follow is still awaited.
    const ReplyCounts before = m_counts;
    std::optional<RequestSlot> answered;
    if ((type == protocol::kInfoReply || type == protocol::kSteamInfoReply) &&
        slots[RequestSlot::Details]) {
        std::uint32_t rtt = m_clock.tickMs() - slots[RequestSlot::Details];
        onInfoReply(data, n, type == protocol::kSteamInfoReply);
        if (m_counts.info == before.info)
            return;
        slots[RequestSlot::Details] = 0;
        if (m_schedule.pingMs == 0 || m_once) {
            m_pingWaitSince = 0;
            takePingSample(rtt);
        }
        answered = RequestSlot::Details;
        reply(Reply::Info);
    } else if (type == protocol::kRulesReply && slots[RequestSlot::Rules]) {
        onRulesReply(data, n);
        if (m_counts.rules == before.rules)
            return;
        slots[RequestSlot::Rules] = 0;
        answered = RequestSlot::Rules;
        reply(Reply::Rules);
    } else if (type == protocol::kPlayersReply && slots[RequestSlot::Players]) {
        onPlayersReply(data, n);
        if (m_counts.players == before.players)
            return;
        slots[RequestSlot::Players] = 0;
        answered = RequestSlot::Players;
        reply(Reply::Players);
    } else if (type == protocol::kPingReply && slots[RequestSlot::Ping]) {
        std::uint32_t rtt = m_clock.tickMs() - slots[RequestSlot::Ping];
        slots[RequestSlot::Ping] = 0;
        noteAnswer();
        takePingSample(rtt);
    } else if (type == protocol::kPrintReply) {
        if (m_printHandler)
            m_printHandler(ChallengeParser::printText(data, n));
    } else if (type == protocol::kSteamChallengeReply) {
        onSteamChallenge(data, n);
    } else if (ChallengeParser::isRconChallenge(data, n)) {
        onRconChallenge(data, n);
    }
    if (answered && m_once) {
        m_onceGot[*answered] = true;
        if (onceComplete())
            finishOnce(Outcome::Complete); // may destroy this object: nothing after it
    }
}

void ServerQuery::reply(Reply kind) {
    if (m_replyHandler)
        m_replyHandler(kind);
}

void ServerQuery::settleDialect(QueryDialect dialect) {
    m_dialect = dialect;
    m_detailsMisses = 0;
    m_askBoth = false;
    m_knowledge.setDialect(m_entry.address, dialect);
}

void ServerQuery::noteAnswer() {
    m_everAnswered = true;
    m_blockNoted = false;
    m_missesSinceAnswer.fill(0);
    m_firstMissSentAt.reset();
    if (!m_answeringSince)
        m_answeringSince = m_clock.tickMs();
    m_knowledge.noteAnswer(m_entry.address, m_clock.tickMs());
}

void ServerQuery::takePingSample(std::uint32_t rtt) {
    m_entry.lastPing = static_cast<std::int32_t>(rtt);
    float sample = static_cast<float>(rtt);
    if (m_entry.averagePing == 0.0f)
        m_entry.averagePing = sample;
    m_entry.averagePing = (m_entry.averagePing * 9.0f + sample) * 0.1f;
    ++m_counts.ping;
    reply(Reply::Ping);
}

void ServerQuery::onInfoReply(const std::uint8_t* data, std::size_t n, bool steamLayout) {
    SteamInfoExtras extras;
    bool ok = steamLayout ? SteamInfoParser::parse(data, n, m_entry, &extras)
                          : InfoReplyParser::parse(data, n, m_entry);
    if (!ok)
        return;
    noteAnswer();
    // An `I` reply can only come from a Steam-era server; an `m` reply answers either dialect's
    // info request, so it settles the dialect that was asked (and nothing while both were).
    if (steamLayout) {
        m_steamExtras = extras;
        settleDialect(QueryDialect::Steam);
    } else if (!m_askBoth) {
        settleDialect(m_dialect);
    }
    m_entry.infoValid = true;
    m_entry.infoTime = m_clock.nowMs1601();
    ++m_counts.info;
}

void ServerQuery::onRulesReply(const std::uint8_t* data, std::size_t n) {
    if (!RulesReplyParser::parse(data, n, m_entry))
        return;
    noteAnswer();
    if (!m_askBoth)
        settleDialect(m_dialect);
    m_entry.rulesValid = true;
    m_entry.rulesTime = m_clock.nowMs1601();
    ++m_counts.rules;
}

void ServerQuery::onPlayersReply(const std::uint8_t* data, std::size_t n) {
    std::vector<PlayerRecord> players;
    bool zeroIndex = m_askBoth || m_dialect == QueryDialect::Steam;
    if (!PlayersReplyParser::parse(data, n, players, zeroIndex))
        return;
    noteAnswer();
    if (!m_askBoth)
        settleDialect(m_dialect);
    std::int64_t now = m_clock.nowMs1601();
    // Written as a subtraction: playersTime may come from a list file and be anything.
    if (m_entry.playersTime >= now - staleAfterMs(RequestSlot::Players))
        PlayersReplyParser::carryOver(m_entry.playerList, players, m_clock.tickMs());
    m_entry.playerList = std::move(players);
    m_entry.playersTime = now;
    ++m_counts.players;
}

void ServerQuery::onRconChallenge(const std::uint8_t* data, std::size_t n) {
    auto number = ChallengeParser::rconChallenge(data, n);
    if (number && *number != 0)
        m_entry.rconChallenge = *number;
}

void ServerQuery::onSteamChallenge(const std::uint8_t* data, std::size_t n) {
    // Only a Steam request is answered with a challenge; anything else sending `A` is ignored.
    if (m_askBoth)
        settleDialect(QueryDialect::Steam);
    if (m_dialect != QueryDialect::Steam)
        return;
    auto challenge = ChallengeParser::steamChallenge(data, n);
    if (!challenge)
        return;
    m_steamChallenge = *challenge;
    auto mayResend = [this](RequestSlot slot) {
        auto& count = m_challengeResends[slot];
        if (m_awaitingSince[slot] == 0 || count >= kMaxChallengeResends)
            return false;
        ++count;
        return true;
    };
    // Every awaited request that was not sent with this number goes out again at once. The reply
    // does not tell which request it answers, but the number is the server's for this client.
    if ((!m_infoSentWithChallenge || m_infoSentChallenge != m_steamChallenge) &&
        mayResend(RequestSlot::Details)) {
        m_infoNeedsChallenge = true;
        sendSteamInfo();
    }
    if (m_rulesSentChallenge != m_steamChallenge && mayResend(RequestSlot::Rules))
        sendSteamChallenged(RequestSlot::Rules);
    if (m_playersSentChallenge != m_steamChallenge && mayResend(RequestSlot::Players))
        sendSteamChallenged(RequestSlot::Players);
}

// ---------------------------------------------------------------------------------------------
// The server

void ServerQuery::replaceEntry(const ServerEntry& entry) {
    m_entry = entry;
    m_awaitingSince.fill(0);
    m_pingWaitSince = 0;
}

void ServerQuery::retarget(const ServerEntry& entry) {
    m_entry = entry;
    startOver();
    watch();
}

void ServerQuery::startOver() {
    m_fragments.clear();
    m_detailsMisses = 0;
    m_detailsSent = false;
    m_pingWaitSince = 0;
    m_everAnswered = false;
    m_blockNoted = false;
    m_missesSinceAnswer.fill(0);
    m_answeringSince.reset();
    m_firstMissSentAt.reset();
    m_askBoth = false;
    m_dialect = m_knowledge.dialect(m_entry.address).value_or(QueryDialect::Legacy);
    m_steamChallenge = kNoChallenge;
    m_infoNeedsChallenge = false;
    m_infoSentWithChallenge = false;
    m_infoSentChallenge = kNoChallenge;
    m_rulesSentChallenge = kNoChallenge;
    m_playersSentChallenge = kNoChallenge;
    m_challengeResends.fill(0);
}

} // namespace ondel
