#pragma once

#include <QLabel>
#include <QString>

#include <string>

namespace ondel {

// Texts from servers and files reach the widgets only through these helpers: they are UTF-8 (the
// core converts the bytes) and are never interpreted as rich text, so a server called <b>x</b>
// shows the tags. Line edits, plain text edits, combo boxes and window titles are plain already;
// labels and message boxes must be told.
inline QString displayText(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline void setPlainLabelText(QLabel* label, const QString& text) {
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
}

// A menu item named by a list or server text: an '&' in it shown as such, and items 1 to 9
// numbered in front ("&1 ") for their access keys.
inline QString numberedMenuText(int number, QString text) {
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return number >= 1 && number <= 9 ? QStringLiteral("&%1 ").arg(number) + text : text;
}

} // namespace ondel
