#pragma once

#include <QObject>

#include <functional>

class QPushButton;
class QSplitter;
class QWidget;

namespace ondel {

class HistoryStore;
class HistoryView;
class ScanService;
class ServerDetailsPane;
class SettingsStore;
struct ServerEntry;

// The browser's details pane and its place: a splitter with the table above the pane, and the
// "Details" button that shows or hides the pane. The splitter's sizes and whether the pane is
// shown are kept in the settings. The pane follows the selected server (selected() gives it, or
// nullptr) while it is shown; a hidden pane shows nothing and asks nothing. With a history store
// the pane shows the selected server's history graph too. References settings and scans, which
// must outlive it. GUI thread only.
class BrowserDetails : public QObject {
    Q_OBJECT
public:
    using Selected = std::function<const ServerEntry*()>;
    // The object names of the splitter and the button.
    static constexpr const char* kDetailsSplitter = "detailsSplitter";
    static constexpr const char* kDetailsButton = "detailsButton";

    // The splitter takes table; the widgets are made as children of window.
    BrowserDetails(SettingsStore& settings, ScanService& scans, Selected selected, QWidget* table,
                   QWidget* window);

    // Takes back the stored sizes and shown state.
    void restore();
    void setShown(bool shown);
    // The selection changed: the pane shows the server selected now.
    void follow();
    // Where the servers' history is read from (it must outlive this); nullptr: no graph.
    void setHistory(HistoryStore* store);

    QSplitter* splitter() const { return m_splitter; }
    QPushButton* button() const { return m_button; }

private:
    void saveSplitter();

    SettingsStore& m_settings;
    Selected m_selected;
    ServerDetailsPane* m_pane = nullptr;
    QSplitter* m_splitter = nullptr;
    QPushButton* m_button = nullptr;
    HistoryView* m_history = nullptr;
};

} // namespace ondel
