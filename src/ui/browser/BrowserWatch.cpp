#include "BrowserWatch.h"

#include "WatchListDialog.h"
#include "browser/BrowserRow.h"
#include "browser/ScanService.h"
#include "common/Text.h"
#include "notify/Notifier.h"
#include "settings/SettingsKeys.h"

#include <QPushButton>

namespace ondel {

BrowserWatch::BrowserWatch(SettingsStore& settings, QWidget* window)
    : QObject(window), m_settings(settings), m_window(window) {
    m_watch.setWatched(watchListFromText(settings::read(m_settings, settings::kWatchedPlayers)));
    m_button = new QPushButton(QStringLiteral("Watch players ..."), window);
    m_button->setAutoDefault(false);
    connect(m_button, &QPushButton::clicked, this, &BrowserWatch::edit);
}

void BrowserWatch::announce(const ScanResult& result) {
    // Only a players answer says who is there; silence says nothing.
    if (result.status != ScanResult::Status::Up || !result.gotPlayers)
        return;
    std::vector<std::string> names;
    names.reserve(result.entry.playerList.size());
    for (const PlayerRecord& player : result.entry.playerList)
        names.push_back(text::toDisplayUtf8(player.name)); // as the user types them: UTF-8
    const std::string address = addressText(result.address);
    const std::vector<std::string> arrived = m_watch.update(address, names);
    if (m_notifier == nullptr)
        return;
    // Server text, on one line and shortened: it may be anything up to a datagram's length.
    const std::string server =
        withVisibleControls(text::cutUtf8(text::toDisplayUtf8(result.entry.hostName), 100));
    for (const std::string& name : arrived)
        m_notifier->notify("Watched player online", withVisibleControls(text::cutUtf8(name, 64)) +
                                                        " joined " + server + " (" +
                                                        text::toDisplayUtf8(address) + ")");
}

void BrowserWatch::setWatched(const std::vector<std::string>& names) {
    // As the settings will give them back: one name per line, no blanks around it.
    m_watch.setWatched(watchListFromText(watchListText(names)));
    settings::write(m_settings, settings::kWatchedPlayers, watchListText(m_watch.watched()));
}

void BrowserWatch::edit() {
    WatchListDialog dialog(m_watch.watched(), m_window);
    if (dialog.exec() == QDialog::Accepted)
        setWatched(dialog.names());
}

} // namespace ondel
