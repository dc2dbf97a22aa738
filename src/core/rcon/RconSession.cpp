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
    m_handler = std::move(handler);
    m_port.setPrintHandler([this](std::string_view text) { onPrint(text); });
    m_open = true;
    sendChallengeRequest();
}

void RconSession::close() {
    if (!m_open)
        return;
    m_port.clearPrintHandler();
    m_handler = nullptr;
    m_open = false;
}

bool RconSession::isPasswordRefusal(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    return start != std::string_view::npos &&
           text.substr(start).starts_with(rcon::kPasswordRefusal);
}

void RconSession::onPrint(std::string_view text) {
    // Only an answer to a command counts: the server says it once per refused command.
    if (m_commandSent && isPasswordRefusal(text)) {
        m_refused = true;
        ++m_refusals;
        m_refusedPassword = m_lastPassword;
        m_commandSent = false;
    }
    if (m_handler)
        m_handler(text);
}

bool RconSession::sendChallengeRequest() {
    return m_port.sendOutOfBand(rcon::kChallengeRequest) == RconPort::SendStatus::Sent;
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
    if (m_refused && password == m_refusedPassword)
        return SendResult::PasswordRefused;
    std::string text = rcon::commandText(number, password, command);
    // Nothing beyond one 1024-byte datagram goes out; a cut command could do something else on
    // the server than what was typed, so it is refused whole.
    if (text.size() > rcon::kMaxOutOfBandText)
        return SendResult::TooLong;
    switch (m_port.sendOutOfBand(text)) {
    case RconPort::SendStatus::Sent:
        break;
    case RconPort::SendStatus::Held:
        return SendResult::Held;
    case RconPort::SendStatus::Failed:
        return SendResult::SendFailed;
    }
    // Another password (or the confirmed one) goes out: a refusal now is about it.
    m_refused = false;
    m_lastPassword.assign(password);
    m_commandSent = true;
    return SendResult::Sent;
}

} // namespace ondel
