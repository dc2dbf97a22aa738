#pragma once

#include "CliEventLoop.h"

#include "platform/SystemClock.h"
#include "platform/posix/PosixUdpSocket.h"
#include "query/DatagramRouter.h"
#include "query/QueryBudget.h"
#include "query/ServerKnowledge.h"

namespace ondel::cli {

struct CommandSyntax;

// What every command that talks to servers runs on: the socket on a free port of the system's
// choosing (the program's own ports stay free for a running window), the clock, the
// per-server packet budget, the router that every received datagram goes to, what is known
// about servers, and the event loop. Build one, check open(), put the command's query objects
// on router() and knowledge(), set timers on loop() and run().
class CliSession {
public:
    CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    // Opens the socket. On failure prints "ondel-cli NAME: Can't initialize socket!!!" and
    // returns false; the command then ends with kExitFailed.
    bool open(const CommandSyntax& syntax);

    Clock& clock() { return m_clock; }
    DatagramRouter& router() { return m_router; }
    ServerKnowledge& knowledge() { return m_knowledge; }
    CliEventLoop& loop() { return m_loop; }
    PosixUdpSocket& socket() { return m_socket; }
    // Runs the loop until a callback calls loop().exit(code); returns code.
    int run() { return m_loop.run(); }

private:
    PosixUdpSocket m_socket;
    SystemClock m_clock;
    QueryBudget m_budget{m_clock};
    DatagramRouter m_router{m_socket, &m_budget};
    ServerKnowledge m_knowledge;
    CliEventLoop m_loop{m_socket, m_clock};
};

} // namespace ondel::cli
