#pragma once

#include "RconPort.h"

#include <cstdint>
#include <string_view>

namespace ondel {

// The remote console's side of the RCON protocol for the current server: the challenge request,
// the command datagrams and the print handler's registration. The challenge number itself lives
// in the current server record (the engine stores it when the reply arrives), so it outlives a
// console and is still known when one is opened again for the same server.
//
// Holds a reference to the port, which must outlive the session. The destructor clears the
// print handler, so no print reply ever reaches a destroyed console. GUI thread only.
class RconSession {
public:
    enum class SendResult {
        Sent,
        SendFailed,  // the platform did not send the datagram (silent towards the user)
        NoChallenge, // new protocol without a number: the console says so (string 1058)
        TooLong,     // the text would not fit in one datagram: show kTooLongMessage, nothing sent
    };

    explicit RconSession(RconPort& port);
    ~RconSession();
    RconSession(const RconSession&) = delete;
    RconSession& operator=(const RconSession&) = delete;

    // Registers handler as the print receiver, then asks the server for a challenge number.
    void open(RconPort::PrintHandler handler);
    // Clears the print handler (also done by the destructor); idempotent.
    void close();
    bool isOpen() const { return m_open; }

    bool sendChallengeRequest();
    // Forgets the current number (the current server record is stored with 0) and asks anew.
    void requestNewChallenge();
    // The console's Send rule: without the old protocol a number must be known. The command
    // carries the number whenever one is known, whatever the protocol option says.
    SendResult send(std::string_view password, std::string_view command, bool oldProtocol);

    std::uint32_t challenge() const { return m_port.currentServer().rconChallenge; }

private:
    RconPort& m_port;
    bool m_open = false;
};

} // namespace ondel
