// Reading a Steam Web API server list of 100,000 servers, and adding it to a list
// (run by hand: build/bench/DiscoverBench).
#include "discover/Discovery.h"
#include "discover/SteamServerList.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace ondel;

namespace {

std::string bigReply(int servers) {
    std::string out = R"({"response":{"servers":[)";
    for (int i = 0; i < servers; ++i) {
        if (i)
            out += ',';
        std::string host = "10." + std::to_string(i / 65536) + "." +
                           std::to_string((i / 256) % 256) + "." + std::to_string(i % 256);
        // The fields Ondel reads, so that 100,000 servers fit under the 16 MiB cap (the API's
        // own replies, with every field, hold at most 10,000).
        out += R"({"addr":")" + host + R"(:27015","gameport":27015,"name":"Server )" +
               std::to_string(i) +
               R"( | de_dust2 24/7 \u00e9","gamedir":"cstrike",)"
               R"("players":5,"max_players":32,"map":"de_dust2","os":"l"})";
    }
    return out + "]}}";
}

void BM_ParseServerList(benchmark::State& state) {
    const std::string body = bigReply(static_cast<int>(state.range(0)));
    if (!parseServerListReply(body).ok) {
        state.SkipWithError("the reply is refused");
        return;
    }
    for (auto _ : state) {
        auto reply = parseServerListReply(body);
        benchmark::DoNotOptimize(reply.servers.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
    state.counters["servers"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ParseServerList)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_AddToList(benchmark::State& state) {
    auto reply = parseServerListReply(bigReply(static_cast<int>(state.range(0))));
    if (reply.servers.size() != static_cast<std::size_t>(state.range(0))) {
        state.SkipWithError("the reply is refused");
        return;
    }
    for (auto _ : state) {
        ServerList list("b.sl06", "b.sl06", "b");
        addNewServers(list, reply.servers);
        addNewServers(list, reply.servers); // the second pass finds only known servers
        benchmark::DoNotOptimize(list.entries().data());
    }
}
BENCHMARK(BM_AddToList)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
