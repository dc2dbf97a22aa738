// ondel-cli query HOST:PORT [--json] [--timeout MS] [--interval MS]: the engine's own request
// cycle against one server until info, rules, players and a ping have been answered.
#include "CliCommand.h"
#include "CliSession.h"
#include "EntryJson.h"

#include "common/JsonWriter.h"
#include "common/Text.h"
#include "common/VisibleText.h"
#include "query/QueryEngine.h"
#include "serverlist/TargetAddress.h"

namespace ondel::cli {

namespace {

const CommandSyntax kSyntax{
    .name = "query",
    .operands = "HOST:PORT",
    .summary = "ask a server once",
    .options = {{"--json", "", "print one JSON object"},
                {"--timeout", "MS", "give up after MS milliseconds (default 10000)", 1, 999999999,
                 "a number of milliseconds above 0"},
                {"--interval", "MS", "time between two request rounds (default 1000)", 1, 999999999,
                 "a number of milliseconds above 0"}},
    .minOperands = 1,
    .maxOperands = 1,
    .missingOperand = "no server given",
    .surplusOperand = "only one server can be given",
};

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

int runQuery(const Arguments& args) {
    const std::string& target = args.operands().front();
    const bool json = args.has("--json");
    const auto timeoutMs = static_cast<std::uint32_t>(args.number("--timeout", 10000));
    const auto intervalMs = static_cast<std::uint32_t>(args.number("--interval", 1000));
    ServerAddress address = parseAddress(target);
    if (address.host.empty() || address.port == 0)
        return usageError(kSyntax, "not a server address: " + target);
    if (std::string refused = targetRefusal(address); !refused.empty())
        return usageError(kSyntax, refused);

    CliSession session;
    if (!session.open(kSyntax))
        return kExitFailed;
    QueryEngine engine(session.clock(), session.router(), session.knowledge());
    // One answer of each kind is all the tool waits for: every kind goes again at the next
    // cycle until it has been answered once (a lost reply is repeated after 2 s).
    engine.setSchedule({0, 0, 0, 0});
    CliEventLoop& loop = session.loop();
    constexpr int kAnswered = 0;
    constexpr int kTimedOut = 1;
    engine.setResultHandler([&](QueryEngine::Result, const ServerEntry&) {
        if (answeredAll(engine.replyCounts()))
            loop.exit(kAnswered);
    });
    ServerEntry entry;
    entry.address = address;
    engine.setCurrentServer(entry);

    loop.every(intervalMs, [&] { engine.queryTick(); });
    loop.after(timeoutMs, [&] { loop.exit(kTimedOut); });
    engine.queryTick(); // the first requests go out at once
    if (session.run() == kTimedOut)
        return failure(kSyntax,
                       text::format("no complete answer from %s within %u ms (missing: %s)",
                                    text::visible(addressText(address)).c_str(), timeoutMs,
                                    missingKinds(engine.replyCounts()).c_str()));

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
    return writeOutput(out) ? kExitOk : kExitFailed;
}

const CliCommand queryCommand(kSyntax, &runQuery);

} // namespace

} // namespace ondel::cli
