// ondel-cli rcon HOST:PORT [--password-file FILE | --password PW] [--old-protocol] [--wait MS]
// [--total MS] COMMAND...: asks the server for a challenge number, sends the command and prints
// what the server prints back until it has been quiet for the wait time (or the total time is
// up). A refused password ends it at once with status 2: servers ban an address that keeps
// trying.
#include "CliCommand.h"
#include "CliSession.h"

#include "common/Text.h"
#include "common/VisibleText.h"
#include "query/QueryEngine.h"
#include "rcon/QueryEngineRconPort.h"
#include "rcon/RconProtocol.h"
#include "rcon/RconSession.h"
#include "serverlist/TargetAddress.h"
#include <cstdio>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ondel::cli {

namespace {

// Asked for by administrators' scripts: a refusal is told apart from a failed run.
constexpr int kExitRefused = 2;
constexpr std::size_t kMaxPasswordFileBytes = 64 * 1024;

const CommandSyntax kSyntax{
    .name = "rcon",
    .operands = "HOST:PORT",
    .summary = "run a server command",
    .options = {{"--password", "PW", "the server's RCON password (others see it in ps)", 1, 0,
                 "a value", true},
                {"--password-file", "FILE",
                 "the password: the first line of FILE, which only its "
                 "owner may read"},
                {"--old-protocol", "", "send without asking for a challenge number first"},
                {"--wait", "MS",
                 "how long the server must be quiet before the output ends "
                 "(default 2000)",
                 1, 999999999, "a number of milliseconds above 0"},
                {"--total", "MS",
                 "the longest the output may run; a server still printing then is cut off "
                 "(default 30000)",
                 1, 999999999, "a number of milliseconds above 0"}},
    .minOperands = 1,
    .maxOperands = 1,
    .missingOperand = "no server given",
    .restAfter = 1,
    .restName = "COMMAND...",
    .moreHelp = "Options may stand anywhere before the command; every word from the first other\n"
                "word on is part of the command, and -- ends the options. Without --password\n"
                "and --password-file the password comes from ONDEL_RCON_PASSWORD.\n",
};

// The first line of the file at path (without its line end) into password. A file that others
// than its owner may read is refused: the password would not be the user's secret.
bool readPasswordFile(const std::string& path, std::string& password, std::string& problem) {
    const std::string shown = text::toDisplayUtf8(path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        problem = shown + ": cannot be read: " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    std::string bytes;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = shown + ": not a file";
    } else if ((info.st_mode & (S_IRGRP | S_IROTH)) != 0) {
        problem =
            text::format("%s: others may read it (mode %03o); refused. Make it yours alone: "
                         "chmod 600 %s",
                         shown.c_str(), static_cast<unsigned>(info.st_mode & 0777), shown.c_str());
    } else {
        char buffer[4096];
        ssize_t got = 0;
        while (bytes.size() < kMaxPasswordFileBytes &&
               (got = ::read(fd, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, static_cast<std::size_t>(got));
        if (got < 0)
            problem = shown + ": cannot be read: " + std::strerror(errno);
    }
    ::close(fd);
    if (!problem.empty())
        return false;
    password = bytes.substr(0, bytes.find('\n'));
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    return true;
}

int runRcon(const Arguments& args) {
    const std::string& target = args.operands().front();
    const ServerAddress address = parseAddress(target);
    if (address.host.empty() || address.port == 0)
        return usageError(kSyntax, "not a server address: " + target);
    if (std::string refused = targetRefusal(address); !refused.empty())
        return usageError(kSyntax, refused);
    if (args.has("--password") && args.has("--password-file"))
        return usageError(kSyntax, "give --password or --password-file, not both");
    const char* fromEnvironment = std::getenv("ONDEL_RCON_PASSWORD");
    if (!args.has("--password") && !args.has("--password-file") && !fromEnvironment)
        return usageError(kSyntax, "no password given (--password-file FILE, ONDEL_RCON_PASSWORD "
                                   "or --password)");
    const std::string command = args.restText();
    if (command.empty())
        return usageError(kSyntax, "no command given");
    std::string password;
    if (args.has("--password")) {
        password = args.text("--password");
    } else if (args.has("--password-file")) {
        std::string problem;
        if (!readPasswordFile(args.text("--password-file"), password, problem))
            return failure(kSyntax, problem);
    } else {
        password = fromEnvironment;
    }
    const bool oldProtocol = args.has("--old-protocol");
    const auto waitMs = static_cast<std::uint32_t>(args.number("--wait", 2000));
    // A server that prints without end is cut off here.
    const auto totalMs = static_cast<std::uint32_t>(args.number("--total", 30000));

    CliSession cli;
    if (!cli.open(kSyntax))
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
    bool refused = false;

    ServerEntry entry;
    entry.address = address;
    engine.setCurrentServer(entry);
    session.open([&](std::string_view text) {
        std::string shown = text::visible(text, text::Lines::Keep);
        writeOutput(shown);
        if (!shown.empty())
            endsWithNewline = shown.back() == '\n';
        printedAnything = printedAnything || !shown.empty();
        lastPrint = clock.tickMs();
        if (session.passwordRefused() && !refused) {
            refused = true;
            loop.exit(0);
        }
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
        return failure(kSyntax, text::format("no rcon challenge number from %s within %u ms",
                                             text::visible(addressText(address)).c_str(), waitMs));

    switch (session.send(password, command, oldProtocol)) {
    case RconSession::SendResult::Sent:
        break;
    case RconSession::SendResult::TooLong:
        return failure(kSyntax, std::string(rcon::kTooLongMessage));
    case RconSession::SendResult::NoChallenge:     // handled above
    case RconSession::SendResult::PasswordRefused: // one command: nothing was refused before
    case RconSession::SendResult::Held:
    case RconSession::SendResult::SendFailed:
        return failure(kSyntax,
                       "the command could not be sent to " + text::visible(addressText(address)));
    }

    // The output ends when the server has been quiet for the wait time, or at the total cap.
    const std::uint32_t sentAt = clock.tickMs();
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
    if (refused) {
        failure(kSyntax, "the server refused the password; many servers ban an address after 5 "
                         "refused passwords within 30 s, so nothing more is sent");
        return kExitRefused;
    }
    if (cut)
        std::fprintf(stderr,
                     "ondel-cli rcon: output cut after %u ms: the server was still printing "
                     "(--total)\n",
                     totalMs);
    return written ? kExitOk : kExitFailed;
}

const CliCommand rconCommand(kSyntax, &runRcon);

} // namespace

} // namespace ondel::cli
