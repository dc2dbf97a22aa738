// ondel-cli query HOST:PORT [--json] [--timeout MS] [--interval MS]: the engine's own request
// cycle against one server until info, rules, players and a ping have been answered.
#include "CliCommand.h"
#include "CliEventLoop.h"
#include "CliPrompt.h"
#include "EntryJson.h"

#include "common/JsonWriter.h"
#include "common/Text.h"
#include "common/VisibleText.h"
#include "platform/SystemClock.h"
#include "platform/posix/PosixUdpSocket.h"
#include "query/DatagramRouter.h"
#include "query/QueryBudget.h"
#include "query/QueryEngine.h"
#include "query/ServerKnowledge.h"
#include "serverlist/TargetAddress.h"

#include <cstdio>
#include <cstdlib>

namespace ondel::cli {

namespace {

constexpr const char* kUsage =
    "usage: ondel-cli query HOST:PORT [--json] [--timeout MS] [--interval MS]\n";
constexpr int kExitAnswered = 0;
constexpr int kExitBadArguments = 1;
constexpr int kExitTimedOut = 2;

bool parseMs(const std::string& text, int& out) {
    int value = 0;
    // Whole text, digits only: "10s" or "-1" are mistakes worth reporting.
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    text::parseLeadingInt(text, value);
    if (value <= 0)
        return false;
    out = value;
    return true;
}

int usageError(const char* why) {
    std::fprintf(stderr, "ondel-cli query: %s\n%s", why, kUsage);
    return kExitBadArguments;
}

bool answeredAll(const QueryEngine::ReplyCounts& c) {
    return c.info > 0 && c.rules > 0 && c.players > 0 && c.ping > 0;
}

std::string missingKinds(const QueryEngine::ReplyCounts& c) {
    std::string out;
    auto add = [&](std::uint64_t n, const char* name) {
        if (n == 0)
            out += out.empty() ? name : std::string(", ") + name;
    };
    add(c.info, "details");
    add(c.rules, "rules");
    add(c.players, "players");
    add(c.ping, "ping");
    return out;
}

int runQuery(const std::vector<std::string>& args) {
    std::string target;
    bool json = false;
    int timeoutMs = 10000;
    int intervalMs = 1000;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            json = true;
        } else if (arg == "--timeout" || arg == "--interval") {
            if (i + 1 >= args.size() ||
                !parseMs(args[i + 1], arg == "--timeout" ? timeoutMs : intervalMs))
                return usageError((arg + " needs a number of milliseconds above 0").c_str());
            ++i;
        } else if (!arg.empty() && arg[0] == '-') {
            return usageError(("unknown option " + arg).c_str());
        } else if (target.empty()) {
            target = arg;
        } else {
            return usageError("only one server can be given");
        }
    }
    if (target.empty())
        return usageError("no server given");
    ServerAddress address = parseAddress(target);
    if (address.host.empty() || address.port == 0)
        return usageError(("not a server address: " + target).c_str());
    if (std::string refused = targetRefusal(address); !refused.empty()) {
        std::fprintf(stderr, "ondel-cli query: %s\n", refused.c_str());
        return kExitBadArguments;
    }

    CliPrompt prompt;
    PosixUdpSocket socket;
    if (!socket.openFirstFree()) {
        prompt.message("Error", "Can't initialize socket!!!", Prompt::Buttons::Ok,
                       Prompt::Icon::Error);
        // The tool needs no fixed port (nothing launches a game from here): any free one will do.
        socket.open(0);
    }
    SystemClock clock;
    QueryBudget budget(clock);
    DatagramRouter router(socket, &budget);
    ServerKnowledge knowledge;
    QueryEngine engine(clock, router, knowledge);
    // One answer of each kind is all the tool waits for: every kind goes again at the next
    // cycle until it has been answered once (a lost reply is repeated after 2 s).
    engine.setSchedule({0, 0, 0, 0});

    CliEventLoop loop(socket, clock);
    socket.setReceiver(
        [&](const std::uint8_t* data, std::size_t n, const std::string& host, int port) {
            router.onDatagram(data, n, host, port);
            if (answeredAll(engine.replyCounts()))
                loop.exit(kExitAnswered);
        });
    ServerEntry entry;
    entry.address = address;
    engine.setCurrentServer(entry);

    loop.every(static_cast<std::uint32_t>(intervalMs), [&] { engine.queryTick(); });
    loop.after(static_cast<std::uint32_t>(timeoutMs), [&] { loop.exit(kExitTimedOut); });
    engine.queryTick(); // the first requests go out at once
    int status = loop.run();

    if (status == kExitTimedOut) {
        std::fprintf(stderr,
                     "ondel-cli query: no complete answer from %s within %d ms (missing: %s)\n",
                     text::visible(addressText(address)).c_str(), timeoutMs,
                     missingKinds(engine.replyCounts()).c_str());
        return kExitTimedOut;
    }

    const ServerEntry& result = engine.currentServer();
    const char* dialect = dialectName(engine.dialect());
    std::string out;
    if (json) {
        JsonWriter writer;
        writeEntryJson(writer, result, [&](JsonWriter& w) {
            w.key("dialect");
            w.value(dialect);
        });
        out = writer.text() + "\n";
    } else {
        out = entryText(result) + text::format("dialect: %s\n", dialect);
    }
    return writeOutput(out) ? kExitAnswered : kExitBadArguments;
}

const CliCommand
    queryCommand("query",
                 "query HOST:PORT [--json] [--timeout MS] [--interval MS]   ask a server once",
                 &runQuery);

} // namespace

} // namespace ondel::cli
