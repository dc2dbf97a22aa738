#include "RconCommandLine.h"

#include <QKeyEvent>

#include <optional>

namespace ondel {

RconCommandLine::RconCommandLine(QWidget* parent) : QLineEdit(parent) {}

void RconCommandLine::setHistoryFile(std::string path) {
    m_historyFile = std::move(path);
    CommandHistories all = readCommandHistories(m_historyFile);
    auto it = all.find(m_serverKey);
    m_history =
        CommandHistory(it != all.end() ? std::move(it->second) : std::vector<std::string>());
}

void RconCommandLine::remember(const std::string& command) {
    m_history.add(command);
    if (m_historyFile.empty())
        return;
    // Read again so that what another run wrote for other servers stays.
    CommandHistories all = readCommandHistories(m_historyFile);
    all[m_serverKey] = m_history.commands();
    writeCommandHistories(m_historyFile, all);
}

void RconCommandLine::keyPressEvent(QKeyEvent* event) {
    std::optional<std::string> line;
    if (event->key() == Qt::Key_Up)
        line = m_history.older(text().toStdString());
    else if (event->key() == Qt::Key_Down)
        line = m_history.newer();
    else
        return QLineEdit::keyPressEvent(event);
    if (line)
        setText(QString::fromStdString(*line));
    event->accept();
}

} // namespace ondel
