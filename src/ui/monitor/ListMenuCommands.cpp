#include "ListMenuCommands.h"

#include "EntryEditor.h"
#include "MonitorText.h"
#include "NewListDialog.h"
#include "RenameListDialog.h"
#include "WindowServices.h"
#include "serverlist/ListCommands.h"
#include "serverlist/ServerListOrder.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsKeys.h"
#include "ui/toolkit/AboutDialog.h"
#include "ui/toolkit/UiPrompt.h"

#include <QFile>
#include <QLineEdit>

namespace ondel {

ListMenuCommands::ListMenuCommands(WindowServices& services, UiPrompt& prompt, EntryEditor& editor,
                                   QWidget* window)
    : QObject(window), m_services(services), m_prompt(prompt), m_editor(editor), m_window(window) {}

void ListMenuCommands::sortBy(int commandId) {
    const std::int32_t type = sortTypeForCommand(commandId);
    if (type >= 0)
        settings::write(m_services.settings, settings::kServerListSortType, type);
}

void ListMenuCommands::openList() {
    // The dialog starts where the lists are, not in the directory the program was started in.
    const std::optional<std::string> path = m_prompt.chooseOpenFile(
        QStringLiteral("Open"), QStringLiteral("Ondel Server List (*.sl?\?);;All Files (*)"),
        QFile::decodeName(QByteArray::fromStdString(m_services.dataDirectory)));
    if (!path)
        return;
    ondel::openList(m_services.lists, m_prompt, *path);
}

void ListMenuCommands::newList() {
    NewListDialog dialog(m_window);
    if (m_prompt.execDialog(dialog) != QDialog::Accepted)
        return;
    ondel::newList(m_services.lists, m_prompt, m_services.dataDirectory,
                   QFile::encodeName(dialog.fileNameEdit()->text()).toStdString(),
                   typed(dialog.nameEdit()->text()));
}

void ListMenuCommands::deleteList() {
    if (!ondel::deleteList(m_services.lists, m_prompt, m_services.lists.currentIndex()))
        return;
    // The selector is refilled at once, so no item of the removed list can be chosen.
    m_editor.chooseList(0);
}

void ListMenuCommands::renameList() {
    ServerListSet& lists = m_services.lists;
    const std::size_t index = lists.currentIndex();
    const ServerList& list = lists.at(index);
    // The file as the list selector names it: bare for a list of the data folder.
    RenameListDialog dialog(fromBytes(listFileShown(list, m_services.dataDirectory)),
                            fromBytes(list.name()), m_window);
    if (m_prompt.execDialog(dialog) != QDialog::Accepted)
        return;
    ondel::renameList(lists, index, typed(dialog.newNameEdit()->text()));
    m_editor.fillListSelector();
}

void ListMenuCommands::about() {
    AboutDialog about(m_window, &m_prompt);
    m_prompt.execDialog(about);
}

} // namespace ondel
