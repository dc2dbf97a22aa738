#pragma once

#include "rcon/ConsoleLog.h"

#include <QPlainTextEdit>

#include <cstddef>
#include <string>

namespace ondel {

// The console's output: every entry of the history (ConsoleLog) with its arrival time, shown as
// the display options say. New entries are drawn once the current batch of events has been
// handled, so a server that prints without pause costs one redraw a batch, not one a line. The
// view follows new text only when it is at its end. When the history has dropped entries, the
// text starts with a line saying how many. GUI thread only.
class RconOutputView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit RconOutputView(QWidget* parent = nullptr);

    const ConsoleLog& log() const { return m_log; }
    // Adds an entry stamped with the local time; drawn with the next batch.
    void append(std::string text);
    // Adds a sent command stamped with the local time and draws it at once.
    void appendSentCommand(std::string command);
    void setOptions(const ConsoleOptions& options);
    // How many entries the history keeps (the oldest are dropped beyond that).
    void setHistoryLimit(std::size_t entries);
    void redraw();

private:
    void scheduleRedraw();
    QString droppedNotice() const;

    ConsoleLog m_log;
    bool m_redrawQueued = false;
    int m_noticeLength = 0; // characters of the dropped-entries line at the top of the text
};

} // namespace ondel
