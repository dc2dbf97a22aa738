// The simulator's query answers on a real UDP socket: the legacy and Steam replies field by
// field, which dialect answers what, challenges, fragments, and the fault options.
#include "Replies.h"
#include "SimProcess.h"
#include "UdpProbe.h"

#include <gtest/gtest.h>

#include <set>

namespace ondel::hlsimtest {
namespace {

const Bytes kPingReply = {0xFF, 0xFF, 0xFF, 0xFF, 0x6A, 0x00};

Bytes infoRequest(std::optional<std::int32_t> challenge = std::nullopt) {
    Bytes request = oob("TSource Engine Query");
    if (challenge) {
        Bytes tail = oobWithInt('x', *challenge);
        request.insert(request.end(), tail.begin() + 5, tail.end());
    }
    return request;
}

TEST(HlsimQuery, PingIsAnsweredWithJWithOrWithoutTheTrailingNul) {
    for (const char* dialect : {"legacy", "steam", "both"}) {
        SimProcess sim;
        ASSERT_TRUE(sim.start({"--dialect", dialect})) << sim.error();
        UdpProbe probe;
        for (bool nul : {true, false}) {
            auto reply = probe.ask(sim.port(), oob("ping", nul));
            ASSERT_TRUE(reply) << dialect;
            EXPECT_EQ(*reply, kPingReply) << dialect << " nul=" << nul;
        }
    }
}

TEST(HlsimQuery, DetailsReplyCarriesEveryFieldAndEndsWithSecureAndBots) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--name",
                           "Ünïcode Name",
                           "--map",
                           "bounce",
                           "--game-dir",
                           "cstrike",
                           "--game-desc",
                           "Counter-Strike",
                           "--players",
                           "5",
                           "--bots",
                           "2",
                           "--max-players",
                           "20",
                           "--password",
                           "--os",
                           "w",
                           "--type",
                           "l",
                           "--secure"}))
        << sim.error();
    UdpProbe probe;
    for (bool nul : {true, false}) {
        auto reply = probe.ask(sim.port(), oob("details", nul));
        ASSERT_TRUE(reply);
        auto info = readLegacyInfo(*reply);
        ASSERT_TRUE(info) << "malformed m reply, nul=" << nul;
        EXPECT_EQ(info->address, "127.0.0.1:" + std::to_string(sim.port()));
        EXPECT_EQ(info->name, "Ünïcode Name");
        EXPECT_EQ(info->map, "bounce");
        EXPECT_EQ(info->gameDir, "cstrike");
        EXPECT_EQ(info->gameDesc, "Counter-Strike");
        EXPECT_EQ(info->players, 5);
        EXPECT_EQ(info->maxPlayers, 20);
        EXPECT_EQ(info->protocol, 47);
        EXPECT_EQ(info->type, 'l');
        EXPECT_EQ(info->os, 'w');
        EXPECT_EQ(info->password, 1);
        EXPECT_EQ(info->mod, 0);
        EXPECT_EQ(info->secure, 1);
        EXPECT_EQ(info->bots, 2);
    }
}

TEST(HlsimQuery, ModBlockHasThreeStringsAndTenBytesBeforeSecureAndBots) {
    SimProcess sim;
    ASSERT_TRUE(
        sim.start({"--mod", "--game-dir", "tfc", "--secure", "--players", "3", "--bots", "1"}))
        << sim.error();
    UdpProbe probe;
    auto reply = probe.ask(sim.port(), oob("details"));
    ASSERT_TRUE(reply);
    auto info = readLegacyInfo(*reply);
    ASSERT_TRUE(info) << "malformed m reply with mod block";
    EXPECT_EQ(info->mod, 1);
    EXPECT_FALSE(info->modInfoUrl.empty());
    EXPECT_FALSE(info->modDownloadUrl.empty());
    EXPECT_EQ(info->modSpare, "");
    EXPECT_EQ(info->modVersion, 1);
    EXPECT_GT(info->modSize, 0);
    EXPECT_EQ(info->secure, 1);
    EXPECT_EQ(info->bots, 1);
}

