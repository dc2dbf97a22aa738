#include "BrowserBlocklist.h"

#include "BlocklistDialog.h"
#include "BrowserModel.h"
#include "browser/Blocklist.h"
#include "common/Prompt.h"
#include "common/Text.h"

#include <QPushButton>

namespace ondel {

BrowserBlocklist::BrowserBlocklist(BrowserModel& model, Prompt& prompt, QWidget* window)
    : QObject(window), m_model(model), m_prompt(prompt), m_window(window) {
    m_button = new QPushButton(QStringLiteral("Blocklist ..."), window);
    m_button->setAutoDefault(false);
    connect(m_button, &QPushButton::clicked, this, &BrowserBlocklist::edit);
}

void BrowserBlocklist::setPath(std::string path) {
    m_path = std::move(path);
    reload();
}

void BrowserBlocklist::reload() {
    m_model.setBlocklist(m_path.empty() ? Blocklist() : Blocklist::load(m_path));
    emit reloaded();
}

void BrowserBlocklist::block(const ServerAddress& address, bool wholeAddress) {
    if (m_path.empty())
        return;
    const std::optional<std::string> line =
        wholeAddress ? Blocklist::addressLine(address) : Blocklist::serverLine(address);
    if (!line)
        return;
    if (!appendBlocklistLine(m_path, *line)) {
        m_prompt.message(
            "Error",
            text::format("Can't write the blocklist %s!!!", text::toDisplayUtf8(m_path).c_str()),
            Prompt::Buttons::Ok, Prompt::Icon::Error);
        return;
    }
    reload();
}

void BrowserBlocklist::edit() {
    if (m_path.empty())
        return;
    BlocklistDialog dialog(m_path, m_window);
    dialog.exec();
    reload();
}

} // namespace ondel
