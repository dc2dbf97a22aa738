// Saving and loading one large server list: 70,000 entries, each with 30 rules and 16 players
// (about 80 MB on disk). Goal: each under one second.
// Run: build/<dir>/bench/ListFilesBench --benchmark_repetitions=5
//          --benchmark_report_aggregates_only=true
// The file goes to $TMPDIR (or /tmp); saving includes flushing it to the disk.
#include "BigList.h"
#include "serverlist/ListFiles.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

using namespace ondel;

namespace {

constexpr int kEntries = 70000;

ServerList makeList(const std::string& path) {
    return bench::makeBigList(path, kEntries, true);
}

std::string benchPath() {
    return (std::filesystem::temp_directory_path() / "ondel-listfiles-bench.sl06").string();
}

const ServerList& bigList() {
    static const ServerList list = makeList(benchPath());
    return list;
}

void BM_SaveList(benchmark::State& state) {
    const ServerList& list = bigList();
    for (auto _ : state) {
        if (!writeList(list, list.filePath()))
            state.SkipWithError("writeList failed");
    }
    std::error_code ec;
    state.counters["fileMB"] =
        static_cast<double>(std::filesystem::file_size(list.filePath(), ec)) / 1e6;
}

void BM_LoadList(benchmark::State& state) {
    const ServerList& list = bigList();
    if (!writeList(list, list.filePath())) {
        state.SkipWithError("writeList failed");
        return;
    }
    for (auto _ : state) {
        ServerListSet set;
        if (!addList(set, list.filePath(), std::nullopt, std::nullopt, false) ||
            set.at(0).size() != static_cast<std::size_t>(kEntries))
            state.SkipWithError("addList failed");
        benchmark::DoNotOptimize(set);
    }
    std::remove(list.filePath().c_str());
}

} // namespace

BENCHMARK(BM_SaveList)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadList)->Unit(benchmark::kMillisecond)->UseRealTime();
