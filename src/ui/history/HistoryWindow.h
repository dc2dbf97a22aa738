#pragma once

#include <QDialog>

#include <string>

namespace ondel {

class HistoryStore;
class HistoryView;
class MonitorDialog;

// "History" of one server: a HistoryView in a window of its own, not modal.
// The store must outlive the window. GUI thread only.
class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    // The monitor's command that opens the window for the current server.
    static constexpr int kHistoryCommand = 40060;

    HistoryWindow(HistoryStore& store, QWidget* parent = nullptr);

    void showServer(const std::string& server);
    HistoryView& view() { return *m_view; }

    // Adds "&History ..." (Ctrl+H) to the monitor's "Server List" menu; it opens (or raises) one
    // history window, owned by the monitor, for the server the monitor shows.
    static void install(MonitorDialog& monitor, HistoryStore& store);

private:
    HistoryView* m_view = nullptr;
};

} // namespace ondel
