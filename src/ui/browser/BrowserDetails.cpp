// The browser's details pane: the selected server shown live under the table, in a splitter
// whose sizes are kept with whether the pane is shown.
#include "BrowserWindow.h"

#include "BrowserModel.h"
#include "BrowserProxyModel.h"
#include "ServerDetailsPane.h"
#include "browser/ScanService.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsKeys.h"

#include <QItemSelectionModel>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>

namespace ondel {

void BrowserWindow::buildDetailsPane() {
    m_details = new ServerDetailsPane(
        m_settings, [this](const ServerEntry& entry) { return m_scans.watchServer(entry); }, this);
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->addWidget(m_table);
    m_splitter->addWidget(m_details);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 2);
    m_splitter->setChildrenCollapsible(false);
    connect(m_splitter, &QSplitter::splitterMoved, this, &BrowserWindow::saveSplitter);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &BrowserWindow::onSelectionChanged);
}

void BrowserWindow::restoreDetailsPane() {
    const QByteArray split = QByteArray::fromBase64(
        QByteArray::fromStdString(settings::read(m_settings, settings::kBrowserSplitter)));
    if (split.isEmpty() || !m_splitter->restoreState(split))
        m_splitter->setSizes({380, 240});
    setDetailsShown(settings::read(m_settings, settings::kBrowserDetailsShown) != 0);
}

void BrowserWindow::setDetailsShown(bool shown) {
    if (m_detailsButton->isChecked() != shown)
        m_detailsButton->setChecked(shown); // comes back here through toggled
    m_details->setVisible(shown);
    if (shown)
        onSelectionChanged();
    else
        m_details->clear(); // nothing is asked for a pane no one sees
    if ((settings::read(m_settings, settings::kBrowserDetailsShown) != 0) != shown)
        settings::write(m_settings, settings::kBrowserDetailsShown, shown ? 1 : 0);
}

void BrowserWindow::saveSplitter() {
    settings::write(m_settings, settings::kBrowserSplitter,
                    m_splitter->saveState().toBase64().toStdString());
}

void BrowserWindow::onSelectionChanged() {
    if (!m_details->isVisible() && !m_detailsButton->isChecked())
        return;
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    const BrowserRow* row = rows.isEmpty() ? nullptr : m_proxy->rowAt(rows.first().row());
    const ServerList* list = shownList();
    const int i = row != nullptr && list != nullptr ? list->find(row->address) : -1;
    if (i < 0) {
        m_details->clear();
        return;
    }
    m_details->showServer(list->entries()[static_cast<std::size_t>(i)]);
}

} // namespace ondel
