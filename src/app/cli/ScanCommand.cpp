// ondel-cli scan [FILE...|-] [--json] [--rules] [--timeout MS] [--concurrency N]: asks every
// server of a list file (.sl01 to .sl06) or of a text with one HOST:PORT a line, many at once,
// and prints each as soon as it is done.
#include "CliCommand.h"
#include "CliSession.h"
#include "EntryJson.h"
#include "ServerInputs.h"

#include "browser/Scan.h"
#include "browser/ScanTargets.h"
#include "common/JsonWriter.h"
#include "common/TerminalColumns.h"
#include "common/Text.h"

#include <cstdio>

namespace ondel::cli {

namespace {

const CommandSpec kSpec{
    .name = "scan",
    .operands = "[FILE...|-]",
    .summary = "ask every server of a list at once",
    .options = {{"--json", "", "print one JSON array"},
                {"--rules", "", "ask for the rules too"},
                {"--timeout", "MS", "time each server gets (default 2500)", 1, 600000,
                 "a number of milliseconds from 1 to 600000"},
                {"--concurrency", "N", "how many servers are asked at once", 1, 10000}},
    .dashIsOperand = true,
};
constexpr std::uint32_t kTickMs = 5;

std::string tableRow(const ScanResult& r) {
    const ServerEntry& e = r.entry;
    bool up = r.status == ScanResult::Status::Up;
    std::string players = up ? text::format("%d/%d", e.players, e.maxPlayers) : "-";
    std::string ping = up ? text::format("%d", r.pingMs) : "-";
    const char* dialect = up && r.dialect ? dialectName(*r.dialect) : up ? "?" : "timeout";
    return text::fitColumn(up ? shown(e.hostName) : "-", 32) + " " +
           text::fitColumn(shown(addressText(r.address)), 21) + " " +
           text::fitColumn(up ? shown(e.map) : "-", 16) + " " +
           text::format("%7s %5s ", players.c_str(), ping.c_str()) + dialect + "\n";
}

std::string jsonObject(const ScanResult& r) {
    JsonWriter json(false);
    writeEntryJson(json, r.entry, [&](JsonWriter& w) {
        w.key("status");
        w.value(r.status == ScanResult::Status::Up ? "up" : "timeout");
        w.key("dialect");
        if (r.dialect)
            w.value(dialectName(*r.dialect));
        else
            w.null();
        w.key("bots");
        if (r.bots >= 0)
            w.value(r.bots);
        else
            w.null();
    });
    return json.text();
}

int runScan(const Arguments& args) {
    std::vector<std::string> files = args.operands();
    const bool json = args.has("--json");
    ScanOptions options;
    options.withRules = args.has("--rules");
    options.timeoutMs = static_cast<std::uint32_t>(args.number("--timeout", options.timeoutMs));
    options.concurrency = static_cast<int>(args.number("--concurrency", options.concurrency));
    if (files.empty())
        files.push_back("-");
    // The retry comes after 40% of the time, so that its answer still has most of the rest.
    options.retryAfterMs = std::max<std::uint32_t>(1, options.timeoutMs * 2 / 5);

    ServerInputs inputs("scan");
    for (const auto& file : files)
        inputs.addFile(file);
    if (inputs.read() == 0)
        return kExitFailed; // nothing could be read; each input said why

    CliSession session;
    if (!session.open(kSpec))
        return kExitFailed;
    const Clock& clock = session.clock();
    Scan scan(clock, session.router(), session.knowledge(), options);
    CliEventLoop& loop = session.loop();

    std::size_t up = 0;
    bool first = true;
    if (json)
        writeOutput("[");
    else
        writeOutput(text::fitColumn("NAME", 32) + " " + text::fitColumn("ADDRESS", 21) + " " +
                    text::fitColumn("MAP", 16) + " PLAYERS  PING DIALECT\n");
    scan.setResultHandler([&](const ScanResult& r) {
        up += r.status == ScanResult::Status::Up;
        if (json) {
            writeOutput((first ? "\n" : ",\n") + jsonObject(r));
            first = false;
        } else {
            writeOutput(tableRow(r));
        }
    });
    scan.setFinishedHandler([&] { loop.exit(kExitOk); });
    std::uint32_t started = clock.tickMs();
    scan.add(inputs.targets().addresses);
    if (scan.running()) {
        loop.every(kTickMs, [&] { scan.tick(); });
        loop.run();
    }
    const bool written = writeOutput(!json ? "" : first ? "]\n" : "\n]\n");
    std::fprintf(stderr, "ondel-cli scan: %zu servers, %zu up, %zu without answer, %u ms\n",
                 scan.total(), up, scan.total() - up, clock.tickMs() - started);
    return written ? kExitOk : kExitFailed;
}

const CliCommand scanCommand(kSpec, &runScan);

} // namespace

} // namespace ondel::cli
