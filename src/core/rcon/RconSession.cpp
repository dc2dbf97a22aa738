#include "RconSession.h"

#include "RconProtocol.h"

#include <utility>

namespace ondel {

RconSession::RconSession(RconPort& port) : m_port(port) {}

RconSession::~RconSession() {
    close();
}

void RconSession::open(RconPort::PrintHandler handler) {
    // The handler goes in before the request so that no early reply can be missed.
    m_port.setPrintHandler(std::move(handler));
    m_open = true;
    sendChallengeRequest();
}

void RconSession::close() {
    if (!m_open)
        return;
    m_port.clearPrintHandler();
    m_open = false;
}

bool RconSession::sendChallengeRequest() {
    return m_port.sendOutOfBand(rcon::kChallengeRequest);
}

void RconSession::requestNewChallenge() {
    ServerEntry entry = m_port.currentServer();
    entry.rconChallenge = 0;
    m_port.setCurrentServer(entry);
    sendChallengeRequest();
}

RconSession::SendResult RconSession::send(std::string_view password, std::string_view command,
                                          bool oldProtocol) {
    std::uint32_t number = challenge();
    if (!oldProtocol && number == 0)
        return SendResult::NoChallenge;
    std::string text = rcon::commandText(number, password, command);
    // Nothing beyond one 1024-byte datagram goes out; a cut command could do something else on
    // the server than what was typed, so it is refused whole.
    if (text.size() > rcon::kMaxOutOfBandText)
        return SendResult::TooLong;
    return m_port.sendOutOfBand(text) ? SendResult::Sent : SendResult::SendFailed;
}

} // namespace ondel
