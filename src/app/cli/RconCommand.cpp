// ondel-cli rcon HOST:PORT --password PW [--old-protocol] [--wait MS] COMMAND...: asks the server
// for a challenge number, sends the command and prints what the server prints back until it
// has been quiet for the wait time.
#include "CliCommand.h"
#include "CliSession.h"

#include "common/Text.h"
#include "query/QueryEngine.h"
#include "rcon/QueryEngineRconPort.h"
#include "rcon/RconProtocol.h"
#include "rcon/RconSession.h"

namespace ondel::cli {

namespace {

const CommandSpec kSpec{
    .name = "rcon",
    .operands = "HOST:PORT",
    .summary = "run a server command",
    .options = {{"--password", "PW", "the server's RCON password", 1, 0, "a value", true},
                {"--old-protocol", "", "send without asking for a challenge number first"},
                {"--wait", "MS",
                 "how long the server must be quiet before the output ends "
                 "(default 2000)",
                 1, 999999999, "a number of milliseconds above 0"}},
    .minOperands = 1,
    .maxOperands = 1,
    .missingOperand = "no server given",
    .restAfter = 1,
    .restName = "COMMAND...",
    .moreHelp = "Options may stand anywhere before the command; every word from the first other\n"
                "word on is part of the command, and -- ends the options.\n",
};

int runRcon(const Arguments& args) {
    const std::string& target = args.operands().front();
    const ServerAddress address = parseAddress(target);
    if (address.host.empty() || address.port == 0)
        return usageError(kSpec, "not a server address: " + target);
    if (!args.has("--password"))
        return usageError(kSpec, "no --password given");
    const std::string command = args.restText();
    if (command.empty())
        return usageError(kSpec, "no command given");
    const std::string password = args.text("--password");
    const bool oldProtocol = args.has("--old-protocol");
    const auto waitMs = static_cast<std::uint32_t>(args.number("--wait", 2000));

    CliSession cli;
    if (!cli.open(kSpec))
        return kExitFailed;
    QueryEngine engine(cli.clock(), cli.router(), cli.knowledge());
    QueryEngineRconPort port(engine);
    RconSession session(port);
    CliEventLoop& loop = cli.loop();
    const Clock& clock = cli.clock();
    constexpr std::uint32_t kPollMs = 10;
    std::uint32_t lastPrint = clock.tickMs(); // the quiet time runs from the last print reply
    bool endsWithNewline = true;
    bool printedAnything = false;

    ServerEntry entry;
    entry.address = address;
    engine.setCurrentServer(entry);
    session.open([&](std::string_view text) {
        std::string shown = text::toDisplayUtf8(text);
        writeOutput(shown);
        if (!shown.empty())
            endsWithNewline = shown.back() == '\n';
        printedAnything = printedAnything || !shown.empty();
        lastPrint = clock.tickMs();
    });

    // The challenge: wait for the number for up to the wait time. It arrives through the
    // engine's dispatch; look for it often.
    loop.after(waitMs, [&] { loop.exit(0); });
    loop.every(kPollMs, [&] {
        if (session.challenge() != 0)
            loop.exit(0);
    });
    loop.run();
    loop.clearTimers();

    if (session.challenge() == 0 && !oldProtocol)
        return failure(kSpec,
                       text::format("no rcon challenge number from %s within %u ms",
                                    text::toDisplayUtf8(addressText(address)).c_str(), waitMs));

    switch (session.send(password, command, oldProtocol)) {
    case RconSession::SendResult::Sent:
        break;
    case RconSession::SendResult::TooLong:
        return failure(kSpec, std::string(rcon::kTooLongMessage));
    case RconSession::SendResult::NoChallenge: // handled above
    case RconSession::SendResult::SendFailed:
        return failure(kSpec, "the command could not be sent to " +
                                  text::toDisplayUtf8(addressText(address)));
    }

    lastPrint = clock.tickMs();
    loop.every(kPollMs, [&] {
        if (clock.tickMs() - lastPrint >= waitMs)
            loop.exit(0);
    });
    loop.run();
    session.close();
    return writeOutput(printedAnything && !endsWithNewline ? "\n" : "") ? kExitOk : kExitFailed;
}

const CliCommand rconCommand(kSpec, &runRcon);

} // namespace

} // namespace ondel::cli
