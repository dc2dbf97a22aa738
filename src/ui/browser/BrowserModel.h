#pragma once

#include "browser/Blocklist.h"
#include "browser/BrowserRow.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <string>
#include <unordered_map>
#include <vector>

namespace ondel {

class CountryLookup;

// The browser's table: one BrowserRow per server of the shown list, in the list's order (the
// view sorts through BrowserProxyModel). Rows are found by address; results come in batches so
// that the views are told once per batch, not once per server.
// Texts are plain: the model gives strings, never markup. GUI thread only.
class BrowserModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit BrowserModel(QObject* parent = nullptr);

    // Where each row's country comes from; nullptr: no countries. Not owned.
    void setCountryLookup(const CountryLookup* countries);
    bool hasCountries() const { return m_countries != nullptr; }
    // The blocklist the rows are marked by (addresses at once, names as answers come).
    void setBlocklist(Blocklist blocklist);
    const Blocklist& blocklist() const { return m_blocklist; }

    // Replaces every row (their countries and blocklist entries are filled in).
    void setRows(std::vector<BrowserRow> rows);
    // The results into the rows of their addresses (results of servers not shown are dropped).
    void applyResults(const std::vector<ScanResult>& results);

    const BrowserRow& row(int index) const { return m_rows[static_cast<std::size_t>(index)]; }
    const std::vector<BrowserRow>& rows() const { return m_rows; }
    // Row index of the address, or -1.
    int indexOf(const ServerAddress& address) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The lock drawn for a password-protected server.
    static QIcon lockIcon();
    // The mark of a server whose answers look made up.
    static QIcon fakeIcon();

private:
    static std::string key(const ServerAddress& address);
    void rebuildIndex();
    void screen(BrowserRow& row) const;

    std::vector<BrowserRow> m_rows;
    std::unordered_map<std::string, int> m_index; // addressText -> row
    const CountryLookup* m_countries = nullptr;
    Blocklist m_blocklist;
    bool m_flags = false; // the font can draw the flag symbols
};

} // namespace ondel
