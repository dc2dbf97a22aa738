// ondel-cli scan [FILE...|-] [--json] [--rules] [--timeout MS] [--concurrency N]: asks every
// server of a list file (.sl01 to .sl06) or of a text with one HOST:PORT a line, many at once,
// and prints each as soon as it is done.
#include "CliCommand.h"
#include "CliEventLoop.h"
#include "EntryJson.h"
#include "ServerInputs.h"

#include "browser/Scan.h"
#include "browser/ScanTargets.h"
#include "common/JsonWriter.h"
#include "common/Text.h"
#include "platform/SystemClock.h"
#include "platform/posix/PosixUdpSocket.h"
#include "query/DatagramRouter.h"
#include "query/QueryBudget.h"
#include "query/ServerKnowledge.h"
#include "serverlist/ListFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ondel::cli {

namespace {

constexpr const char* kUsage =
    "usage: ondel-cli scan [FILE...|-] [--json] [--rules] [--timeout MS] "
    "[--concurrency N]\n";
constexpr int kExitScanned = 0;
constexpr int kExitBadArguments = 1;
constexpr std::uint32_t kTickMs = 5;

int usageError(const std::string& why) {
    std::fprintf(stderr, "ondel-cli scan: %s\n%s", why.c_str(), kUsage);
    return kExitBadArguments;
}

bool parsePositive(const std::string& text, int high, int& out) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    int value = 0;
    text::parseLeadingInt(text, value);
    if (value <= 0 || value > high)
        return false;
    out = value;
    return true;
}

// Cut or pad to `width` characters (UTF-8 code points).
std::string column(const std::string& utf8, std::size_t width) {
    std::string out;
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t len = 1;
        auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0xF0)
            len = 4;
        else if (c >= 0xE0)
            len = 3;
        else if (c >= 0xC0)
            len = 2;
        if (chars == width)
            break;
        out.append(utf8, i, len);
        i += len;
        ++chars;
    }
    out.append(width - chars, ' ');
    return out;
}

std::string tableRow(const ScanResult& r) {
    const ServerEntry& e = r.entry;
    bool up = r.status == ScanResult::Status::Up;
    std::string players = up ? text::format("%d/%d", e.players, e.maxPlayers) : "-";
    std::string ping = up ? text::format("%d", r.pingMs) : "-";
    const char* dialect = up && r.dialect ? dialectName(*r.dialect) : up ? "?" : "timeout";
    return column(up ? shown(e.hostName) : "-", 32) + " " +
           column(shown(addressText(r.address)), 21) + " " + column(up ? shown(e.map) : "-", 16) +
           " " + text::format("%7s %5s ", players.c_str(), ping.c_str()) + dialect + "\n";
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

int runScan(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    bool json = false;
    ScanOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            json = true;
        } else if (arg == "--rules") {
            options.withRules = true;
        } else if (arg == "--timeout") {
            int ms = 0;
            if (i + 1 >= args.size() || !parsePositive(args[i + 1], 600000, ms))
                return usageError("--timeout needs a number of milliseconds from 1 to 600000");
            options.timeoutMs = static_cast<std::uint32_t>(ms);
            ++i;
        } else if (arg == "--concurrency") {
            if (i + 1 >= args.size() || !parsePositive(args[i + 1], 10000, options.concurrency))
                return usageError("--concurrency needs a number from 1 to 10000");
            ++i;
        } else if (arg != "-" && !arg.empty() && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty())
        files.push_back("-");
    // The retry comes after 40% of the time, so that its answer still has most of the rest.
    options.retryAfterMs = std::max<std::uint32_t>(1, options.timeoutMs * 2 / 5);

    ServerInputs inputs("scan");
    for (const auto& file : files)
        inputs.addFile(file);
    if (inputs.read() == 0)
        return kExitBadArguments; // nothing could be read; each input said why

    PosixUdpSocket socket;
    // Any free port will do: the program's own ones stay free for a running window.
    if (!socket.open(0)) {
        std::fprintf(stderr, "ondel-cli scan: Can't initialize socket!!!\n");
        return kExitBadArguments;
    }
    SystemClock clock;
    QueryBudget budget(clock);
    DatagramRouter router(socket, &budget);
    ServerKnowledge knowledge;
    Scan scan(clock, router, knowledge, options);
    CliEventLoop loop(socket, clock);
    socket.setReceiver([&](const std::uint8_t* data, std::size_t n, const std::string& host,
                           int port) { router.onDatagram(data, n, host, port); });

    std::size_t up = 0;
    bool first = true;
    if (json)
        writeOutput("[");
    else
        writeOutput(column("NAME", 32) + " " + column("ADDRESS", 21) + " " + column("MAP", 16) +
                    " PLAYERS  PING DIALECT\n");
    scan.setResultHandler([&](const ScanResult& r) {
        up += r.status == ScanResult::Status::Up;
        if (json) {
            writeOutput((first ? "\n" : ",\n") + jsonObject(r));
            first = false;
        } else {
            writeOutput(tableRow(r));
        }
    });
    scan.setFinishedHandler([&] { loop.exit(kExitScanned); });
    std::uint32_t started = clock.tickMs();
    scan.add(inputs.targets().addresses);
    if (scan.running()) {
        loop.every(kTickMs, [&] { scan.tick(); });
        loop.run();
    }
    const bool written = writeOutput(!json ? "" : first ? "]\n" : "\n]\n");
    std::fprintf(stderr, "ondel-cli scan: %zu servers, %zu up, %zu without answer, %u ms\n",
                 scan.total(), up, scan.total() - up, clock.tickMs() - started);
    return written ? kExitScanned : kExitBadArguments;
}

const CliCommand scanCommand("scan",
                             "scan [FILE...|-] [--json] [--rules] [--timeout MS] [--concurrency N]"
                             "   ask every server of a list at once",
                             &runScan);

} // namespace

} // namespace ondel::cli
