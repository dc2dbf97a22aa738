#pragma once

#include <QObject>

#include <functional>

class QPushButton;
class QSplitter;
class QWidget;

namespace ondel {

class ScanService;
class ServerDetailsPane;
class SettingsStore;
struct ServerEntry;

// The browser's details pane and its place: a splitter with the table above the pane, and the
// "Details" button that shows or hides the pane. The splitter's sizes and whether the pane is
// shown are kept in the settings. The pane follows the selected server (selected() gives it, or
// nullptr) while it is shown; a hidden pane shows nothing and asks nothing. References settings
// and scans, which must outlive it. GUI thread only.
class BrowserDetails : public QObject {
    Q_OBJECT
public:
    using Selected = std::function<const ServerEntry*()>;

    // The splitter takes table; the widgets are made as children of window.
    BrowserDetails(SettingsStore& settings, ScanService& scans, Selected selected, QWidget* table,
                   QWidget* window);

    // Takes back the stored sizes and shown state.
    void restore();
    void setShown(bool shown);
    // The selection changed: the pane shows the server selected now.
    void follow();

    ServerDetailsPane* pane() const { return m_pane; }
    QSplitter* splitter() const { return m_splitter; }
    QPushButton* button() const { return m_button; }

private:
    void saveSplitter();

    SettingsStore& m_settings;
    Selected m_selected;
    ServerDetailsPane* m_pane = nullptr;
    QSplitter* m_splitter = nullptr;
    QPushButton* m_button = nullptr;
};

} // namespace ondel
