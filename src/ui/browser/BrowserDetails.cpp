#include "BrowserDetails.h"

#include "ServerDetailsPane.h"
#include "browser/ScanService.h"
#include "history/HistorySamples.h"
#include "settings/SettingsKeys.h"
#include "ui/history/HistoryView.h"

#include <QPushButton>
#include <QSplitter>
#include <QToolButton>

namespace ondel {

BrowserDetails::BrowserDetails(SettingsStore& settings, ScanService& scans, Selected selected,
                               QWidget* table, QWidget* window)
    : QObject(window), m_settings(settings), m_selected(std::move(selected)) {
    m_pane = new ServerDetailsPane(
        m_settings, [&scans](const ServerEntry& entry) { return scans.watchServer(entry); },
        window);
    m_splitter = new QSplitter(Qt::Vertical, window);
    m_splitter->setObjectName(QLatin1String(kDetailsSplitter));
    m_splitter->addWidget(table);
    m_splitter->addWidget(m_pane);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 2);
    m_splitter->setChildrenCollapsible(false);
    connect(m_splitter, &QSplitter::splitterMoved, this, &BrowserDetails::saveSplitter);

    m_button = new QPushButton(QStringLiteral("&Details"), window);
    m_button->setObjectName(QLatin1String(kDetailsButton));
    m_button->setCheckable(true);
    m_button->setAutoDefault(false);
    m_button->setToolTip(QStringLiteral("Show the selected server's details, players and rules"));
    connect(m_button, &QPushButton::toggled, this, &BrowserDetails::setShown);
}

void BrowserDetails::restore() {
    const QByteArray split = QByteArray::fromBase64(
        QByteArray::fromStdString(settings::read(m_settings, settings::kBrowserSplitter)));
    if (split.isEmpty() || !m_splitter->restoreState(split))
        m_splitter->setSizes({380, 240});
    setShown(settings::read(m_settings, settings::kBrowserDetailsShown) != 0);
}

void BrowserDetails::setShown(bool shown) {
    if (m_button->isChecked() != shown)
        m_button->setChecked(shown); // comes back here through toggled
    m_pane->setVisible(shown);
    if (shown)
        follow();
    else
        m_pane->clear(); // nothing is asked for a pane no one sees
    if (!shown && m_history != nullptr)
        m_history->setServer({});
    if ((settings::read(m_settings, settings::kBrowserDetailsShown) != 0) != shown)
        settings::write(m_settings, settings::kBrowserDetailsShown, shown ? 1 : 0);
}

void BrowserDetails::saveSplitter() {
    settings::write(m_settings, settings::kBrowserSplitter,
                    m_splitter->saveState().toBase64().toStdString());
}

void BrowserDetails::follow() {
    if (!m_pane->isVisible() && !m_button->isChecked())
        return;
    const ServerEntry* entry = m_selected();
    if (entry != nullptr)
        m_pane->showServer(*entry);
    else
        m_pane->clear();
    if (m_history != nullptr) {
        const std::string server = entry != nullptr ? historyKey(entry->address) : std::string();
        if (server != m_history->server())
            m_history->setServer(server);
    }
}

void BrowserDetails::setHistory(HistoryStore* store) {
    delete m_history;
    m_history = nullptr;
    if (store == nullptr)
        return;
    m_history = new HistoryView(*store, m_pane);
    m_history->setAccessibleName(QStringLiteral("History"));
    // Alt+D stays with "Details" in this window.
    for (QToolButton* span : m_history->findChildren<QToolButton*>())
        if (span->text() == QStringLiteral("&Day"))
            span->setText(QStringLiteral("Da&y"));
    m_pane->addPart(m_history, 3);
    follow();
}

} // namespace ondel
