// The browser's commands on one server: show it in the monitor, connect, copy its address, add
// it to another list, remove it from the shown one.
#include "BrowserWindow.h"

#include "BrowserModel.h"
#include "BrowserProxyModel.h"
#include "browser/Blocklist.h"
#include "common/Prompt.h"
#include "common/Text.h"
#include "serverlist/ServerListSet.h"
#include "ui/alerts/AlertsDialog.h"
#include "ui/toolkit/PlainText.h"
#include "ui/toolkit/UiPrompt.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPointer>

namespace ondel {

void BrowserWindow::showInMonitor(int proxyRow) {
    const BrowserRow* row = m_proxy->rowAt(proxyRow);
    const int list = listIndex();
    if (row == nullptr || list < 0 || !m_actions.show)
        return;
    m_actions.show(static_cast<std::size_t>(list), row->address);
}

std::unique_ptr<QMenu> BrowserWindow::contextMenuFor(int proxyRow) {
    const BrowserRow* row = m_proxy->rowAt(proxyRow);
    if (row == nullptr)
        return nullptr;
    const ServerAddress address = row->address;
    auto menu = std::make_unique<QMenu>(this);
    QAction* connectAction = menu->addAction(QStringLiteral("&Connect ..."));
    connect(connectAction, &QAction::triggered, this, [this, address] {
        const int list = listIndex();
        if (list >= 0 && m_actions.connect)
            m_actions.connect(static_cast<std::size_t>(list), address);
    });
    connectAction->setEnabled(static_cast<bool>(m_actions.connect));
    connect(menu->addAction(QStringLiteral("Copy &address")), &QAction::triggered, this, [address] {
        QApplication::clipboard()->setText(displayText(text::toDisplayUtf8(addressText(address))));
    });
    QMenu* addTo = menu->addMenu(QStringLiteral("Add to &list"));
    const int shown = listIndex();
    for (std::size_t i = 0; i < m_lists.size(); ++i) {
        if (static_cast<int>(i) == shown)
            continue;
        const ServerList& l = m_lists.at(i);
        // The target list is named by its file, which stays put while the menu is open.
        const std::string path = l.filePath();
        connect(addTo->addAction(numberedMenuText(
                    static_cast<int>(addTo->actions().size()) + 1,
                    displayText(text::toDisplayUtf8(l.name() + " (" + l.sourcePath() + ")")))),
                &QAction::triggered, this, [this, path, address] {
                    const int target = m_lists.findByFilePath(path);
                    if (target >= 0)
                        addToList(static_cast<std::size_t>(target), address);
                });
    }
    addTo->setEnabled(!addTo->isEmpty());
    connect(menu->addAction(QStringLiteral("Alert&s...")), &QAction::triggered, this,
            [this, address] {
                AlertsDialog::edit(m_lists, m_settings, static_cast<std::size_t>(listIndex()),
                                   addressText(address), this);
            });
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("&Remove")), &QAction::triggered, this,
            [this, address] { removeServer(address); });
    QAction* blockServer = menu->addAction(QStringLiteral("&Block this server"));
    connect(blockServer, &QAction::triggered, this, [this, address] { block(address, false); });
    QAction* blockAddress = menu->addAction(QStringLiteral("Block this a&ddress"));
    connect(blockAddress, &QAction::triggered, this, [this, address] { block(address, true); });
    // A host name has no one address to block; and without a data folder there is no list.
    blockServer->setEnabled(!m_blocklistPath.empty());
    blockAddress->setEnabled(!m_blocklistPath.empty() && Blocklist::addressLine(address));
    return menu;
}

void BrowserWindow::addToList(std::size_t target, const ServerAddress& address) {
    const ServerList* source = shownList();
    if (source == nullptr || target >= m_lists.size() || &m_lists.at(target) == source)
        return;
    const int i = source->find(address);
    if (i < 0)
        return;
    m_lists.at(target).storeEntry(source->entries()[static_cast<std::size_t>(i)]);
    emit listUpdated();
}

void BrowserWindow::removeServer(const ServerAddress& address) {
    const ServerList* shown = shownList();
    if (shown == nullptr)
        return;
    const int row = m_model->indexOf(address);
    const std::string name = row >= 0 ? m_model->row(row).name : std::string();
    const std::string question = "Delete " + text::toDisplayUtf8(addressText(address)) + " " +
                                 withVisibleControls(name) + " from the list \"" +
                                 withVisibleControls(text::toDisplayUtf8(shown->name())) + "\"?";
    // The question stands over this window, not over the monitor.
    auto* uiPrompt = dynamic_cast<UiPrompt*>(&m_prompt);
    QPointer<QWidget> before = uiPrompt != nullptr ? uiPrompt->parentWidget() : nullptr;
    if (uiPrompt != nullptr)
        uiPrompt->setParentWidget(this);
    const Prompt::Answer answer =
        m_prompt.message("Delete", question, Prompt::Buttons::OkCancel, Prompt::Icon::Question);
    if (uiPrompt != nullptr)
        uiPrompt->setParentWidget(before);
    if (answer != Prompt::Answer::Ok)
        return;
    if (ServerList* list = shownList()) {
        const int i = list->find(address);
        if (i >= 0)
            list->removeAt(static_cast<std::size_t>(i));
    }
    // The list may hold it twice: the row stays for the second one.
    reloadList();
    emit listUpdated();
}

} // namespace ondel
