#pragma once

#include "notify/PlayerWatch.h"

#include <QObject>

#include <string>
#include <vector>

class QPushButton;
class QWidget;

namespace ondel {

class Notifier;
class SettingsStore;
struct ScanResult;

// The browser's watch list: players looked for in every server's players at each answer (kept in
// the settings, edited with "Watch players ..."). One who is on a server that did not have them
// at its last answer is announced through the notifier, once per arrival; a server that does not
// answer keeps who it had. References settings, which must outlive it. GUI thread only.
class BrowserWatch : public QObject {
    Q_OBJECT
public:
    // The button is made as a child of window, over which the dialog opens.
    BrowserWatch(SettingsStore& settings, QWidget* window);

    // Where watched players are announced. Not owned; null: not announced.
    void setNotifier(Notifier* notifier) { m_notifier = notifier; }
    // The watch list (stored in the settings at once); see WatchListDialog for its limit.
    void setWatched(const std::vector<std::string>& names);
    // "Watch players ...": the list in a dialog.
    void edit();
    // Looks for the watched players in an answer.
    void announce(const ScanResult& result);

    QPushButton* button() const { return m_button; }

private:
    SettingsStore& m_settings;
    QWidget* m_window;
    PlayerWatch m_watch;
    Notifier* m_notifier = nullptr;
    QPushButton* m_button = nullptr;
};

} // namespace ondel