TEST(HlsimQuery, PlayersReplyListsGeneratedPlayersInIndexOrder) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--players", "7", "--seed", "11"})) << sim.error();
    UdpProbe probe;
    auto reply = probe.ask(sim.port(), oob("players"));
    ASSERT_TRUE(reply);
    auto players = readPlayers(*reply);
    ASSERT_TRUE(players) << "malformed D reply";
    ASSERT_EQ(players->size(), 7u);
    std::set<std::string> names;
    for (std::size_t i = 0; i < players->size(); ++i) {
        const auto& p = (*players)[i];
        EXPECT_EQ(p.index, static_cast<int>(i + 1));
        EXPECT_FALSE(p.name.empty());
        names.insert(p.name);
        EXPECT_GE(p.frags, 0);
        // Generated players were on the server before it started.
        EXPECT_GT(p.time, 1.0f);
    }
    EXPECT_EQ(names.size(), 7u) << "generated names must differ";
}

TEST(HlsimQuery, RulesReplyCountsItsPairsAndCarriesGivenRules) {
    SimProcess sim;
    ASSERT_TRUE(
        sim.start({"--rule", "admin_mod_version=2.50.60", "--rule", "reserve_slots=2", "--rule",
                   "mp_timelimit=20", "--rule", "sv_contact=a=b", "--rules-extra", "5"}))
        << sim.error();
    UdpProbe probe;
    auto reply = probe.ask(sim.port(), oob("rules"));
    ASSERT_TRUE(reply);
    auto rules = readRules(*reply);
    ASSERT_TRUE(rules) << "malformed E reply";
    EXPECT_EQ(rules->count, static_cast<int>(rules->pairs.size()));
    std::set<std::string> names;
    int extras = 0;
    for (const auto& [name, value] : rules->pairs) {
        EXPECT_TRUE(names.insert(name).second) << "rule listed twice: " << name;
        extras += name.starts_with("hlsim_extra_") ? 1 : 0;
    }
    EXPECT_EQ(extras, 5);
    EXPECT_EQ(rules->value("mp_timelimit"), "20");
    EXPECT_EQ(rules->value("admin_mod_version"), "2.50.60");
    EXPECT_EQ(rules->value("reserve_slots"), "2");
    EXPECT_EQ(rules->value("mp_friendlyfire"), "0");
    EXPECT_EQ(rules->value("sv_contact"), "a=b");
    auto left = rules->value("mp_timeleft");
    ASSERT_TRUE(left);
    int seconds = std::atoi(left->c_str());
    EXPECT_GT(seconds, 0);
    EXPECT_LE(seconds, 20 * 60) << "time left must follow the given time limit";
}

TEST(HlsimQuery, GivenTimeLeftIsReportedAsItIs) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--rule", "mp_timeleft=abc", "--rule", "mp_timelimit=0"}))
        << sim.error();
    UdpProbe probe;
    auto rules = readRules(probe.ask(sim.port(), oob("rules")).value_or(Bytes{}));
    ASSERT_TRUE(rules);
    EXPECT_EQ(rules->value("mp_timeleft"), "abc");
    EXPECT_EQ(rules->value("mp_timelimit"), "0");
}

