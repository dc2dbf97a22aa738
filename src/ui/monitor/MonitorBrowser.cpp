// The monitor's side of the server browser: opening it and showing its servers here.
#include "MonitorDialog.h"

#include "ListSelector.h"
#include "common/Text.h"
#include "serverlist/ServerListSet.h"
#include "ui/browser/BrowserWindow.h"
#include "ui/toolkit/PlainText.h"
#include "ui/toolkit/UiPrompt.h"

#include <QAction>
#include <QComboBox>

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

void MonitorDialog::showListServer(std::size_t listIndex, const ServerAddress& address) {
    if (listIndex >= m_services.lists.size())
        return;
    if (m_services.lists.currentIndex() != listIndex) {
        fillListSelector();
        listSelector()->setCurrentIndex(static_cast<int>(listIndex));
        selectList();
    }
    setServerText(displayText(text::toDisplayUtf8(addressText(address))));
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

} // namespace ondel
