#include "query/QueryEngine.h"

#include "common/ByteReader.h"
#include "common/ByteWriter.h"
#include "common/Clock.h"
#include "query/ChallengeParser.h"
#include "query/DatagramSender.h"
#include "query/InfoReplyParser.h"
#include "query/PlayersReplyParser.h"
#include "query/QueryProtocol.h"
#include "query/RulesReplyParser.h"
#include "query/SteamInfoParser.h"
#include "serverlist/ServerListSet.h"

#include <limits>

namespace ondel {

namespace {
// The request table: slot and legacy request word, in sending order.
struct RequestRow {
    int slot;
    const char* word;
};
constexpr RequestRow kRequests[] = {
    {QueryEngine::kSlotRules, protocol::kRulesRequest},
    {QueryEngine::kSlotDetails, protocol::kDetailsRequest},
    {QueryEngine::kSlotPlayers, protocol::kPlayersRequest},
};

constexpr std::int64_t kPlayerCarryOverMs = 5000;

bool isDottedText(const std::string& host) {
    for (char c : host)
        if (c != '.' && (c < '0' || c > '9'))
            return false;
    return !host.empty();
}

std::string dialectKey(const ServerAddress& a) {
    return addressText(a);
}
} // namespace

QueryEngine::QueryEngine(Clock& clock, DatagramSender& sender, ServerListSet& lists)
    : m_clock(clock), m_sender(sender), m_lists(lists) {}

std::uint32_t QueryEngine::awaitingSince(int slot) const {
    if (slot < 0 || slot >= kSlotCount)
        return 0;
    return m_awaitingSince[static_cast<std::size_t>(slot)];
}

bool QueryEngine::dialectSettled() const {
    return m_settledDialects.contains(dialectKey(m_current.address));
}

void QueryEngine::addSaturating(std::int32_t& counter, std::size_t n) {
    constexpr auto max = std::numeric_limits<std::int32_t>::max();
    if (n >= static_cast<std::size_t>(max - counter))
        counter = max;
    else
        counter += static_cast<std::int32_t>(n);
}

bool QueryEngine::hasQueryTarget() const {
    const auto& a = m_current.address;
    return a.port != 0 && !a.host.empty() && a.host.find('.') != std::string::npos;
}

// ---------------------------------------------------------------------------------------------
// Sending

bool QueryEngine::sendRaw(const std::uint8_t* data, std::size_t n) {
    const auto& a = m_current.address;
    if (a.host.empty() || a.port == 0)
        return false;
    bool sent = m_sender.sendDatagram(a.host, a.port, data, n);
    if (sent)
        addSaturating(m_sentBytes, n);
    return sent;
}

bool QueryEngine::sendOutOfBand(std::string_view text) {
    if (text.size() > kMaxOutOfBandText)
        return false;
    ByteWriter out;
    out.reserve(text.size() + 5);
    out.u32(protocol::kOutOfBand);
    out.bytes(text);
    out.u8(0);
    return sendRaw(out.data().data(), out.size());
}

void QueryEngine::sendSteamInfo() {
    ByteWriter out;
    out.u32(protocol::kOutOfBand);
    out.u8(protocol::kSteamInfoRequest);
    out.cString(protocol::kSteamInfoText);
    m_infoSentWithChallenge = m_infoNeedsChallenge;
    if (m_infoNeedsChallenge) {
        out.i32(m_steamChallenge);
        m_infoSentChallenge = m_steamChallenge;
    }
    sendRaw(out.data().data(), out.size());
}

void QueryEngine::sendSteamChallenged(int slot) {
    bool rules = slot == kSlotRules;
    ByteWriter out;
    out.u32(protocol::kOutOfBand);
    out.u8(rules ? protocol::kSteamRulesRequest : protocol::kSteamPlayersRequest);
    out.i32(m_steamChallenge);
    (rules ? m_rulesSentChallenge : m_playersSentChallenge) = m_steamChallenge;
    sendRaw(out.data().data(), out.size());
}

void QueryEngine::sendRequest(int slot) {
    m_challengeResends[static_cast<std::size_t>(slot)] = 0;
    if (slot == kSlotDetails)
        m_detailsSentToCurrent = true;
    if (m_dialect == QueryDialect::Legacy) {
        for (const auto& row : kRequests)
            if (row.slot == slot)
                sendOutOfBand(row.word);
        return;
    }
    if (slot == kSlotDetails)
        sendSteamInfo();
    else
        sendSteamChallenged(slot);
}

void QueryEngine::queryTick() {
    m_sentPerSecond = m_sentBytes;
    m_receivedPerSecond = m_receivedBytes;
    m_sentBytes = 0;
    m_receivedBytes = 0;
    m_fragments.expire(m_clock.tickMs());
    if (!hasQueryTarget())
        return;

    auto& slots = m_awaitingSince;
    std::uint32_t now = m_clock.tickMs();

    // A details request that went unanswered counts against the dialect it was asked in; after
    // two misses the other dialect gets its turn, until one of them answers.
    std::uint32_t detailsSent = slots[kSlotDetails];
    if (!dialectSettled() && m_detailsSentToCurrent && detailsSent != 0 &&
        now - detailsSent >= kRequestTimeoutMs) {
        if (++m_detailsMisses >= kDetailsMissesBeforeSwitch) {
            m_detailsMisses = 0;
            m_dialect =
                m_dialect == QueryDialect::Legacy ? QueryDialect::Steam : QueryDialect::Legacy;
        }
    }

    std::uint32_t pingSent = slots[kSlotPing];
    if (pingSent == 0 || now - pingSent >= kPingTimeoutMs) {
        sendOutOfBand(protocol::kPingRequest);
        if (pingSent != 0)
            m_current.lastPing = kPingTimeoutValue;
        slots[kSlotPing] = m_clock.tickMs();
    }

    for (const auto& row : kRequests) {
        auto& slot = slots[static_cast<std::size_t>(row.slot)];
        now = m_clock.tickMs();
        if (slot == 0 || now - slot >= kRequestTimeoutMs) {
            sendRequest(row.slot);
            slot = m_clock.tickMs();
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Receiving

bool QueryEngine::fromCurrentServer(const std::string& senderHost, int senderPort) const {
    const auto& a = m_current.address;
    if (senderPort != a.port || a.host.empty())
        return false;
    if (senderHost == a.host)
        return true;
    // A host typed as a name answers from the address it resolved to. Dotted text is compared
    // as it stands, so 010.0.0.1 never matches a reply from 10.0.0.1.
    if (isDottedText(a.host))
        return false;
    std::string resolved = m_sender.resolvedAddress(a.host);
    return !resolved.empty() && resolved == senderHost;
}

void QueryEngine::onDatagram(const std::uint8_t* data, std::size_t n, const std::string& senderHost,
                             int senderPort) {
    addSaturating(m_receivedBytes, n);
    ByteReader in(data, n);
    std::uint32_t header = in.u32();
    if (!in.ok() || (header != protocol::kOutOfBand && header != protocol::kSplit))
        return;
    if (!fromCurrentServer(senderHost, senderPort))
        return;
    if (header == protocol::kSplit) {
        auto whole = m_fragments.add(data, n, m_clock.tickMs());
        if (whole)
            dispatch(whole->data(), whole->size());
        return;
    }
    dispatch(data, n);
}

void QueryEngine::dispatch(const std::uint8_t* data, std::size_t n) {
    ByteReader in(data, n);
    // A reassembled reply must be whole too; fragments inside fragments are not taken.
    if (in.u32() != protocol::kOutOfBand)
        return;
    std::uint8_t type = in.u8();
    if (!in.ok())
        return;
    auto& slots = m_awaitingSince;

    if ((type == protocol::kInfoReply || type == protocol::kSteamInfoReply) &&
        slots[kSlotDetails]) {
        slots[kSlotDetails] = 0;
        onInfoReply(data, n, type == protocol::kSteamInfoReply);
    } else if (type == protocol::kRulesReply && slots[kSlotRules]) {
        slots[kSlotRules] = 0;
        onRulesReply(data, n);
    } else if (type == protocol::kPlayersReply && slots[kSlotPlayers]) {
        slots[kSlotPlayers] = 0;
        onPlayersReply(data, n);
    } else if (type == protocol::kPingReply && slots[kSlotPing]) {
        onPingReply();
    } else if (type == protocol::kPrintReply) {
        onPrintReply(data, n);
    } else if (type == protocol::kSteamChallengeReply) {
        onSteamChallenge(data, n);
    } else if (ChallengeParser::isRconChallenge(data, n)) {
        onRconChallenge(data, n);
    }
}

void QueryEngine::settleDialect(QueryDialect dialect) {
    m_dialect = dialect;
    m_detailsMisses = 0;
    m_settledDialects[dialectKey(m_current.address)] = dialect;
}

void QueryEngine::onInfoReply(const std::uint8_t* data, std::size_t n, bool steamLayout) {
    // An `I` reply can only come from a Steam-era server; an `m` reply answers either dialect's
    // info request, so it settles the dialect that was asked.
    settleDialect(steamLayout ? QueryDialect::Steam : m_dialect);
    bool ok = steamLayout ? SteamInfoParser::parse(data, n, m_current)
                          : InfoReplyParser::parse(data, n, m_current);
    if (!ok)
        return;
    m_current.infoValid = 1;
    m_current.infoTime = m_clock.nowMs1601();
    ++m_counts.info;
    if (!m_lists.empty())
        m_lists.current().storeEntry(m_current);
    if (m_infoHook)
        m_infoHook();
}

void QueryEngine::onRulesReply(const std::uint8_t* data, std::size_t n) {
    settleDialect(m_dialect);
    if (!RulesReplyParser::parse(data, n, m_current))
        return;
    m_current.rulesValid = 1;
    m_current.rulesTime = m_clock.nowMs1601();
    ++m_counts.rules;
}

void QueryEngine::onPlayersReply(const std::uint8_t* data, std::size_t n) {
    settleDialect(m_dialect);
    std::vector<PlayerRecord> players;
    if (!PlayersReplyParser::parse(data, n, players, m_dialect == QueryDialect::Steam))
        return;
    std::int64_t now = m_clock.nowMs1601();
    // Written as a subtraction: playersTime may come from a list file and be anything.
    if (m_current.playersTime >= now - kPlayerCarryOverMs)
        PlayersReplyParser::carryOver(m_current.playerList, players, m_clock.tickMs());
    m_current.playerList = std::move(players);
    m_current.playersTime = now;
    ++m_counts.players;
}

void QueryEngine::onPingReply() {
    auto& sent = m_awaitingSince[kSlotPing];
    std::uint32_t rtt = m_clock.tickMs() - sent;
    sent = 0;
    m_current.lastPing = static_cast<std::int32_t>(rtt);
    float sample = static_cast<float>(rtt);
    if (m_current.averagePing == 0.0f)
        m_current.averagePing = sample;
    m_current.averagePing = (m_current.averagePing * 9.0f + sample) * 0.1f;
    ++m_counts.ping;
}

void QueryEngine::onPrintReply(const std::uint8_t* data, std::size_t n) {
    if (m_printHandler)
        m_printHandler(ChallengeParser::printText(data, n));
}

void QueryEngine::onRconChallenge(const std::uint8_t* data, std::size_t n) {
    auto number = ChallengeParser::rconChallenge(data, n);
    if (number && *number != 0)
        m_current.rconChallenge = *number;
}

void QueryEngine::onSteamChallenge(const std::uint8_t* data, std::size_t n) {
    // Only a Steam request is answered with a challenge; anything else sending `A` is ignored.
    if (m_dialect != QueryDialect::Steam)
        return;
    auto challenge = ChallengeParser::steamChallenge(data, n);
    if (!challenge)
        return;
    m_steamChallenge = *challenge;
    auto mayResend = [this](int slot) {
        auto& count = m_challengeResends[static_cast<std::size_t>(slot)];
        if (m_awaitingSince[static_cast<std::size_t>(slot)] == 0 || count >= kMaxChallengeResends)
            return false;
        ++count;
        return true;
    };
    // Every awaited request that was not sent with this number goes out again at once. The reply
    // does not tell which request it answers, but the number is the server's for this client.
    if ((!m_infoSentWithChallenge || m_infoSentChallenge != m_steamChallenge) &&
        mayResend(kSlotDetails)) {
        m_infoNeedsChallenge = true;
        sendSteamInfo();
    }
    if (m_rulesSentChallenge != m_steamChallenge && mayResend(kSlotRules))
        sendSteamChallenged(kSlotRules);
    if (m_playersSentChallenge != m_steamChallenge && mayResend(kSlotPlayers))
        sendSteamChallenged(kSlotPlayers);
}

// ---------------------------------------------------------------------------------------------
// The current server

void QueryEngine::setCurrentServer(const ServerEntry& entry) {
    bool same = isSameServer(m_current.address, entry.address);
    if (!m_lists.empty()) {
        ServerList& list = m_lists.current();
        if (list.find(entry.address) != -1)
            list.storeEntry(entry);
    }
    if (same)
        m_awaitingSince.fill(0);
    m_current = entry;
    if (!same)
        startOverForNewServer();
}

void QueryEngine::startOverForNewServer() {
    m_fragments.clear();
    m_detailsMisses = 0;
    m_detailsSentToCurrent = false;
    auto known = m_settledDialects.find(dialectKey(m_current.address));
    m_dialect = known != m_settledDialects.end() ? known->second : QueryDialect::Legacy;
    m_steamChallenge = kNoChallenge;
    m_infoNeedsChallenge = false;
    m_infoSentWithChallenge = false;
    m_infoSentChallenge = kNoChallenge;
    m_rulesSentChallenge = kNoChallenge;
    m_playersSentChallenge = kNoChallenge;
    m_challengeResends.fill(0);
}

} // namespace ondel
