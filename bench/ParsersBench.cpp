// Time per reply of the reply parsers (run by hand: build/<dir>/bench/ParsersBench).
#include "common/ByteWriter.h"
#include "query/FragmentReassembler.h"
#include "query/InfoReplyParser.h"
#include "query/PlayersReplyParser.h"
#include "query/RulesReplyParser.h"
#include "query/SteamInfoParser.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace ondel;

namespace {

std::vector<std::uint8_t> infoReply() {
    ByteWriter w;
    w.u32(0xFFFFFFFFu);
    w.u8('m');
    for (const char* s : {"192.168.0.10:27015", "My Half-Life Server | de_dust2 all day",
                          "de_dust2", "cstrike", "Counter-Strike"})
        w.cString(s);
    for (int b : {12, 32, 47, int('d'), int('l'), 0, 1})
        w.u8(static_cast<std::uint8_t>(b));
    w.cString("http://mod.example/");
    w.cString("");
    w.bytes(std::string(10, '\0'));
    w.u8(1);
    w.u8(0);
    return w.take();
}

std::vector<std::uint8_t> steamInfoReply() {
    ByteWriter w;
    w.u32(0xFFFFFFFFu);
    w.u8('I');
    w.u8(48);
    for (const char* s : {"My Half-Life Server", "crossfire", "valve", "Half-Life"})
        w.cString(s);
    w.u16(70);
    for (int b : {12, 32, 2, int('d'), int('l'), 0, 1})
        w.u8(static_cast<std::uint8_t>(b));
    w.cString("1.1.2.7/Stdio");
    w.u8(0x80 | 0x10);
    w.u16(27015);
    w.u64(90071992547409920ULL);
    return w.take();
}

std::vector<std::uint8_t> rulesReply(int count) {
    ByteWriter w;
    w.u32(0xFFFFFFFFu);
    w.u8('E');
    w.u16(static_cast<std::uint16_t>(count));
    for (int i = 0; i < count; ++i) {
        w.cString(i == 0 ? std::string("mp_timelimit") : "sv_rule_" + std::to_string(i));
        w.cString(std::to_string(i * 7));
    }
    return w.take();
}

std::vector<std::uint8_t> playersReply(int count) {
    ByteWriter w;
    w.u32(0xFFFFFFFFu);
    w.u8('D');
    w.u8(static_cast<std::uint8_t>(count));
    for (int i = 1; i <= count; ++i) {
        w.u8(static_cast<std::uint8_t>(i));
        w.cString("Player number " + std::to_string(i));
        w.i32(i * 3);
        w.f32(123.4f * static_cast<float>(i));
    }
    return w.take();
}

void BM_InfoReply(benchmark::State& state) {
    auto bytes = infoReply();
    ServerEntry e;
    for (auto _ : state) {
        benchmark::DoNotOptimize(InfoReplyParser::parse(bytes.data(), bytes.size(), e));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InfoReply);

void BM_SteamInfoReply(benchmark::State& state) {
    auto bytes = steamInfoReply();
    ServerEntry e;
    for (auto _ : state) {
        benchmark::DoNotOptimize(SteamInfoParser::parse(bytes.data(), bytes.size(), e));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SteamInfoReply);

void BM_RulesReply(benchmark::State& state) {
    auto bytes = rulesReply(static_cast<int>(state.range(0)));
    ServerEntry e;
    for (auto _ : state) {
        benchmark::DoNotOptimize(RulesReplyParser::parse(bytes.data(), bytes.size(), e));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_RulesReply)->Arg(30)->Arg(200);

void BM_PlayersReply(benchmark::State& state) {
    auto bytes = playersReply(static_cast<int>(state.range(0)));
    std::vector<PlayerRecord> previous, players;
    PlayersReplyParser::parse(bytes.data(), bytes.size(), previous);
    for (auto _ : state) {
        PlayersReplyParser::parse(bytes.data(), bytes.size(), players);
        PlayersReplyParser::carryOver(previous, players, 1000);
        benchmark::DoNotOptimize(players.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PlayersReply)->Arg(16)->Arg(32);

void BM_Reassemble200Rules(benchmark::State& state) {
    auto whole = rulesReply(200);
    std::vector<std::vector<std::uint8_t>> parts;
    const std::size_t piece = 1391;
    std::size_t total = (whole.size() + piece - 1) / piece;
    for (std::size_t i = 0; i < total; ++i) {
        ByteWriter w;
        w.u32(0xFFFFFFFEu);
        w.i32(1);
        w.u8(static_cast<std::uint8_t>((i << 4) | total));
        std::size_t end = std::min(whole.size(), (i + 1) * piece);
        w.bytes(whole.data() + i * piece, end - i * piece);
        parts.push_back(w.take());
    }
    FragmentReassembler r;
    for (auto _ : state) {
        for (const auto& p : parts)
            benchmark::DoNotOptimize(r.add(p.data(), p.size(), 0));
    }
}
BENCHMARK(BM_Reassemble200Rules);

} // namespace