// What each dialect answers. A request that goes unanswered is followed by a ping: the next
// datagram must then be the ping's answer (replies leave in order on loopback).
TEST(HlsimQuery, EachDialectAnswersOnlyItsOwnRequests) {
    struct Case {
        const char* dialect;
        Bytes request;
        int expectedType; // 0: no reply
    };
    const std::vector<Case> cases = {
        {"legacy", oob("details"), 'm'},
        {"legacy", oob("rules"), 'E'},
        {"legacy", oob("players"), 'D'},
        {"legacy", infoRequest(), 0},
        {"legacy", oobWithInt('U', -1), 0},
        {"legacy", oobWithInt('V', -1), 0},
        {"legacy", oob("challenge rcon\n"), 'c'},
        {"steam", oob("details"), 0},
        {"steam", oob("rules"), 0},
        {"steam", oob("players"), 0},
        {"steam", infoRequest(), 'I'},
        {"steam", oobWithInt('U', -1), 'A'},
        {"steam", oobWithInt('V', -1), 'A'},
        {"steam", oob("W", false), 'A'},
        {"steam", oob("challenge rcon\n"), 'c'},
        {"both", oob("details"), 'm'},
        {"both", infoRequest(), 'I'},
        {"both", oobWithInt('U', -1), 'A'},
        {"both", oob("detailsx"), 0},
        {"both", Bytes{0xFF, 0xFF, 0xFF}, 0},
        {"both", Bytes{0xFE, 0xFF, 0xFF, 0xFF, 'p', 'i', 'n', 'g', 0}, 0},
    };
    std::map<std::string, std::unique_ptr<SimProcess>> sims;
    for (const char* dialect : {"legacy", "steam", "both"}) {
        sims[dialect] = std::make_unique<SimProcess>();
        ASSERT_TRUE(sims[dialect]->start({"--dialect", dialect, "--players", "2"}));
    }
    UdpProbe probe;
    for (const auto& c : cases) {
        const int port = sims[c.dialect]->port();
        probe.send(port, c.request);
        probe.send(port, oob("ping"));
        auto first = probe.receiveWhole();
        ASSERT_TRUE(first) << c.dialect << " request " << asText(c.request, 4);
        if (c.expectedType == 0) {
            EXPECT_EQ(*first, kPingReply) << c.dialect << " answered " << asText(c.request, 4);
            continue;
        }
        ASSERT_GE(first->size(), 5u);
        if (c.expectedType == 'c') {
            EXPECT_TRUE(asText(*first, 4).starts_with("challenge rcon ")) << c.dialect;
        } else {
            EXPECT_EQ((*first)[4], c.expectedType) << c.dialect << " " << asText(c.request, 4);
        }
        EXPECT_EQ(probe.receiveWhole(), kPingReply);
    }
}

TEST(HlsimQuery, SteamInfoReplyCarriesEveryField) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--dialect", "steam",      "--name",   "Steam Box",   "--map",
                           "de_dust",   "--game-dir", "cstrike",  "--game-desc", "Counter-Strike",
                           "--players", "4",          "--bots",   "1",           "--max-players",
                           "10",        "--password", "--secure", "--os",        "w"}))
        << sim.error();
    UdpProbe probe;
    auto info = readSteamInfo(probe.ask(sim.port(), infoRequest()).value_or(Bytes{}));
    ASSERT_TRUE(info) << "malformed I reply";
    EXPECT_EQ(info->protocol, 48);
    EXPECT_EQ(info->name, "Steam Box");
    EXPECT_EQ(info->map, "de_dust");
    EXPECT_EQ(info->folder, "cstrike");
    EXPECT_EQ(info->game, "Counter-Strike");
    EXPECT_EQ(info->appId, 10);
    EXPECT_EQ(info->players, 4);
    EXPECT_EQ(info->maxPlayers, 10);
    EXPECT_EQ(info->bots, 1);
    EXPECT_EQ(info->type, 'd');
    EXPECT_EQ(info->environment, 'w');
    EXPECT_EQ(info->visibility, 1);
    EXPECT_EQ(info->vac, 1);
    EXPECT_EQ(info->version, "1.1.2.7/Stdio");
    EXPECT_EQ(info->extraFlags, 0x80);
    EXPECT_EQ(info->port, sim.port());
}

TEST(HlsimQuery, SteamInfoExtraFieldsFollowTheirFlags) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--dialect", "steam", "--info-extra"})) << sim.error();
    UdpProbe probe;
    auto info = readSteamInfo(probe.ask(sim.port(), infoRequest()).value_or(Bytes{}));
    ASSERT_TRUE(info) << "malformed I reply with extra fields";
    EXPECT_EQ(info->appId, 70);
    EXPECT_EQ(info->extraFlags, 0x80 | 0x10 | 0x20 | 0x01);
    EXPECT_EQ(info->port, sim.port());
    EXPECT_NE(info->steamId, 0u);
    EXPECT_FALSE(info->keywords.empty());
    EXPECT_EQ(info->gameId, 70u);
}

