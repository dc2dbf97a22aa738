#pragma once

#include "query/QueryDialect.h"
#include "serverlist/ServerAddress.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace ondel {

// What the run has learnt about servers, per address ("host:port", each port its own server):
// the request dialect a server answers, and how much slower than usual it must be asked because
// it limits the queries it answers. One object per process, shared by the monitor, the remote
// console and the server browser's scan, so that what one of them learns the others use.
//
// The slowdown: a server that was answering and then stops answering every kind of request at
// once has gone quiet, and noteSilence() tells why. While Ondel stays within the stock limit
// (3 packets a second over 60 s) a first silence is an outage (a restart, a map change, a lost
// link) and changes nothing. The silence is the server's query limit when the rate explains it
// (more packets than the stock limit), when it repeats a silence of less than kRepeatWithinMs
// before, or when the server already limited us (the rate rose again and it went quiet again).
// A limit doubles the slowdown (halves the rate), or more when a repeat shows how little of the
// period the server answered, up to kMaxSlowdown. While the server answers again and no further
// limit is seen, noteAnswer() lowers the slowdown again by the factor kRaiseStep every
// kRaiseAfterMs, at first not below kSafetyMargin times the slowdown that was blocked; one
// period spent there and that block is forgotten, so a server whose limit was a passing one is
// asked as usual again.
//
// Plain data, no references. Not thread-safe: GUI thread (or ondel-cli's one thread).
class ServerKnowledge {
public:
    static constexpr double kMaxSlowdown = 5.0;
    static constexpr std::uint32_t kRaiseAfterMs = 120000;
    static constexpr double kRaiseStep = 0.8;
    static constexpr double kSafetyMargin = 1.25;
    static constexpr std::size_t kStockLimitPackets = 180; // 3 a second over 60 s
    static constexpr std::uint32_t kRepeatWithinMs = 90000;

    enum class Silence { Outage, Limit };

    std::optional<QueryDialect> dialect(const ServerAddress& server) const;
    void setDialect(const ServerAddress& server, QueryDialect dialect);

    // Factor by which the query intervals for this server are stretched; 1 when it never
    // blocked us.
    double slowdown(const ServerAddress& server) const;
    bool limitsQueries(const ServerAddress& server) const { return slowdown(server) > 1.0; }
    // The server, which was answering, left everything unanswered; seen at tick nowMs.
    // sentLastMinute: packets sent to it within the last 60 s; answeredForMs: how long it had
    // been answering since it last came back (0 when unknown). Returns what the silence is taken
    // for; a Limit has lowered the rate (see the class comment).
    Silence noteSilence(const ServerAddress& server, std::uint32_t nowMs,
                        std::size_t sentLastMinute, std::uint32_t answeredForMs);
    // A limit was seen at tick nowMs: the rate is divided by factor (at least 2).
    void noteBlock(const ServerAddress& server, std::uint32_t nowMs, double factor = 2.0);
    // The server answered at tick nowMs: the rate goes up a step when it is due.
    void noteAnswer(const ServerAddress& server, std::uint32_t nowMs);

private:
    struct Facts {
        std::optional<QueryDialect> dialect;
        double slowdown = 1.0;
        double blockedAt = 0.0; // the slowdown at the last block; 0 before any
        std::uint32_t changedAt = 0;
        std::optional<std::uint32_t> silenceAt; // the last silence, outage or limit
    };
    const Facts* find(const ServerAddress& server) const;

    std::map<std::string, Facts> m_facts;
};

} // namespace ondel
