#pragma once

#include "common/Text.h"
#include "ui/toolkit/PlainText.h"

#include <QString>

#include <string>

namespace ondel {

// Bytes from a server or a list file as the monitor shows them.
inline QString fromBytes(const std::string& bytes) {
    return displayText(text::toDisplayUtf8(bytes));
}

// Text the user typed, kept as UTF-8.
inline std::string typed(const QString& text) {
    return text.toStdString();
}

} // namespace ondel
