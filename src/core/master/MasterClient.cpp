#include "MasterClient.h"

#include "HttpPoster.h"
#include "MasterReplyDecoder.h"
#include "settings/SettingsKeys.h"

namespace ondel {

MasterClient::MasterClient(HttpPoster& poster, SettingsStore& settings, MasterMessagePrompt& prompt)
    : m_poster(poster), m_settings(settings), m_prompt(prompt) {}

void MasterClient::run() {
    std::int32_t userId = probeUserId();
    if (stopRequested())
        return;
    exchange(encodeUserIdRequest(userId));
    if (stopRequested())
        return;
    exchange(encodeVersionRequest(kMasterVersionText));
}

std::int32_t MasterClient::probeUserId() {
    std::int32_t userId = settings::read(m_settings, settings::kMasterId);
    if (userId != 0)
        return userId;
    // The 1 stays until the master server assigns a number; a store that cannot keep it is
    // reported to the server as -1.
    settings::write(m_settings, settings::kMasterId, 1);
    if (settings::read(m_settings, settings::kMasterId) != 1)
        return -1;
    return 0;
}

void MasterClient::exchange(const std::vector<std::uint8_t>& body) {
    if (body.empty())
        return;
    MasterReplyDecoder decoder(
        [this](std::int32_t userId) {
            if (!stopRequested())
                settings::write(m_settings, settings::kMasterId, userId);
        },
        [this](const MasterMessage& message) { handleMessage(message); });
    // Failures of the HTTP layer end the exchange silently, as does any reply it cannot use.
    m_poster.post(kMasterPath, body, [&](const std::uint8_t* data, std::size_t n) {
        if (stopRequested())
            return false;
        return decoder.feed(data, n);
    });
}

void MasterClient::handleMessage(const MasterMessage& message) {
    if (stopRequested())
        return;
    if (settings::isMessageHidden(m_settings, message.number))
        return;
    MasterMessagePrompt::Outcome outcome = m_prompt.showMessage(message);
    if (outcome == MasterMessagePrompt::Outcome::Aborted)
        return;
    m_settings.writeInt(settings::kMasterServer, settings::messageValueName(message.number),
                        outcome == MasterMessagePrompt::Outcome::DontShowAgain ? 1 : 0);
}

} // namespace ondel
