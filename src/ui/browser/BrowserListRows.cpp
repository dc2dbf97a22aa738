#include "BrowserListRows.h"

#include "BrowserModel.h"
#include "BrowserProxyModel.h"
#include "browser/ScanService.h"
#include "serverlist/ServerListSet.h"

#include <unordered_set>

namespace ondel {

BrowserListRows::BrowserListRows(ServerListSet& lists, QObject* parent)
    : QObject(parent), m_lists(lists) {
    m_model = new BrowserModel(this);
    m_proxy = new BrowserProxyModel(*m_model, this);
}

void BrowserListRows::show(std::size_t index) {
    if (index < m_lists.size())
        m_path = m_lists.at(index).filePath();
}

int BrowserListRows::index() const {
    if (m_path.empty() && m_lists.empty())
        return -1;
    return m_lists.findByFilePath(m_path);
}

ServerList* BrowserListRows::list() const {
    const int i = index();
    return i >= 0 ? &m_lists.at(static_cast<std::size_t>(i)) : nullptr;
}

void BrowserListRows::rememberScanStates() {
    for (const BrowserRow& row : m_model->rows())
        if (row.state != BrowserRow::State::Unknown || row.dialect)
            m_scanStates[addressText(row.address)] = scanStateOf(row);
}

void BrowserListRows::reload() {
    rememberScanStates();
    const ServerList* shown = list();
    std::vector<BrowserRow> rows;
    if (shown != nullptr) {
        rows.reserve(shown->size());
        for (const ServerEntry& entry : shown->entries()) {
            BrowserRow row = rowFromEntry(entry);
            if (auto it = m_scanStates.find(addressText(entry.address)); it != m_scanStates.end())
                applyScanState(row, it->second);
            rows.push_back(std::move(row));
        }
    }
    m_model->setRows(std::move(rows));
}

std::vector<ServerAddress> BrowserListRows::toAsk() {
    // A server the list holds twice is asked once; a blocked one not at all (one whose name is
    // blocked was asked once, and is not asked again while its name is known).
    std::vector<ServerAddress> addresses;
    std::unordered_set<std::string> seen;
    m_blockedNotAsked = 0;
    const ServerList* shown = list();
    if (shown == nullptr)
        return addresses;
    for (const ServerEntry& entry : shown->entries()) {
        if (!seen.insert(addressText(entry.address)).second)
            continue;
        const int i = m_model->indexOf(entry.address);
        if (i >= 0 && !m_model->row(i).blockedBy.empty())
            ++m_blockedNotAsked;
        else
            addresses.push_back(entry.address);
    }
    return addresses;
}

void BrowserListRows::apply(const std::vector<ScanResult>& batch) {
    if (ServerList* shown = list()) {
        for (const ScanResult& r : batch) {
            const int i = shown->find(r.address);
            if (i >= 0) {
                applyResult(shown->entries()[static_cast<std::size_t>(i)], r);
                shown->entryChanged(static_cast<std::size_t>(i));
            }
        }
    }
    m_model->applyResults(batch);
    rememberScanStates();
}

const ServerEntry* BrowserListRows::entryAt(int proxyRow) const {
    const BrowserRow* row = m_proxy->rowAt(proxyRow);
    const ServerList* shown = list();
    const int i = row != nullptr && shown != nullptr ? shown->find(row->address) : -1;
    return i >= 0 ? &shown->entries()[static_cast<std::size_t>(i)] : nullptr;
}

} // namespace ondel
