#pragma once

#include "query/DatagramRouter.h"
#include "query/FragmentReassembler.h"
#include "query/QueryDialect.h"
#include "query/SteamInfoParser.h"
#include "serverlist/ServerEntry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace ondel {

class Clock;
class ServerKnowledge;

// The kinds of request a server is asked; each has its own wait for a reply.
enum class RequestSlot { Ping, Rules, Details, Players };
inline constexpr RequestSlot kRequestSlots[] = {RequestSlot::Ping, RequestSlot::Rules,
                                                RequestSlot::Details, RequestSlot::Players};

// One value per request kind.
template <class T> class PerSlot {
public:
    T& operator[](RequestSlot slot) { return m_values[static_cast<std::size_t>(slot)]; }
    const T& operator[](RequestSlot slot) const { return m_values[static_cast<std::size_t>(slot)]; }
    void fill(const T& value) { m_values.fill(value); }

private:
    std::array<T, std::size(kRequestSlots)> m_values{};
};

// One server's query state: the requests awaited, the dialect it is asked in, its Steam
// challenge, its split replies in reassembly and its round trip. Every reply it accepts is
// written into its own ServerEntry (entry()).
//
// Two ways to run it, both driven by tick() (which sends; replies arrive through the router):
// - continuously (the monitor): tick() about once a second sends each kind of request when its
//   interval of the Schedule is up and no reply is awaited, or the awaited one is overdue;
// - once (a scan): askOnce() sends details and players (and rules when asked) at once, tick()
//   repeats the overdue ones, and the done handler reports Complete when all have been answered
//   or TimedOut when the time is up. A server whose dialect ServerKnowledge does not know yet is
//   asked in both dialects at once; its first unambiguous answer settles the dialect.
//
// Replies are taken only from the watched server and only while their kind is awaited, so one
// request is answered by at most one reply. A server is asked in the dialect ServerKnowledge
// holds for it; in continuous runs an unknown server is first asked with the legacy words, and
// after two unanswered details requests with the Steam ones, alternating until one answers.
// What is settled is written to ServerKnowledge.
//
// Every send goes through the router as query traffic: a send that the budget holds back is
// tried again at the next tick. In a continuous run with the polite schedule, a server that was
// answering and then leaves two details requests and another kind unanswered at once has gone
// quiet: ServerKnowledge::noteSilence tells an outage from its query limit, and the intervals
// stretch by the slowdown ServerKnowledge gives for the server.
//
// Holds references to clock, router and knowledge, which must outlive it; watches the router
// from construction to destruction. The reply and done handlers may not destroy the object,
// except the done handler, which is the last thing a delivery or tick does. Not thread-safe:
// GUI thread (or ondel-cli's thread).
class ServerQuery {
public:
    static constexpr std::uint32_t kRequestTimeoutMs = 2000;
    static constexpr std::uint32_t kPingTimeoutMs = 5000;
    static constexpr std::int32_t kPingTimeoutValue = 3000; // lastPing after a lost ping
    static constexpr int kDetailsMissesBeforeSwitch = 2;
    // A tick may come this much early and still send what is due (timers are not exact).
    static constexpr std::uint32_t kTickSlackMs = 250;

    // How often each kind is asked in a continuous run. An interval of 0 means "as soon as the
    // last one is answered" (at the next tick). pingMs 0: no "ping" request; the round trip of
    // details is the ping.
    struct Schedule {
        std::uint32_t detailsMs = 1000;
        std::uint32_t playersMs = 2000;
        std::uint32_t rulesMs = 10000;
        std::uint32_t pingMs = 0;
    };
    // Three requests and a ping every tick: the first stage's cycle.
    static Schedule everyTick() { return {0, 0, 0, 1000}; }
    // Details every second (also the ping), players every 2 s, rules every 10 s.
    static Schedule polite() { return {}; }

    enum class Reply { Info, Rules, Players, Ping };
    enum class Outcome { Complete, TimedOut };

    // Replies accepted since construction, per kind (the ping counts round trips measured).
    struct ReplyCounts {
        std::uint64_t info = 0;
        std::uint64_t rules = 0;
        std::uint64_t players = 0;
        std::uint64_t ping = 0;
    };

    using ReplyHandler = std::function<void(Reply kind)>;
    using PrintHandler = std::function<void(std::string_view text)>;
    using DoneHandler = std::function<void(Outcome outcome)>;

    ServerQuery(const Clock& clock, DatagramRouter& router, ServerKnowledge& knowledge,
                const ServerEntry& entry = {});
    ~ServerQuery();
    ServerQuery(const ServerQuery&) = delete;
    ServerQuery& operator=(const ServerQuery&) = delete;

    // --- Running ---------------------------------------------------------------------------
    void setSchedule(const Schedule& schedule) { m_schedule = schedule; }
    // Sends what is due (see the class comment) and drops stale fragments.
    void tick();
    // Starts a one-time query (see the class comment); sends at once. withRules: rules too.
    void askOnce(bool withRules, std::uint32_t timeoutMs, DoneHandler done);
    // How a one-time query repeats an unanswered request: after retryAfterMs, at most
    // maxRetries times per kind (-1: until the timeout). Default: every kRequestTimeoutMs.
    void setOnceRetry(std::uint32_t retryAfterMs, int maxRetries) {
        m_onceRetryAfterMs = retryAfterMs;
        m_onceMaxRetries = maxRetries;
    }

