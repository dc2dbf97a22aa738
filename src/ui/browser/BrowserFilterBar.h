#pragma once

#include "browser/BrowserRow.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;

namespace ondel {

// The browser's filter row: a text matched against name, map and address, a part of a player's
// name, and the boxes that hide empty, full, password-protected and made-up servers. Read as one
// BrowserFilter; changed() follows every edit. GUI thread only.
class BrowserFilterBar : public QWidget {
    Q_OBJECT
public:
    // The object names of the controls.
    static constexpr const char* kFilterText = "filterText";
    static constexpr const char* kPlayerName = "playerName";
    static constexpr const char* kHideEmpty = "hideEmpty";
    static constexpr const char* kHideFull = "hideFull";
    static constexpr const char* kHidePassword = "hidePassword";
    static constexpr const char* kHideFakes = "hideFakes";

    explicit BrowserFilterBar(QWidget* parent = nullptr);

    BrowserFilter filter() const;
    // The player name looked for, without blanks around it.
    QString playerText() const;

signals:
    void changed();

private:
    QLineEdit* m_filterEdit = nullptr;
    QLineEdit* m_playerEdit = nullptr;
    QCheckBox* m_hideEmpty = nullptr;
    QCheckBox* m_hideFull = nullptr;
    QCheckBox* m_hidePassword = nullptr;
    QCheckBox* m_hideFakes = nullptr;
};

} // namespace ondel
