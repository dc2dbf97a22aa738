#pragma once

#include "rcon/CommandHistory.h"

#include <QLineEdit>

#include <string>

namespace ondel {

// The console's command line: Up and Down walk the commands sent to the current server before
// (CommandHistory), kept in a file when setHistoryFile() names one. The server is named by its
// address text; the history read from the file is the one of the server named at that time.
// GUI thread only.
class RconCommandLine : public QLineEdit {
    Q_OBJECT
public:
    explicit RconCommandLine(QWidget* parent = nullptr);

    void setServerKey(std::string key) { m_serverKey = std::move(key); }
    // The file in which every server's sent commands are kept between runs (read at once, written
    // after each remember()). Without one they last as long as the widget.
    void setHistoryFile(std::string path);
    const CommandHistory& history() const { return m_history; }
    // Stores a sent command in the history (and the file).
    void remember(const std::string& command);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    CommandHistory m_history;
    std::string m_historyFile;
    std::string m_serverKey; // the server's address text
};

} // namespace ondel