    // --- The server --------------------------------------------------------------------------
    const ServerEntry& entry() const { return m_entry; }
    // The same server with other data (the user's edits): a copy of entry becomes the record and
    // every awaited request is forgotten.
    void replaceEntry(const ServerEntry& entry);
    // Another server: a copy of entry becomes the record and the target; the dialect, challenge
    // and fragments start over. The awaited requests are kept (replies of those kinds from the
    // new server are taken).
    void retarget(const ServerEntry& entry);
    // Sends FF FF FF FF + payload to the server as traffic of the given kind.
    DatagramRouter::SendStatus sendRaw(const std::uint8_t* data, std::size_t n,
                                       DatagramRouter::Traffic traffic);

    void setReplyHandler(ReplyHandler handler) { m_replyHandler = std::move(handler); }
    // The receiver of printed text (`l` replies); without one they are dropped.
    void setPrintHandler(PrintHandler handler) { m_printHandler = std::move(handler); }

    // --- State ---------------------------------------------------------------------------------
    std::uint32_t awaitingSince(RequestSlot slot) const;
    QueryDialect dialect() const { return m_dialect; }
    bool dialectSettled() const;
    const ReplyCounts& replyCounts() const { return m_counts; }
    // What the last Steam info reply carried beyond the record (bots, app id...); empty until one
    // was read.
    const std::optional<SteamInfoExtras>& steamExtras() const { return m_steamExtras; }
    // The interval between details requests now, with the server's slowdown applied.
    std::uint32_t detailsIntervalMs() const;
    // How old a kind's data may be before it counts as stale: 5 s, or its interval now + 3 s
    // when that is longer (players' frag marks and selections carry over only within it).
    std::int64_t staleAfterMs(RequestSlot slot) const;

private:
    bool hasTarget() const;
    std::uint32_t intervalFor(RequestSlot slot) const;
    void tickContinuous(std::uint32_t now);
    void tickOnce(std::uint32_t now);
    void finishOnce(Outcome outcome);
    bool sendRequest(RequestSlot slot);
    bool sendLegacy(RequestSlot slot);
    bool sendSteamInfo();
    bool sendSteamChallenged(RequestSlot slot);
    bool sent(DatagramRouter::SendStatus status) const;
    void startOver();
    void watch();

    void onDatagram(const std::uint8_t* data, std::size_t n);
    void dispatch(const std::uint8_t* data, std::size_t n);
    void settleDialect(QueryDialect dialect);
    void noteAnswer();
    void onInfoReply(const std::uint8_t* data, std::size_t n, bool steamLayout);
    void onRulesReply(const std::uint8_t* data, std::size_t n);
    void onPlayersReply(const std::uint8_t* data, std::size_t n);
    void takePingSample(std::uint32_t rtt);
    void onRconChallenge(const std::uint8_t* data, std::size_t n);
    void onSteamChallenge(const std::uint8_t* data, std::size_t n);
    void reply(Reply kind);
    bool onceComplete() const;

    const Clock& m_clock;
    DatagramRouter& m_router;
    ServerKnowledge& m_knowledge;
    DatagramRouter::WatchId m_watch = 0;

    ServerEntry m_entry;
    Schedule m_schedule = everyTick();
    PerSlot<std::uint32_t> m_awaitingSince{};
    PerSlot<std::uint32_t> m_lastSent{};
    ReplyHandler m_replyHandler;
    PrintHandler m_printHandler;
    ReplyCounts m_counts;
    FragmentReassembler m_fragments;

    // The details round trip as the ping: the first unanswered details since the last answer.
    std::uint32_t m_pingWaitSince = 0;

    // Query limit: answers seen, and kinds left unanswered since the last answer.
    bool m_everAnswered = false;
    bool m_blockNoted = false;
    PerSlot<int> m_missesSinceAnswer{};
    std::optional<std::uint32_t> m_answeringSince;  // the first answer since the last silence
    std::optional<std::uint32_t> m_firstMissSentAt; // when the first unanswered request went

    // One-time run.
    bool m_once = false;
    bool m_onceRules = false;
    std::uint32_t m_onceStart = 0;
    std::uint32_t m_onceTimeoutMs = 0;
    PerSlot<bool> m_onceGot{};
    PerSlot<int> m_onceSends{};
    std::uint32_t m_onceRetryAfterMs = kRequestTimeoutMs;
    int m_onceMaxRetries = -1;
    std::optional<SteamInfoExtras> m_steamExtras;
    DoneHandler m_done;

    // Dialect: the one asked in; m_askBoth while a one-time run asks an unknown server both.
    QueryDialect m_dialect = QueryDialect::Legacy;
    bool m_askBoth = false;
    int m_detailsMisses = 0;
    bool m_detailsSent = false;

    // Steam challenge exchange. kNoChallenge (-1) asks for a number.
    static constexpr std::int32_t kNoChallenge = -1;
    std::int32_t m_steamChallenge = kNoChallenge;
    bool m_infoNeedsChallenge = false;
    std::int32_t m_infoSentChallenge = kNoChallenge;
    std::int32_t m_rulesSentChallenge = kNoChallenge;
    std::int32_t m_playersSentChallenge = kNoChallenge;
    bool m_infoSentWithChallenge = false;
    // Challenge resends per slot since the request was last sent by tick(): a server that
    // answers every request with a fresh challenge must not drive an endless exchange.
    static constexpr int kMaxChallengeResends = 2;
    PerSlot<int> m_challengeResends{};
};

} // namespace ondel
