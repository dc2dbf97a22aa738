#pragma once

#include <QObject>

#include <cstddef>
#include <memory>
#include <string>

namespace ondel {

class BrowserWindow;
class EntryEditor;
class MonitorDialog;
class Notifier;
class RconConsole;
class UiPrompt;

// The windows the monitor opens: the remote console, the server browser (with Find Servers,
// whose results it shows) and the Alerts dialog. The console and the browser are top-level
// windows that live until the monitor goes (the console until another server is selected).
// GUI thread only.
class MonitorWindows : public QObject {
    Q_OBJECT
public:
    MonitorWindows(MonitorDialog& monitor, UiPrompt& prompt, EntryEditor& editor);
    ~MonitorWindows() override;

    // A new console replaces an open one.
    void openRconConsole();
    void closeRconConsole();
    // Opens the browser on the current list, or brings the open one to the front.
    BrowserWindow* openBrowser();
    void findServers();
    // The Alerts dialog on the current list and the shown server (empty: the list's rules).
    void editAlerts(const std::string& server);

    void setNotifier(Notifier* notifier);
    Notifier* notifier() const { return m_notifier; }

private:
    MonitorDialog& m_monitor;
    UiPrompt& m_prompt;
    EntryEditor& m_editor;
    Notifier* m_notifier = nullptr;
    std::unique_ptr<RconConsole> m_console; // dialog 137
    std::unique_ptr<BrowserWindow> m_browser;
};

} // namespace ondel
