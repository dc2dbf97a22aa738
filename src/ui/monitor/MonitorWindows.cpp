#include "MonitorWindows.h"

#include "EntryEditor.h"
#include "MonitorDialog.h"
#include "query/SocketControl.h"
#include "serverlist/ServerListSet.h"
#include "ui/alerts/AlertsDialog.h"
#include "ui/browser/BrowserWindow.h"
#include "ui/discover/FindServersDialog.h"
#include "ui/rcon/RconConsole.h"
#include "ui/toolkit/UiPrompt.h"

#include <QAction>

namespace ondel {

namespace {

constexpr int kConnectCommand = 3;

} // namespace

MonitorWindows::MonitorWindows(MonitorDialog& monitor, UiPrompt& prompt, EntryEditor& editor)
    : m_monitor(monitor), m_prompt(prompt), m_editor(editor) {}

MonitorWindows::~MonitorWindows() = default;

void MonitorWindows::openRconConsole() {
    // The old console goes first, so that its print receiver is cleared before the new one is
    // registered.
    closeRconConsole();
    const WindowServices& services = m_monitor.services();
    m_console = std::make_unique<RconConsole>(services.engine, services.socket.localPort());
    m_console->setCommandHistoryFile(services.dataDirectory + "rcon-history.txt");
    // In front of the monitor, with the keyboard in the command field.
    m_console->show();
    m_console->raise();
    m_console->activateWindow();
}

void MonitorWindows::closeRconConsole() {
    m_console.reset();
}

BrowserWindow* MonitorWindows::openBrowser() {
    if (!m_browser) {
        const WindowServices& services = m_monitor.services();
        BrowserWindow::Actions actions;
        actions.show = [this](std::size_t list, const ServerAddress& address) {
            m_monitor.showListServer(list, address);
        };
        actions.connect = [this](std::size_t list, const ServerAddress& address) {
            m_monitor.showListServer(list, address);
            if (QAction* connectCommand = m_monitor.commandAction(kConnectCommand);
                connectCommand && connectCommand->isEnabled())
                connectCommand->trigger();
        };
        m_browser = std::make_unique<BrowserWindow>(services.lists, services.settings,
                                                    services.scans, m_prompt, std::move(actions));
        m_browser->setWindowIcon(m_monitor.windowIcon());
        m_browser->setNotifier(m_notifier);
        m_browser->setCountryLookup(services.countries);
        m_browser->setHistory(services.history);
        if (!services.dataDirectory.empty())
            m_browser->setBlocklistPath(services.dataDirectory +
                                        (services.dataDirectory.ends_with('/') ? "" : "/") +
                                        "blocklist.txt");
    }
    m_browser->show();
    m_browser->raise();
    m_browser->activateWindow();
    return m_browser.get();
}

void MonitorWindows::findServers() {
    const WindowServices& services = m_monitor.services();
    FindServersDialog dialog(services.settings, services.lists, services.dataDirectory, m_prompt,
                             &m_monitor);
    // Once servers went into a list, the dialog has done its work: it closes, and the browser
    // opens on that list and reads the servers. The list is found again by its file path.
    std::string filledPath;
    dialog.setListFilledHandler([this, &services, &dialog, &filledPath](std::size_t index) {
        m_editor.fillListSelector();
        filledPath = services.lists.at(index).filePath();
        dialog.accept();
    });
    if (m_prompt.execDialog(dialog) != QDialog::Accepted || filledPath.empty())
        return;
    const int index = services.lists.findByFilePath(filledPath);
    if (index < 0)
        return;
    BrowserWindow* browser = openBrowser();
    browser->showList(static_cast<std::size_t>(index));
    browser->refresh();
}

void MonitorWindows::editAlerts(const std::string& server) {
    const WindowServices& services = m_monitor.services();
    AlertsDialog::edit(services.lists, services.settings, services.lists.currentIndex(), server,
                       &m_monitor);
}

void MonitorWindows::setNotifier(Notifier* notifier) {
    m_notifier = notifier;
    if (m_browser)
        m_browser->setNotifier(notifier);
}

} // namespace ondel
