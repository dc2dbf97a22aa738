// The monitor window's list and server selectors and the editing of the shown entry.
#include "MonitorDialog.h"

#include "MonitorText.h"

#include "ListSelector.h"
#include "NewListDialog.h"
#include "RenameListDialog.h"
#include "ServerSelector.h"
#include "UpDownArrows.h"
#include "common/Clock.h"
#include "common/Text.h"
#include "monitor/CellColour.h"
#include "monitor/DetailsPanel.h"
#include "monitor/WindowTitle.h"
#include "platform/QuerySocket.h"
#include "query/QueryEngine.h"
#include "serverlist/ListCommands.h"
#include "serverlist/ServerListOrder.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsKeys.h"
#include "ui/rcon/RconConsole.h"
#include "ui/toolkit/AboutDialog.h"
#include "ui/toolkit/CEditEx.h"
#include "ui/toolkit/ColorListCtrl.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/DialogUnits.h"
#include "ui/toolkit/PlainText.h"
#include "ui/toolkit/UiPrompt.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace ondel {

namespace {

// Comments keep the CR LF line ends of the list files; the edit works with LF.
QString commentForEdit(const std::string& stored) {
    QString text = fromBytes(stored);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string commentForStore(const QString& edited) {
    QString text = edited;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text.toStdString();
}

} // namespace

// --- the server and list selectors, entry editing -------------------------------------------

template <typename Edit> void MonitorDialog::editCurrent(Edit edit) {
    // Start from the engine's record, so that replies that came in since the last tick are not
    // overwritten with the older copy.
    m_work = m_services.engine.currentServer();
    edit(m_work);
    m_services.engine.setCurrentServer(m_work);
}

void MonitorDialog::setServerText(const QString& text) {
    // Setting the text reports a change only when it differs; typing always selects.
    if (m_serverSelector->currentText() == text)
        selectServer();
    else
        m_serverSelector->setEditText(text);
}

void MonitorDialog::onServerTextEdited() {
    selectServer();
}

void MonitorDialog::onServerItemChosen(int index) {
    if (index < 0)
        return;
    m_serverSelector->setEditTextQuietly(m_serverSelector->itemText(index));
    selectServer();
}

void MonitorDialog::onArrowStep(int step) {
    const int index = m_serverSelector->currentIndex() + step;
    if (index >= 0 && index < m_serverSelector->count()) {
        const bool blocked = m_serverSelector->blockSignals(true);
        m_serverSelector->setCurrentIndex(index);
        m_serverSelector->blockSignals(blocked);
        m_serverSelector->setEditTextQuietly(m_serverSelector->itemText(index));
    }
    selectServer();
}

void MonitorDialog::selectServer() {
    emit aboutToSelectServer();
    const std::string text = typed(m_serverSelector->currentText());
    resetEntry(m_work);
    m_work.address = parseAddress(text);
    const ServerList& list = m_services.lists.current();
    const int found = list.find(m_work.address);
    if (found >= 0)
        m_work = list.entries()[static_cast<std::size_t>(found)];
    m_services.engine.setCurrentServer(m_work);
    showEditFields();
    refreshDisplay();
}

void MonitorDialog::showEditFields() {
    m_showingFields = true;
    m_password->setText(fromBytes(m_work.password));
    m_hide->setChecked(m_work.hidePassword);
    m_save->setChecked(m_work.savePassword);
    const QString comment = commentForEdit(m_work.comment);
    if (m_comment->toPlainText() != comment)
        m_comment->setPlainText(comment);
    int slotsIndex = m_work.reservedSlots + 1;
    if (slotsIndex < 0 || slotsIndex >= m_reservedSlots->count())
        slotsIndex = 0;
    m_reservedSlots->setCurrentIndex(slotsIndex);
    applyPasswordEcho();
    m_showingFields = false;
}

void MonitorDialog::onPasswordEdited() {
    if (m_showingFields)
        return;
    const std::string password = typed(m_password->text());
    const bool save = m_save->isChecked();
    editCurrent([&](ServerEntry& e) {
        e.password = password;
        e.savePassword = save;
    });
}

void MonitorDialog::onHideClicked() {
    if (m_showingFields)
        return;
    if (!m_hide->isChecked())
        m_password->clear();
    const bool hide = m_hide->isChecked();
    const std::string password = typed(m_password->text());
    editCurrent([&](ServerEntry& e) {
        e.hidePassword = hide;
        e.password = password;
    });
    applyPasswordEcho();
}

void MonitorDialog::onCommentEdited() {
    if (m_showingFields)
        return;
    const std::string comment = commentForStore(m_comment->toPlainText());
    editCurrent([&](ServerEntry& e) { e.comment = comment; });
}

void MonitorDialog::onReservedSlotsChosen(int index) {
    if (m_showingFields || index < 0)
        return;
    editCurrent([&](ServerEntry& e) { e.reservedSlots = index - 1; });
}

void MonitorDialog::fillSelector() {
    const ServerList& list = m_services.lists.current();
    const SelectorOrder order = selectorOrder(list, m_services.settings);
    std::vector<const ServerEntry*> entries;
    entries.reserve(order.items.size());
    for (std::size_t i : order.items)
        entries.push_back(&list.entries()[i]);
    m_serverSelector->setEntries(entries, order.recentEnd);
}

void MonitorDialog::fillListSelector() {
    const ServerListSet& lists = m_services.lists;
    const bool blocked = m_listSelector->blockSignals(true);
    m_listSelector->clear();
    for (std::size_t i = 0; i < lists.size(); ++i) {
        const ServerList& l = lists.at(i);
        m_listSelector->addItem(
            fromBytes(l.name() + " (" + listFileShown(l, m_services.dataDirectory) + ")"));
    }
    m_listSelector->setCurrentIndex(static_cast<int>(lists.currentIndex()));
    m_listSelector->blockSignals(blocked);
}

void MonitorDialog::onListChosen(int index) {
    if (index < 0)
        return;
    selectList();
}

void MonitorDialog::selectList() {
    ServerListSet& lists = m_services.lists;
    const int index = m_listSelector->currentIndex();
    // An item whose list is gone is never taken as the current list.
    if (index < 0 || static_cast<std::size_t>(index) >= lists.size()) {
        fillListSelector();
        return;
    }
    emit aboutToSelectServer();
    lists.setCurrentIndex(static_cast<std::size_t>(index));
    ServerEntry none;
    m_services.engine.setCurrentServer(none);
    fillSelector();
    m_serverSelector->setEditTextQuietly(QString());
    m_work = none;
    showEditFields();
    refreshDisplay();
}

void MonitorDialog::deleteEntry(int index, int topRow) {
    const std::optional<ServerAddress> address = m_serverSelector->addressAt(index);
    if (!address)
        return;
    const QString addressShown =
        m_serverSelector->itemData(index, ServerSelector::AddressTextRole).toString();
    const QString nameShown =
        m_serverSelector->itemData(index, ServerSelector::HostNameRole).toString();
    m_serverSelector->hidePopup();
    const std::string question =
        (QStringLiteral("Delete ") + addressShown + QLatin1Char(' ') + nameShown + QLatin1Char('?'))
            .toStdString();
    if (m_prompt.message("Delete", question, Prompt::Buttons::OkCancel, Prompt::Icon::Question) ==
        Prompt::Answer::Ok) {
        if (isSameServer(parseAddress(typed(m_serverSelector->currentText())), *address)) {
            m_serverSelector->setEditTextQuietly(QString());
            ServerEntry none;
            m_services.engine.setCurrentServer(none);
            m_work = none;
            showEditFields();
            refreshDisplay();
        }
        ServerList& list = m_services.lists.current();
        const int found = list.find(*address);
        if (found >= 0)
            list.removeAt(static_cast<std::size_t>(found));
        fillSelector();
    }
    // The list opens again where it was (showPopup refills it from the list).
    m_serverSelector->showPopup();
    QAbstractItemView* view = m_serverSelector->view();
    const int rows = m_serverSelector->count();
    if (rows > 0) {
        const int top = std::min(topRow, rows - 1);
        view->scrollTo(view->model()->index(top, 0), QAbstractItemView::PositionAtTop);
    }
}

} // namespace ondel
