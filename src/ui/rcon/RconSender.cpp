#include "RconSender.h"

#include "rcon/RconProtocol.h"
#include "ui/toolkit/StringTable.h"
#include "ui/toolkit/UiPrompt.h"

namespace ondel {

RconSender::RconSender(RconSession& session, QWidget* promptParent)
    : m_session(session), m_promptParent(promptParent) {}

RconSender::~RconSender() = default;

RconSession::SendResult RconSender::send(const std::string& password, const std::string& command,
                                         bool oldProtocol) {
    RconSession::SendResult result = m_session.send(password, command, oldProtocol);
    if (result == RconSession::SendResult::PasswordRefused && confirmRefusedPassword()) {
        m_session.allowRefusedPassword();
        result = m_session.send(password, command, oldProtocol);
    }
    return result;
}

std::string RconSender::messageFor(RconSession::SendResult result) {
    switch (result) {
    case RconSession::SendResult::Sent:
        return {};
    case RconSession::SendResult::NoChallenge:
        return loadString(1058).value_or(std::string());
    case RconSession::SendResult::PasswordRefused:
        return std::string(rcon::kRefusedMessage);
    case RconSession::SendResult::Held:
        return std::string(rcon::kHeldMessage);
    case RconSession::SendResult::SendFailed:
        return std::string(rcon::kSendFailedMessage);
    case RconSession::SendResult::TooLong:
        return std::string(rcon::kTooLongMessage);
    }
    return {};
}

std::string RconSender::takeRefusalNotice() {
    if (m_session.refusalCount() == m_refusalsShown)
        return {};
    m_refusalsShown = m_session.refusalCount();
    return std::string(rcon::kRefusedMessage);
}

bool RconSender::confirmRefusedPassword() {
    if (m_prompt == nullptr) {
        m_ownPrompt = std::make_unique<UiPrompt>(m_promptParent);
        m_prompt = m_ownPrompt.get();
    }
    const std::string question =
        "The server refused this rcon password. Many servers ban an address after 5 refused "
        "passwords within 30 s, some of them for good.\n\nSend with the same password again?";
    return m_prompt->message("Rcon Console", question, Prompt::Buttons::YesNoDefaultNo,
                             Prompt::Icon::Warning) == Prompt::Answer::Yes;
}

} // namespace ondel
