#include "BrowserServerActions.h"

#include "BrowserBlocklist.h"
#include "BrowserModel.h"
#include "BrowserProxyModel.h"
#include "BrowserWindow.h"
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

BrowserServerActions::BrowserServerActions(BrowserWindow& window, ServerListSet& lists,
                                           SettingsStore& settings, Prompt& prompt,
                                           BrowserBlocklist& blocklist, Hooks hooks)
    : QObject(&window), m_window(window), m_lists(lists), m_settings(settings), m_prompt(prompt),
      m_blocklist(blocklist), m_hooks(std::move(hooks)) {}

void BrowserServerActions::showInMonitor(int proxyRow) {
    const BrowserRow* row = m_window.proxy().rowAt(proxyRow);
    const int list = m_window.listIndex();
    if (row == nullptr || list < 0 || !m_hooks.show)
        return;
    m_hooks.show(static_cast<std::size_t>(list), row->address);
}

std::unique_ptr<QMenu> BrowserServerActions::contextMenuFor(int proxyRow) {
    const BrowserRow* row = m_window.proxy().rowAt(proxyRow);
    if (row == nullptr)
        return nullptr;
    const ServerAddress address = row->address;
    auto menu = std::make_unique<QMenu>(&m_window);
    QAction* connectAction = menu->addAction(QStringLiteral("&Connect ..."));
    connect(connectAction, &QAction::triggered, this, [this, address] {
        const int list = m_window.listIndex();
        if (list >= 0 && m_hooks.connect)
            m_hooks.connect(static_cast<std::size_t>(list), address);
    });
    connectAction->setEnabled(static_cast<bool>(m_hooks.connect));
    connect(menu->addAction(QStringLiteral("Copy &address")), &QAction::triggered, this, [address] {
        QApplication::clipboard()->setText(displayText(text::toDisplayUtf8(addressText(address))));
    });
    QMenu* addTo = menu->addMenu(QStringLiteral("Add to &list"));
    const int shown = m_window.listIndex();
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
    connect(
        menu->addAction(QStringLiteral("Alert&s...")), &QAction::triggered, this, [this, address] {
            AlertsDialog::edit(m_lists, m_settings, static_cast<std::size_t>(m_window.listIndex()),
                               addressText(address), &m_window);
        });
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("&Remove")), &QAction::triggered, this,
            [this, address] { removeServer(address); });
    QAction* blockServer = menu->addAction(QStringLiteral("&Block this server"));
    connect(blockServer, &QAction::triggered, this,
            [this, address] { m_blocklist.block(address, false); });
    QAction* blockAddress = menu->addAction(QStringLiteral("Block this a&ddress"));
    connect(blockAddress, &QAction::triggered, this,
            [this, address] { m_blocklist.block(address, true); });
    // A host name has no one address to block; and without a data folder there is no list.
    blockServer->setEnabled(!m_blocklist.path().empty());
    blockAddress->setEnabled(!m_blocklist.path().empty() && Blocklist::addressLine(address));
    return menu;
}

void BrowserServerActions::addToList(std::size_t target, const ServerAddress& address) {
    const ServerList* source = m_window.shownList();
    if (source == nullptr || target >= m_lists.size() || &m_lists.at(target) == source)
        return;
    const int i = source->find(address);
    if (i < 0)
        return;
    m_lists.at(target).storeEntry(source->entries()[static_cast<std::size_t>(i)]);
    emit listChanged();
}

void BrowserServerActions::removeServer(const ServerAddress& address) {
    const ServerList* shown = m_window.shownList();
    if (shown == nullptr)
        return;
    const BrowserModel& model = m_window.model();
    const int row = model.indexOf(address);
    const std::string name = row >= 0 ? model.row(row).name : std::string();
    const std::string question = "Delete " + text::toDisplayUtf8(addressText(address)) + " " +
                                 withVisibleControls(name) + " from the list \"" +
                                 withVisibleControls(text::toDisplayUtf8(shown->name())) + "\"?";
    // The question stands over this window, not over the monitor.
    auto* uiPrompt = dynamic_cast<UiPrompt*>(&m_prompt);
    QPointer<QWidget> before = uiPrompt != nullptr ? uiPrompt->parentWidget() : nullptr;
    if (uiPrompt != nullptr)
        uiPrompt->setParentWidget(&m_window);
    const Prompt::Answer answer =
        m_prompt.message("Delete", question, Prompt::Buttons::OkCancel, Prompt::Icon::Question);
    if (uiPrompt != nullptr)
        uiPrompt->setParentWidget(before);
    if (answer != Prompt::Answer::Ok)
        return;
    if (ServerList* list = m_window.shownList()) {
        const int i = list->find(address);
        if (i >= 0)
            list->removeAt(static_cast<std::size_t>(i));
    }
    // The list may hold it twice: the row stays for the second one.
    m_window.reloadList();
    emit listChanged();
}

} // namespace ondel
