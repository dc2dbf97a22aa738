#pragma once

#include "rcon/RconSession.h"

#include <memory>
#include <string>

class QWidget;

namespace ondel {

class Prompt;
class UiPrompt;

// The console's Send: a command goes out through the session, and after the server refused a
// password the same password goes out again only when the user confirms it in a question (many
// servers ban an address after a few refused passwords). Every result other than Sent has a line
// for the output that says why nothing went out. GUI thread only; the session must outlive it.
class RconSender {
public:
    // The question is shown over promptParent unless setPrompt() names another prompt.
    RconSender(RconSession& session, QWidget* promptParent);
    ~RconSender();
    RconSender(const RconSender&) = delete;
    RconSender& operator=(const RconSender&) = delete;

    // Where the password question goes (not owned; tests answer it). Default: a message box.
    void setPrompt(Prompt* prompt) { m_prompt = prompt; }

    RconSession::SendResult send(const std::string& password, const std::string& command,
                                 bool oldProtocol);
    // The output's line for a result other than Sent (empty for Sent).
    static std::string messageFor(RconSession::SendResult result);
    // Once after each refusal the session noted: the line that says why nothing more goes out
    // with that password; empty otherwise.
    std::string takeRefusalNotice();

private:
    bool confirmRefusedPassword();

    RconSession& m_session;
    QWidget* m_promptParent;
    Prompt* m_prompt = nullptr;
    std::unique_ptr<UiPrompt> m_ownPrompt;
    int m_refusalsShown = 0;
};

} // namespace ondel
