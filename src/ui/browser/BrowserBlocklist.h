#pragma once

#include <QObject>

#include <string>

class QPushButton;
class QWidget;

namespace ondel {

class BrowserModel;
class Prompt;
struct ServerAddress;

// The browser's blocklist (blocklist.txt of the data folder): read into the model at once and at
// every refresh, so that blocked servers are neither asked nor shown; added to from the context
// menu ("Block this server", "Block this address"); edited with "Blocklist ...". Without a file
// nothing is blocked. References model and prompt, which must outlive it. GUI thread only.
class BrowserBlocklist : public QObject {
    Q_OBJECT
public:
    // The button is made as a child of window, over which the dialog opens.
    BrowserBlocklist(BrowserModel& model, Prompt& prompt, QWidget* window);

    void setPath(std::string path);
    const std::string& path() const { return m_path; }
    // Reads the file again.
    void reload();
    // Adds the server or its whole address to the file; the row goes at once.
    void block(const ServerAddress& address, bool wholeAddress);
    // "Blocklist ...": the file in a dialog.
    void edit();

    QPushButton* button() const { return m_button; }

signals:
    // The model took the file again.
    void reloaded();

private:
    BrowserModel& m_model;
    Prompt& m_prompt;
    QWidget* m_window;
    std::string m_path;
    QPushButton* m_button = nullptr;
};

} // namespace ondel
