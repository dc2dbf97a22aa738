// ondel-cli rcon HOST:PORT --password PW [--old-protocol] [--wait MS] [--total MS] COMMAND...:
// asks the server for a challenge number, sends the command and prints what the server prints
// back until it has been quiet for the wait time (or the total time is up).
#include "CliCommand.h"
#include "CliEventLoop.h"

#include "common/Text.h"
#include "common/VisibleText.h"
#include "platform/SystemClock.h"
#include "platform/posix/PosixUdpSocket.h"
#include "query/DatagramRouter.h"
#include "query/QueryBudget.h"
#include "query/QueryEngine.h"
#include "query/ServerKnowledge.h"
#include "rcon/QueryEngineRconPort.h"
#include "rcon/RconProtocol.h"
#include "rcon/RconSession.h"
#include "serverlist/TargetAddress.h"

#include <cstdio>

namespace ondel::cli {

namespace {

constexpr const char* kUsage = "usage: ondel-cli rcon HOST:PORT --password PW [--old-protocol] "
                               "[--wait MS] [--total MS] COMMAND...\n";
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitNoChallenge = 2;
constexpr int kDefaultWaitMs = 2000;
constexpr int kDefaultTotalMs = 30000; // a server that prints without end is cut off here

int usageError(const std::string& why) {
    std::fprintf(stderr, "ondel-cli rcon: %s\n%s", why.c_str(), kUsage);
    return kExitFailed;
}

bool parseMs(const std::string& text, int& out) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    int value = 0;
    text::parseLeadingInt(text, value);
    if (value <= 0)
        return false;
    out = value;
    return true;
}

struct Arguments {
    ServerAddress address;
    std::string password;
    bool havePassword = false;
    bool oldProtocol = false;
    int waitMs = kDefaultWaitMs;
    int totalMs = kDefaultTotalMs;
    std::string command;
};

// Options may stand anywhere before the command; everything from the first other word on is
// the command (so a command may itself contain words starting with "-").
int parseArguments(const std::vector<std::string>& args, Arguments& out) {
    std::string target;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--password") {
            if (i + 1 >= args.size())
                return usageError("--password needs a value");
            out.password = args[++i];
            out.havePassword = true;
        } else if (arg == "--old-protocol") {
            out.oldProtocol = true;
        } else if (arg == "--wait") {
            if (i + 1 >= args.size() || !parseMs(args[i + 1], out.waitMs))
                return usageError("--wait needs a number of milliseconds above 0");
            ++i;
        } else if (arg == "--total") {
            if (i + 1 >= args.size() || !parseMs(args[i + 1], out.totalMs))
                return usageError("--total needs a number of milliseconds above 0");
            ++i;
        } else if (arg == "--") {
            ++i;
            break;
        } else if (!arg.empty() && arg[0] == '-' && target.empty()) {
            return usageError("unknown option " + arg);
        } else if (target.empty()) {
            target = arg;
        } else {
            break;
        }
    }
    for (std::size_t first = i; i < args.size(); ++i)
        out.command += (i > first ? " " : "") + args[i];
    if (target.empty())
        return usageError("no server given");
    out.address = parseAddress(target);
    if (out.address.host.empty() || out.address.port == 0)
        return usageError("not a server address: " + target);
    if (std::string refused = targetRefusal(out.address); !refused.empty())
        return usageError(refused);
    if (!out.havePassword)
        return usageError("no --password given");
    if (out.command.empty())
        return usageError("no command given");
    return kExitDone;
}

int runRcon(const std::vector<std::string>& args) {
    Arguments a;
    if (int status = parseArguments(args, a); status != kExitDone)
        return status;

    // Any free port will do: nothing here needs the program's fixed ones, and leaving them free
    // keeps them for a running window.
    PosixUdpSocket socket;
    if (!socket.open(0)) {
        std::fprintf(stderr, "ondel-cli rcon: Can't initialize socket!!!\n");
        return kExitFailed;
    }
    SystemClock clock;
    QueryBudget budget(clock);
    DatagramRouter router(socket, &budget);
    ServerKnowledge knowledge;
    QueryEngine engine(clock, router, knowledge);
    QueryEngineRconPort port(engine);
    RconSession session(port);

    CliEventLoop loop(socket, clock);
    constexpr std::uint32_t kPollMs = 10;
    const auto waitMs = static_cast<std::uint32_t>(a.waitMs);
    std::uint32_t lastPrint = clock.tickMs(); // the quiet time runs from the last print reply
    bool endsWithNewline = true;
    bool printedAnything = false;
    socket.setReceiver([&](const std::uint8_t* data, std::size_t n, const std::string& host,
                           int senderPort) { router.onDatagram(data, n, host, senderPort); });

    ServerEntry entry;
    entry.address = a.address;
    engine.setCurrentServer(entry);
    session.open([&](std::string_view text) {
        std::string shown = text::visible(text, text::Lines::Keep);
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

    if (session.challenge() == 0 && !a.oldProtocol) {
        std::fprintf(stderr, "ondel-cli rcon: no rcon challenge number from %s within %d ms\n",
                     text::visible(addressText(a.address)).c_str(), a.waitMs);
        return kExitNoChallenge;
    }

    switch (session.send(a.password, a.command, a.oldProtocol)) {
    case RconSession::SendResult::Sent:
        break;
    case RconSession::SendResult::TooLong:
        std::fprintf(stderr, "ondel-cli rcon: %.*s\n",
                     static_cast<int>(rcon::kTooLongMessage.size()), rcon::kTooLongMessage.data());
        return kExitFailed;
    case RconSession::SendResult::NoChallenge: // handled above
    case RconSession::SendResult::SendFailed:
        std::fprintf(stderr, "ondel-cli rcon: the command could not be sent to %s\n",
                     text::visible(addressText(a.address)).c_str());
        return kExitFailed;
    }

    // The output ends when the server has been quiet for the wait time, or at the total cap.
    const std::uint32_t sentAt = clock.tickMs();
    const auto totalMs = static_cast<std::uint32_t>(a.totalMs);
    bool cut = false;
    lastPrint = sentAt;
    loop.every(kPollMs, [&] {
        const std::uint32_t now = clock.tickMs();
        cut = now - sentAt >= totalMs && now - lastPrint < waitMs;
        if (cut || now - lastPrint >= waitMs)
            loop.exit(0);
    });
    loop.run();
    session.close();
    const bool written = writeOutput(printedAnything && !endsWithNewline ? "\n" : "");
    if (cut)
        std::fprintf(stderr,
                     "ondel-cli rcon: output cut after %d ms: the server was still printing "
                     "(--total)\n",
                     a.totalMs);
    return written ? kExitDone : kExitFailed;
}

const CliCommand rconCommand("rcon",
                             "rcon HOST:PORT --password PW [--old-protocol] [--wait MS] "
                             "[--total MS] COMMAND...   run a server command",
                             &runRcon);

} // namespace

} // namespace ondel::cli
