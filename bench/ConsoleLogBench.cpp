// The console's cost per new entry with a long history: appending one entry and rendering it
// (the incremental path) against rendering the whole history again.
// Run: build/<dir>/bench/ConsoleLogBench --benchmark_repetitions=20
//          --benchmark_report_aggregates_only=true
#include "rcon/ConsoleLog.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace ondel;

namespace {

constexpr int kHistory = 100000;

const std::vector<std::string>& samples() {
    static const std::vector<std::string> texts = {
        "og L 01/01/2014 - 01:25:17: Rcon: \"rcon 1146003691 \"pw\" status\" from "
        "\"31.29.29.89:57370\"\n",
        "og L 01/01/2014 - 01:25:18: \"Player<2><STEAM_0:1:234><CT>\" killed "
        "\"Bot<5><BOT><TERRORIST>\" with \"ak47\"\n",
        "hostname:  My Half-Life Server\nversion :  48/1.1.2.7/Stdio 7882 secure\n"
        "map     :  de_dust2 at: 0 x, 0 y, 0 z\nplayers :  12 active (16 max)\n",
        "Unknown command \"foo\"\n",
        "",
    };
    return texts;
}

ConsoleLog makeHistory(ConsoleOptions options) {
    ConsoleLog log;
    log.setOptions(options);
    for (int i = 0; i < kHistory; ++i)
        log.append(samples()[i % samples().size()], "01/01/14 01:25:17");
    log.render();
    return log;
}

void addOneEntry(benchmark::State& state) {
    ConsoleOptions options;
    options.convertLogMessages = state.range(0) != 0;
    ConsoleLog log = makeHistory(options);
    std::size_t i = 0;
    for (auto _ : state) {
        log.append(samples()[i++ % samples().size()], "01/01/14 01:25:18");
        auto update = log.render();
        benchmark::DoNotOptimize(update.text.data());
    }
    state.counters["entries"] = static_cast<double>(log.size());
}

void fullRebuild(benchmark::State& state) {
    ConsoleOptions options;
    options.convertLogMessages = state.range(0) != 0;
    ConsoleLog log = makeHistory(options);
    for (auto _ : state) {
        std::string text = ConsoleLog::renderAll(log.entries(), log.options());
        benchmark::DoNotOptimize(text.data());
    }
}

} // namespace

BENCHMARK(addOneEntry)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(fullRebuild)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