TEST(HlsimQuery, InfoChallengeMustBeSentBackBeforeTheInfoReply) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--dialect", "steam", "--info-challenge"})) << sim.error();
    UdpProbe probe;
    auto challenge = readChallenge(probe.ask(sim.port(), infoRequest()).value_or(Bytes{}));
    ASSERT_TRUE(challenge);
    auto wrong = probe.ask(sim.port(), infoRequest(static_cast<std::int32_t>(*challenge + 1)));
    ASSERT_TRUE(wrong);
    EXPECT_EQ(readChallenge(*wrong), challenge) << "a wrong challenge gets the number again";
    auto info = probe.ask(sim.port(), infoRequest(static_cast<std::int32_t>(*challenge)));
    ASSERT_TRUE(info);
    EXPECT_TRUE(readSteamInfo(*info));
}

TEST(HlsimQuery, InfoBothSendsAnMReplyAndAnIReply) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--dialect", "steam", "--info-both", "--name", "Twice"})) << sim.error();
    UdpProbe probe;
    probe.send(sim.port(), infoRequest());
    auto first = probe.receiveWhole();
    auto second = probe.receiveWhole();
    ASSERT_TRUE(first && second);
    auto legacy = readLegacyInfo(*first);
    auto steam = readSteamInfo(*second);
    ASSERT_TRUE(legacy && steam);
    EXPECT_EQ(legacy->name, "Twice");
    EXPECT_EQ(steam->name, "Twice");
}

// A2S_PLAYER and A2S_RULES: -1 or a wrong number gets the challenge; the right one gets the
// same D and E bodies as the legacy requests.
TEST(HlsimQuery, SteamPlayersAndRulesNeedTheChallengeAndMatchTheLegacyReplies) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--dialect", "both", "--players", "6", "--rules-extra", "3"}))
        << sim.error();
    UdpProbe probe;
    for (char type : {'U', 'V'}) {
        auto challenge =
            readChallenge(probe.ask(sim.port(), oobWithInt(type, -1)).value_or(Bytes{}));
        ASSERT_TRUE(challenge) << type;
        auto again =
            probe.ask(sim.port(), oobWithInt(type, static_cast<std::int32_t>(*challenge ^ 0x5A5A)));
        EXPECT_EQ(readChallenge(again.value_or(Bytes{})), challenge) << type;
        auto steam = probe.ask(sim.port(), oobWithInt(type, static_cast<std::int32_t>(*challenge)));
        auto legacy = probe.ask(sim.port(), oob(type == 'U' ? "players" : "rules"));
        ASSERT_TRUE(steam && legacy);
        if (type == 'U') {
            auto a = readPlayers(*steam);
            auto b = readPlayers(*legacy);
            ASSERT_TRUE(a && b);
            ASSERT_EQ(a->size(), 6u);
            ASSERT_EQ(a->size(), b->size());
            for (std::size_t i = 0; i < a->size(); ++i) {
                EXPECT_EQ((*a)[i].name, (*b)[i].name);
                EXPECT_EQ((*a)[i].frags, (*b)[i].frags);
            }
        } else {
            auto a = readRules(*steam);
            auto b = readRules(*legacy);
            ASSERT_TRUE(a && b);
            ASSERT_EQ(a->pairs.size(), b->pairs.size());
            for (std::size_t i = 0; i < a->pairs.size(); ++i)
                EXPECT_EQ(a->pairs[i].first, b->pairs[i].first);
        }
    }
}

