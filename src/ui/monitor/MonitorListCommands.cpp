// The monitor window's menu commands for the server lists, their ordering and the About box.
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

// --- menu commands -------------------------------------------------------------------------

void MonitorDialog::onSortCommand(int commandId) {
    const std::int32_t type = sortTypeForCommand(commandId);
    if (type >= 0)
        settings::write(m_services.settings, settings::kServerListSortType, type);
}

void MonitorDialog::onOpenList() {
    // The dialog starts where the lists are, not in the directory the program was started in.
    const std::optional<std::string> path = m_prompt.chooseOpenFile(
        QStringLiteral("Open"), QStringLiteral("Ondel Server List (*.sl?\?);;All Files (*)"),
        QFile::decodeName(QByteArray::fromStdString(m_services.dataDirectory)));
    if (!path)
        return;
    openList(m_services.lists, m_prompt, *path);
}

void MonitorDialog::onNewList() {
    NewListDialog dialog(this);
    if (m_prompt.execDialog(dialog) != QDialog::Accepted)
        return;
    newList(m_services.lists, m_prompt, m_services.dataDirectory,
            QFile::encodeName(dialog.fileNameEdit()->text()).toStdString(),
            typed(dialog.nameEdit()->text()));
}

void MonitorDialog::onDeleteList() {
    if (!deleteList(m_services.lists, m_prompt, m_services.lists.currentIndex()))
        return;
    // The selector is refilled at once, so no item of the removed list can be chosen.
    fillListSelector();
    m_listSelector->setCurrentIndex(0);
    selectList();
}

void MonitorDialog::onRenameList() {
    ServerListSet& lists = m_services.lists;
    const std::size_t index = lists.currentIndex();
    const ServerList& list = lists.at(index);
    // The file as the list selector names it: bare for a list of the data folder.
    RenameListDialog dialog(fromBytes(listFileShown(list, m_services.dataDirectory)),
                            fromBytes(list.name()), this);
    if (m_prompt.execDialog(dialog) != QDialog::Accepted)
        return;
    renameList(lists, index, typed(dialog.newNameEdit()->text()));
    fillListSelector();
}

void MonitorDialog::onAbout() {
    AboutDialog about(this, &m_prompt);
    m_prompt.execDialog(about);
}

} // namespace ondel
