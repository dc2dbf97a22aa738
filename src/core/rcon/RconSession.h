#pragma once

#include "RconPort.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ondel {

// The remote console's side of the RCON protocol for the current server: the challenge request,
// the command datagrams and the print handler's registration. The challenge number itself lives
// in the current server record (the engine stores it when the reply arrives), so it outlives a
// console and is still known when one is opened again for the same server.
//
// Guard against a ban: widely used servers ban an address (for good, by default) after 5 refused
// passwords within 30 s. Once the server answers "Bad rcon_password." to a command, the session
// sends nothing more with the password that command carried until another password is given or
// the user confirms (allowRefusedPassword); a later refusal blocks it again.
//
// Holds a reference to the port, which must outlive the session. The destructor clears the
// print handler, so no print reply ever reaches a destroyed console. GUI thread only.
class RconSession {
public:
    enum class SendResult {
        Sent,
        SendFailed,  // the platform did not send the datagram: show kSendFailedMessage
        Held,        // the packet budget had no room for it: show kHeldMessage, nothing sent
        NoChallenge, // new protocol without a number: the console says so (string 1058)
        TooLong,     // the text would not fit in one datagram: show kTooLongMessage, nothing sent
        PasswordRefused, // the server refused this password: nothing sent (see the class comment)
    };

    explicit RconSession(RconPort& port);
    ~RconSession();
    RconSession(const RconSession&) = delete;
    RconSession& operator=(const RconSession&) = delete;

    // Registers handler as the print receiver, then asks the server for a challenge number.
    // Every printed text passes the refusal check before it reaches handler, so a handler that
    // asks passwordRefused() sees the refusal it is given.
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
    const ServerEntry& server() const { return m_port.currentServer(); }

    // Whether the server refused the password of the last command and no send was allowed since.
    bool passwordRefused() const { return m_refused; }
    // How many refusals were noted since the session opened (a new one shows as a change).
    int refusalCount() const { return m_refusals; }
    // The user knows the risk: the refused password may be sent once more.
    void allowRefusedPassword() { m_refused = false; }
    // Whether a printed text is the server's refusal of a password.
    static bool isPasswordRefusal(std::string_view text);

private:
    void onPrint(std::string_view text);

    RconPort& m_port;
    RconPort::PrintHandler m_handler;
    bool m_open = false;
    bool m_commandSent = false; // a command went out since the last refusal was noted
    std::string m_lastPassword; // the password the last command carried
    bool m_refused = false;
    int m_refusals = 0;
    std::string m_refusedPassword;
};

} // namespace ondel
