// The browser's blocklist and country database: blocking a server or an address from the context
// menu, editing blocklist.txt, showing the Country column once there is a database.
#include "BrowserWindow.h"

#include "BlocklistDialog.h"
#include "BrowserModel.h"
#include "browser/Blocklist.h"
#include "common/Prompt.h"
#include "common/Text.h"

#include <QHeaderView>
#include <QTableView>

namespace ondel {

void BrowserWindow::setBlocklistPath(std::string path) {
    m_blocklistPath = std::move(path);
    reloadBlocklist();
}

void BrowserWindow::reloadBlocklist() {
    m_model->setBlocklist(m_blocklistPath.empty() ? Blocklist() : Blocklist::load(m_blocklistPath));
    updateStatus();
}

void BrowserWindow::block(const ServerAddress& address, bool wholeAddress) {
    if (m_blocklistPath.empty())
        return;
    const std::optional<std::string> line =
        wholeAddress ? Blocklist::addressLine(address) : Blocklist::serverLine(address);
    if (!line)
        return;
    if (!appendBlocklistLine(m_blocklistPath, *line)) {
        m_prompt.message("Error",
                         text::format("Can't write the blocklist %s!!!",
                                      text::toDisplayUtf8(m_blocklistPath).c_str()),
                         Prompt::Buttons::Ok, Prompt::Icon::Error);
        return;
    }
    reloadBlocklist();
}

void BrowserWindow::editBlocklist() {
    if (m_blocklistPath.empty())
        return;
    BlocklistDialog dialog(m_blocklistPath, this);
    dialog.exec();
    reloadBlocklist();
}

void BrowserWindow::setCountryLookup(const CountryLookup* countries) {
    m_model->setCountryLookup(countries);
    m_table->setColumnHidden(static_cast<int>(BrowserColumn::Country), countries == nullptr);
}

} // namespace ondel
