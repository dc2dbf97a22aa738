// ondel-cli scan [FILE...|-] [--json] [--rules] [--timeout MS] [--concurrency N] [--data-dir DIR]:
// asks every server of a list file (.sl01 to .sl06) or of a text with one HOST:PORT a line, many
// at once, and prints each as soon as it is done. Servers on the data folder's blocklist are not
// asked; servers whose answers look made up are marked; with a country database each
// server gets its country.
#include "CliCommand.h"
#include "CliData.h"
#include "CliSession.h"
#include "EntryJson.h"
#include "ServerInputs.h"

#include "browser/CountryLookup.h"
#include "browser/FakeServerRules.h"
#include "browser/Scan.h"
#include "browser/ScanTargets.h"
#include "common/JsonWriter.h"
#include "common/TerminalColumns.h"
#include "common/Text.h"
#include "settings/UserPaths.h"

#include <cstdio>

namespace ondel::cli {

namespace {

const CommandSyntax kSyntax{
    .name = "scan",
    .operands = "[FILE...|-]",
    .summary = "ask every server of a list at once",
    .options = {{"--json", "", "print one JSON array"},
                {"--rules", "", "ask for the rules too"},
                {"--timeout", "MS", "time each server gets (default 2500)", 1, 600000,
                 "a number of milliseconds from 1 to 600000"},
                {"--concurrency", "N", "how many servers are asked at once", 1, 10000},
                {"--data-dir", "DIR",
                 "the data folder with blocklist.txt (default: the window's)"}},
    .dashIsOperand = true,
};
constexpr std::uint32_t kTickMs = 5;

// What the scan made of one server beyond its answers.
struct Verdict {
    std::string blockedBy; // the blocklist entry that blocks it; empty: not blocked
    std::string madeUp;    // why its answers look made up; empty: they look real
    std::string country;   // two-letter code; empty: not known
};

std::string tableRow(const ScanResult& r, const Verdict& v) {
    const ServerEntry& e = r.entry;
    bool up = r.status == ScanResult::Status::Up && v.blockedBy.empty();
    std::string players = up ? text::format("%d/%d", e.players, e.maxPlayers) : "-";
    std::string ping = up ? text::format("%d", r.pingMs) : "-";
    const char* dialect = !v.blockedBy.empty() ? "blocked"
                          : up && r.dialect    ? dialectName(*r.dialect)
                          : up                 ? "?"
                                               : "timeout";
    std::string line = text::fitColumn(up ? shown(e.hostName) : "-", 32) + " " +
                       text::fitColumn(shown(addressText(r.address)), 21) + " " +
                       text::fitColumn(up ? shown(e.map) : "-", 16) + " " +
                       text::format("%7s %5s ", players.c_str(), ping.c_str()) + dialect;
    if (!v.country.empty())
        line += " " + v.country;
    if (!v.madeUp.empty())
        line += " suspect: " + v.madeUp;
    return line + "\n";
}

std::string jsonObject(const ScanResult& r, const Verdict& v) {
    JsonWriter json(false);
    writeEntryJson(json, r.entry, [&](JsonWriter& w) {
        w.key("status");
        w.value(!v.blockedBy.empty()                 ? "blocked"
                : r.status == ScanResult::Status::Up ? "up"
                                                     : "timeout");
        if (!v.blockedBy.empty()) {
            w.key("blockedBy");
            w.value(v.blockedBy);
        }
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
        if (!v.madeUp.empty()) {
            w.key("suspect");
            w.value(v.madeUp);
        }
        if (!v.country.empty()) {
            w.key("country");
            w.value(v.country);
        }
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
    std::string dataDir = args.text("--data-dir");
    if (dataDir.empty())
        dataDir = userDataFolder();
    const Blocklist blocklist = loadBlocklist(dataDir, "scan");
    const std::unique_ptr<CountryLookup> countries = openCountryLookup(dataDir, "scan");
    // Blocked addresses are settled here: not one packet goes to them.
    std::vector<ServerAddress> toAsk;
    std::vector<std::pair<ServerAddress, std::string>> blocked;
    for (const auto& address : inputs.targets().addresses) {
        if (auto entry = blocklist.blockingAddress(address))
            blocked.emplace_back(address, *entry);
        else
            toAsk.push_back(address);
    }

    CliSession session;
    if (!session.open(kSyntax))
        return kExitFailed;
    const Clock& clock = session.clock();
    Scan scan(clock, session.router(), session.knowledge(), options);
    CliEventLoop& loop = session.loop();

    std::size_t up = 0;
    std::size_t madeUpCount = 0;
    std::size_t nameBlocked = 0;
    bool first = true;
    if (json)
        writeOutput("[");
    else
        writeOutput(text::fitColumn("NAME", 32) + " " + text::fitColumn("ADDRESS", 21) + " " +
                    text::fitColumn("MAP", 16) + " PLAYERS  PING DIALECT\n");
    auto print = [&](const ScanResult& r, const Verdict& v) {
        if (json) {
            writeOutput((first ? "\n" : ",\n") + jsonObject(r, v));
            first = false;
        } else {
            writeOutput(tableRow(r, v));
        }
    };
    for (const auto& [address, entry] : blocked) {
        ScanResult r;
        r.address = address;
        r.entry.address = address;
        print(r, {entry, {}, countries ? countries->countryOf(address.host) : std::string()});
    }
    scan.setResultHandler([&](const ScanResult& r) {
        Verdict v;
        if (countries)
            v.country = countries->countryOf(r.address.host);
        if (r.status == ScanResult::Status::Up) {
            // A name is known only now: the server was asked once and is reported blocked.
            v.blockedBy = blocklist.blockingName(r.entry.hostName).value_or("");
            if (v.blockedBy.empty())
                v.madeUp = madeUpReason({&r.entry, r.gotPlayers, r.bots});
        }
        up += r.status == ScanResult::Status::Up && v.blockedBy.empty();
        madeUpCount += !v.madeUp.empty();
        nameBlocked += !v.blockedBy.empty();
        print(r, v);
    });
    scan.setFinishedHandler([&] { loop.exit(kExitOk); });
    std::uint32_t started = clock.tickMs();
    scan.add(toAsk);
    if (scan.running()) {
        loop.every(kTickMs, [&] { scan.tick(); });
        loop.run();
    }
    const bool written = writeOutput(!json ? "" : first ? "]\n" : "\n]\n");
    std::fprintf(stderr,
                 "ondel-cli scan: %zu servers, %zu up, %zu without answer, %zu blocked, %zu "
                 "suspect, %u ms\n",
                 scan.total() + blocked.size(), up, scan.total() - up - nameBlocked,
                 blocked.size() + nameBlocked, madeUpCount, clock.tickMs() - started);
    return written ? kExitOk : kExitFailed;
}

const CliCommand scanCommand(kSyntax, &runScan);

} // namespace

} // namespace ondel::cli
