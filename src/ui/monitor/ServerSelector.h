#pragma once

#include "serverlist/ServerEntry.h"

#include <QComboBox>

#include <optional>
#include <vector>

namespace ondel {

// The server selector (control 1008): an editable combo box whose drop-down list shows each
// server in three columns (address, game, name), the recent section first and separated by a
// line. Each item keeps a copy of what it shows and the server's address, so items never point
// into a list that may change under them. The edit field is plain text without completion.
// Before the drop-down list opens, aboutToShowPopup lets the owner refill the items; the Delete
// key in the open list is reported with deleteRequested. GUI thread only.
class ServerSelector : public QComboBox {
    Q_OBJECT
public:
    // Item data roles.
    enum Role {
        AddressTextRole = Qt::UserRole + 1,
        GameDirRole,
        HostNameRole,
        HostBytesRole, // QByteArray: the host as stored
        PortRole,
    };

    explicit ServerSelector(QWidget* parent = nullptr);

    // Replaces the items with these entries (recent section first; recentEnd is the index of its
    // last item, -1 when empty), keeping the edit text and emitting no text change.
    void setEntries(const std::vector<const ServerEntry*>& entries, int recentEnd);
    int recentEnd() const { return m_recentEnd; }

    // The address of the item at index, or nothing for an invalid index.
    std::optional<ServerAddress> addressAt(int index) const;

    // Sets the edit text without reporting it as typed.
    void setEditTextQuietly(const QString& text);

    // Column widths of the drop-down items for the item font: the widest address text and the
    // widest game directory, measured again after every refill.
    int addressColumnWidth() const;
    int gameColumnWidth() const;

    void showPopup() override;
    bool isPopupVisible() const;

signals:
    void aboutToShowPopup();
    // Delete pressed on the highlighted item of the open list; topRow is the first visible row.
    void deleteRequested(int index, int topRow);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void measure() const;

    int m_recentEnd = -1;
    mutable bool m_measureAgain = true;
    mutable int m_addressWidth = 0;
    mutable int m_gameWidth = 0;
};

} // namespace ondel