TEST(HlsimQuery, LongRepliesArriveAsFragmentsThatRebuildTheWholeDatagram) {
    SimProcess sim;
    ASSERT_TRUE(sim.start(
        {"--dialect", "both", "--rules-extra", "300", "--split-size", "500", "--players", "3"}))
        << sim.error();
    UdpProbe probe;
    std::optional<std::uint32_t> previousSequence;
    for (int round = 0; round < 2; ++round) {
        probe.send(sim.port(), oob("rules"));
        std::map<int, Bytes> pieces;
        std::optional<std::uint32_t> sequence;
        int total = -1;
        while (total < 0 || static_cast<int>(pieces.size()) < total) {
            auto d = probe.receive();
            ASSERT_TRUE(d) << "fragment missing";
            ASSERT_GE(d->size(), 10u);
            ASSERT_LE(d->size(), 500u) << "fragment longer than the split size";
            ASSERT_EQ(Bytes(d->begin(), d->begin() + 4), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
            std::uint32_t seq = (*d)[4] | ((*d)[5] << 8) | ((*d)[6] << 16) |
                                (static_cast<std::uint32_t>((*d)[7]) << 24);
            if (sequence) {
                EXPECT_EQ(seq, *sequence) << "one reply, one sequence number";
            }
            sequence = seq;
            int number = (*d)[8] >> 4;
            int count = (*d)[8] & 0x0F;
            if (total >= 0) {
                EXPECT_EQ(count, total);
            }
            total = count;
            EXPECT_LT(number, total);
            EXPECT_TRUE(pieces.emplace(number, Bytes(d->begin() + 9, d->end())).second)
                << "fragment " << number << " sent twice";
        }
        ASSERT_GE(total, 2);
        Bytes whole;
        for (const auto& [number, piece] : pieces) {
            if (number + 1 < total) {
                EXPECT_EQ(piece.size(), 500u - 9u) << "only the last fragment may be short";
            }
            whole.insert(whole.end(), piece.begin(), piece.end());
        }
        auto rules = readRules(whole);
        ASSERT_TRUE(rules) << "the fragments do not rebuild an E reply";
        EXPECT_EQ(rules->count, static_cast<int>(rules->pairs.size()));
        EXPECT_GE(rules->pairs.size(), 300u);
        if (previousSequence) {
            EXPECT_GT(*sequence, *previousSequence) << "sequence numbers increase";
        }
        previousSequence = sequence;
    }
    // Short replies of the same server stay whole.
    EXPECT_EQ(probe.ask(sim.port(), oob("ping")), kPingReply);
    EXPECT_TRUE(readPlayers(probe.ask(sim.port(), oob("players")).value_or(Bytes{})));
}

TEST(HlsimQuery, ReplyNeedingMoreThanFifteenFragmentsIsNotSent) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--rules-extra", "300", "--split-size", "100"})) << sim.error();
    UdpProbe probe;
    probe.send(sim.port(), oob("rules"));
    probe.send(sim.port(), oob("ping"));
    EXPECT_EQ(probe.receive(), kPingReply);
}

TEST(HlsimQuery, WrongPortAnswersFromAnotherPort) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--wrong-port"})) << sim.error();
    UdpProbe probe;
    probe.send(sim.port(), oob("ping"));
    int from = 0;
    auto reply = probe.receive(10000, &from);
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, kPingReply);
    EXPECT_NE(from, sim.port());
    EXPECT_NE(from, 0);
}

TEST(HlsimQuery, FaultOptionsLoseDuplicateAndAddGarbage) {
    UdpProbe probe;
    {
        SimProcess sim;
        ASSERT_TRUE(sim.start({"--loss", "100"})) << sim.error();
        for (int i = 0; i < 3; ++i)
            probe.send(sim.port(), oob("ping"));
        EXPECT_TRUE(probe.drain(700).empty()) << "--loss 100 must drop every reply";
    }
    {
        SimProcess sim;
        ASSERT_TRUE(sim.start({"--duplicate", "100"})) << sim.error();
        probe.send(sim.port(), oob("ping"));
        auto all = probe.drain(700);
        ASSERT_EQ(all.size(), 2u);
        EXPECT_EQ(all[0], kPingReply);
        EXPECT_EQ(all[1], kPingReply);
    }
    {
        SimProcess sim;
        ASSERT_TRUE(sim.start({"--garbage", "100", "--seed", "3"})) << sim.error();
        for (int i = 0; i < 5; ++i)
            probe.send(sim.port(), oob("ping"));
        auto all = probe.drain(700);
        ASSERT_EQ(all.size(), 10u) << "one garbage datagram before each reply";
        int pings = 0;
        for (const auto& d : all)
            pings += d == kPingReply ? 1 : 0;
        EXPECT_EQ(pings, 5);
    }
    {
        SimProcess sim;
        ASSERT_TRUE(sim.start({"--delay", "200", "--loss", "0"})) << sim.error();
        EXPECT_EQ(probe.ask(sim.port(), oob("ping")), kPingReply) << "delayed, not lost";
    }
}

} // namespace
} // namespace ondel::hlsimtest
