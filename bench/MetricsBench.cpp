// Rendering /metrics of ondel-cli watch for 10,000 servers (run by hand:
// build/<dir>/bench/MetricsBench). Names carry quotes, backslashes, line feeds and Windows-1252
// bytes, as hostile servers send them.
#include "watch/PrometheusText.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace ondel;

namespace {

std::vector<ServerMetrics> servers(int count) {
    std::vector<ServerMetrics> all;
    all.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        ServerMetrics s;
        s.server = "10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." +
                   std::to_string(i % 256) + ":27015";
        s.up = i % 10 != 0;
        s.players = i % 17;
        s.maxPlayers = 32;
        s.bots = i % 3;
        s.pingMs = 20 + i % 80;
        s.name = "\"Best\" \\ server #" + std::to_string(i) + "\n| de_dust2 24/7 \xE9t\xE9 \x01";
        s.map = "de_dust2";
        s.game = "Counter-Strike";
        s.dialect = i % 5 ? "legacy" : "steam";
        all.push_back(std::move(s));
    }
    return all;
}

void renderMetrics(benchmark::State& state) {
    const auto all = servers(static_cast<int>(state.range(0)));
    WatchFigures figures;
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = prometheusText(all, figures);
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

} // namespace

BENCHMARK(renderMetrics)->Arg(200)->Arg(10000)->Unit(benchmark::kMillisecond);
