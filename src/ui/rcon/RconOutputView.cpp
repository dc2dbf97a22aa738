#include "RconOutputView.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace ondel {

namespace {

std::string currentTimeStamp() {
    QDateTime now = QDateTime::currentDateTime();
    QDate d = now.date();
    QTime t = now.time();
    return ConsoleLog::timeStamp(
        LocalDateTime{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()});
}

// The rendered text uses CR LF; the text box breaks lines at every CR as well, so the CRs go and
// each LF is one line break. A rendered entry never splits a CR LF pair, so appending the pieces
// gives the same lines as showing the whole text.
QString widgetText(std::string_view utf8) {
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    text.remove(QLatin1Char('\r'));
    return text;
}

} // namespace

RconOutputView::RconOutputView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true); // Tab walks on to the next control, as everywhere else
    // One tab after the time stamp must reach the same column as the two tabs that start a
    // continuation line: the stamp ends between the first and the second tab stop.
    qreal stampWidth = QFontMetricsF(font()).horizontalAdvance(QStringLiteral("00/00/00 00:00:00"));
    setTabStopDistance(stampWidth * 2 / 3 + 1);
}

void RconOutputView::append(std::string text) {
    m_log.append(std::move(text), currentTimeStamp());
    scheduleRedraw();
}

void RconOutputView::appendSentCommand(std::string command) {
    m_log.append(std::move(command), currentTimeStamp(), true);
    redraw();
}

void RconOutputView::setOptions(const ConsoleOptions& options) {
    m_log.setOptions(options);
    redraw();
}

void RconOutputView::setHistoryLimit(std::size_t entries) {
    m_log.setMaxEntries(entries);
    redraw();
}

void RconOutputView::scheduleRedraw() {
    if (m_redrawQueued)
        return;
    m_redrawQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_redrawQueued)
                redraw();
        },
        Qt::QueuedConnection);
}

QString RconOutputView::droppedNotice() const {
    if (m_log.droppedCount() == 0)
        return {};
    return QStringLiteral("[%1 older messages dropped: the console keeps the latest %2]\n")
        .arg(m_log.droppedCount())
        .arg(m_log.maxEntries());
}

void RconOutputView::redraw() {
    m_redrawQueued = false;
    ConsoleLog::Update update = m_log.render();
    if (!update.replaceAll && update.text.empty() && update.dropped.empty())
        return;

    // Follow new text only when the view is at its end; otherwise keep the first visible line.
    QScrollBar* bar = verticalScrollBar();
    bool atEnd = bar->value() >= bar->maximum();
    int firstLine = bar->value();
    QTextDocument* doc = document();
    if (update.replaceAll) {
        QString notice = droppedNotice();
        m_noticeLength = static_cast<int>(notice.size());
        setPlainText(notice + widgetText(update.text));
    } else {
        QTextCursor cursor(doc);
        if (!update.dropped.empty()) {
            // The old notice and the dropped entries' lines go; the new count takes their place.
            int blocksBefore = doc->blockCount();
            QString notice = droppedNotice();
            cursor.setPosition(m_noticeLength + static_cast<int>(widgetText(update.dropped).size()),
                               QTextCursor::KeepAnchor);
            cursor.insertText(notice);
            m_noticeLength = static_cast<int>(notice.size());
            firstLine = std::max(0, firstLine - (blocksBefore - doc->blockCount()));
        }
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(widgetText(update.text));
    }
    bar->setValue(atEnd ? bar->maximum() : firstLine);
}

} // namespace ondel
