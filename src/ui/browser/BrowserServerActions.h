#pragma once

#include "serverlist/ServerAddress.h"

#include <QObject>

#include <cstddef>
#include <functional>
#include <memory>

class QMenu;

namespace ondel {

class BrowserBlocklist;
class BrowserWindow;
class Prompt;
class ServerListSet;
class SettingsStore;

// The browser's commands on one server: show it in the monitor, connect to it, copy its address,
// add it to another list, set its alerts, remove it from the shown one, block it. What the
// browser cannot do itself goes through the hooks. References the window, lists, settings, prompt
// and blocklist, which must outlive it. GUI thread only.
class BrowserServerActions : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        // Shows the server of the list at listIndex in the monitor.
        std::function<void(std::size_t listIndex, const ServerAddress& address)> show;
        // The monitor's Connect (with its wait for a free slot) for that server.
        std::function<void(std::size_t listIndex, const ServerAddress& address)> connect;
    };

    BrowserServerActions(BrowserWindow& window, ServerListSet& lists, SettingsStore& settings,
                         Prompt& prompt, BrowserBlocklist& blocklist, Hooks hooks);

    // The context menu of the server shown at proxyRow; nullptr for no row.
    std::unique_ptr<QMenu> contextMenuFor(int proxyRow);
    void showInMonitor(int proxyRow);
    void addToList(std::size_t target, const ServerAddress& address);
    // Asks first; the question names the list and stands over the browser.
    void removeServer(const ServerAddress& address);

signals:
    // A list took or lost a server.
    void listChanged();

private:
    BrowserWindow& m_window;
    ServerListSet& m_lists;
    SettingsStore& m_settings;
    Prompt& m_prompt;
    BrowserBlocklist& m_blocklist;
    Hooks m_hooks;
};

} // namespace ondel
