#pragma once

#include "query/FragmentReassembler.h"
#include "query/QueryDialect.h"
#include "serverlist/ServerEntry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace ondel {

class Clock;
class DatagramSender;
class ServerListSet;

// The query side of the program: the current server record, the once-a-second request cycle
// and the dispatch of every received datagram to the reply parsers.
//
// Every request is one out-of-band datagram (FF FF FF FF + payload) to the current server; a
// request kind is sent again only when its reply arrived or is overdue (2000 ms, ping 5000 ms).
// Replies are accepted only from the current server and only while their kind is awaited, so
// one request is answered by at most one reply. Long replies that a server splits into
// FE FF FF FF fragments are put together again before they are dispatched.
//
// A server is first asked with the legacy requests. When the details request goes unanswered
// twice, the engine tries the Steam requests in the same slots and keeps alternating until one
// of the two dialects answers; that dialect is then kept for the server for the rest of the run.
//
// The engine keeps references to clock, sender and lists, which must outlive it. Not thread-safe:
// everything is called on the GUI thread (the socket's notifications and the timer share it).
class QueryEngine {
public:
    // awaitingSince slots; 4 and 5 are spare and never set.
    static constexpr int kSlotPing = 0;
    static constexpr int kSlotRules = 1;
    static constexpr int kSlotDetails = 2;
    static constexpr int kSlotPlayers = 3;
    static constexpr int kSlotCount = 6;

    static constexpr std::uint32_t kRequestTimeoutMs = 2000;
    static constexpr std::uint32_t kPingTimeoutMs = 5000;
    static constexpr std::int32_t kPingTimeoutValue = 3000; // lastPing after a lost ping
    static constexpr std::size_t kMaxOutOfBandText = 1019;  // datagram fits in 1024 bytes
    static constexpr int kDetailsMissesBeforeSwitch = 2;

    // Replies accepted since construction, per kind (the command-line tool waits for them).
    struct ReplyCounts {
        std::uint64_t info = 0;
        std::uint64_t rules = 0;
        std::uint64_t players = 0;
        std::uint64_t ping = 0;
    };

    using PrintHandler = std::function<void(std::string_view text)>;

    QueryEngine(Clock& clock, DatagramSender& sender, ServerListSet& lists);

    // The request cycle, called once per timer tick (1000 ms): rolls the byte counters into the
    // per-second values, then sends ping, rules, details and players to the current server where
    // no reply is awaited or the awaited one is overdue. Sends nothing while the current server
    // has port 0, an empty host or a host without a '.'.
    void queryTick();

    // One received datagram with the sender's dotted IPv4 text and port. Counts n received
    // bytes whatever the datagram holds; dispatches accepted replies (see the class comment).
    void onDatagram(const std::uint8_t* data, std::size_t n, const std::string& senderHost,
                    int senderPort);

    // Sends FF FF FF FF + text + 00 to the current server. Refuses text over 1019 bytes. Adds the
    // datagram length to the sent bytes when the platform reports it sent; returns that report.
    bool sendOutOfBand(std::string_view text);

    // Makes a copy of entry the current server and the target of every request. When the current
    // list holds that server, the entry is stored there too (moving it to the front). When entry
    // is the same server as the current one, every awaitingSince slot is cleared; a change to a
    // different server leaves them as they are.
    void setCurrentServer(const ServerEntry& entry);
    const ServerEntry& currentServer() const { return m_current; }

    // Bytes sent and received during the last whole tick.
    std::int32_t sentPerSecond() const { return m_sentPerSecond; }
    std::int32_t receivedPerSecond() const { return m_receivedPerSecond; }

    // The receiver of printed text (`l` replies); one at a time (the remote console). The text
    // passed runs from after the type byte to the first 00 byte or the end of the datagram.
    void setPrintHandler(PrintHandler handler) { m_printHandler = std::move(handler); }
    void clearPrintHandler() { m_printHandler = nullptr; }

    // Called after every accepted info reply, once the record is stored in the current list.
    void setInfoReplyHook(std::function<void()> hook) { m_infoHook = std::move(hook); }

    // The tick at which the request of a slot was sent, 0 when none is awaited.
    std::uint32_t awaitingSince(int slot) const;
    // The dialect the current server is being asked in, and whether a reply has settled it.
    QueryDialect dialect() const { return m_dialect; }
    bool dialectSettled() const;
    const ReplyCounts& replyCounts() const { return m_counts; }

private:
    void dispatch(const std::uint8_t* data, std::size_t n);
    bool fromCurrentServer(const std::string& senderHost, int senderPort) const;
    bool hasQueryTarget() const;
    bool sendRaw(const std::uint8_t* data, std::size_t n);
    void sendRequest(int slot);
    void sendSteamInfo();
    void sendSteamChallenged(int slot);
    void settleDialect(QueryDialect dialect);

    void onInfoReply(const std::uint8_t* data, std::size_t n, bool steamLayout);
    void onRulesReply(const std::uint8_t* data, std::size_t n);
    void onPlayersReply(const std::uint8_t* data, std::size_t n);
    void onPingReply();
    void onPrintReply(const std::uint8_t* data, std::size_t n);
    void onRconChallenge(const std::uint8_t* data, std::size_t n);
    void onSteamChallenge(const std::uint8_t* data, std::size_t n);
    void startOverForNewServer();

    static void addSaturating(std::int32_t& counter, std::size_t n);

    Clock& m_clock;
    DatagramSender& m_sender;
    ServerListSet& m_lists;

    ServerEntry m_current;
    std::array<std::uint32_t, kSlotCount> m_awaitingSince{};
    std::int32_t m_sentBytes = 0;
    std::int32_t m_receivedBytes = 0;
    std::int32_t m_sentPerSecond = 0;
    std::int32_t m_receivedPerSecond = 0;
    PrintHandler m_printHandler;
    std::function<void()> m_infoHook;
    ReplyCounts m_counts;

    FragmentReassembler m_fragments;

    // Dialect of the current server, and what the run has learnt about others ("host:port").
    QueryDialect m_dialect = QueryDialect::Legacy;
    int m_detailsMisses = 0;
    bool m_detailsSentToCurrent = false;
    std::map<std::string, QueryDialect> m_settledDialects;

    // Steam challenge exchange of the current server. kNoChallenge (-1) asks for a number.
    static constexpr std::int32_t kNoChallenge = -1;
    std::int32_t m_steamChallenge = kNoChallenge;
    bool m_infoNeedsChallenge = false;
    std::int32_t m_infoSentChallenge = kNoChallenge;
    std::int32_t m_rulesSentChallenge = kNoChallenge;
    std::int32_t m_playersSentChallenge = kNoChallenge;
    bool m_infoSentWithChallenge = false;
    // Challenge resends per slot since the request was last sent by the cycle: a server that
    // answers every request with a fresh challenge must not drive an endless exchange.
    static constexpr int kMaxChallengeResends = 2;
    std::array<int, kSlotCount> m_challengeResends{};
};

} // namespace ondel
