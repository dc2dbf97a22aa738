// The monitor's side of the server browser: opening it, showing its servers here, and Find
// Servers, whose results the browser shows.
#include "MonitorDialog.h"

#include "EntryEditor.h"
#include "common/Text.h"
#include "serverlist/ServerListSet.h"
#include "ui/browser/BrowserWindow.h"
#include "ui/discover/FindServersDialog.h"
#include "ui/toolkit/PlainText.h"
#include "ui/toolkit/UiPrompt.h"

#include <QAction>

namespace ondel {

BrowserWindow* MonitorDialog::openBrowser() {
    if (!m_browser) {
        BrowserWindow::Actions actions;
        actions.show = [this](std::size_t list, const ServerAddress& address) {
            showListServer(list, address);
        };
        actions.connect = [this](std::size_t list, const ServerAddress& address) {
            showListServer(list, address);
            if (QAction* connectCommand = commandAction(3);
                connectCommand && connectCommand->isEnabled())
                connectCommand->trigger();
        };
        m_browser = std::make_unique<BrowserWindow>(m_services.lists, m_services.settings,
                                                    m_services.scans, m_prompt, std::move(actions));
        m_browser->setWindowIcon(windowIcon());
        m_browser->setNotifier(m_notifier);
        m_browser->setCountryLookup(m_services.countries);
        m_browser->setHistory(m_services.history);
        if (!m_services.dataDirectory.empty())
            m_browser->setBlocklistPath(m_services.dataDirectory +
                                        (m_services.dataDirectory.ends_with('/') ? "" : "/") +
                                        "blocklist.txt");
    }
    m_browser->show();
    m_browser->raise();
    m_browser->activateWindow();
    return m_browser.get();
}

void MonitorDialog::setNotifier(Notifier* notifier) {
    m_notifier = notifier;
    if (m_browser)
        m_browser->setNotifier(notifier);
}

void MonitorDialog::onFindServers() {
    FindServersDialog dialog(m_services.settings, m_services.lists, m_services.dataDirectory,
                             m_prompt, this);
    // Once servers went into a list, the dialog has done its work: it closes, and the browser
    // opens on that list and reads the servers. The list is found again by its file path.
    std::string filledPath;
    dialog.setListFilledHandler([this, &dialog, &filledPath](std::size_t index) {
        m_editor->fillListSelector();
        filledPath = m_services.lists.at(index).filePath();
        dialog.accept();
    });
    if (m_prompt.execDialog(dialog) != QDialog::Accepted || filledPath.empty())
        return;
    const int index = m_services.lists.findByFilePath(filledPath);
    if (index < 0)
        return;
    BrowserWindow* browser = openBrowser();
    browser->showList(static_cast<std::size_t>(index));
    browser->refresh();
}

void MonitorDialog::showListServer(std::size_t listIndex, const ServerAddress& address) {
    if (listIndex >= m_services.lists.size())
        return;
    if (m_services.lists.currentIndex() != listIndex) {
        m_editor->chooseList(static_cast<int>(listIndex));
    }
    setServerText(displayText(text::toDisplayUtf8(addressText(address))));
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

} // namespace ondel
