#include "browser/BrowserRow.h"

#include "browser/FakeServerRules.h"
#include "common/Text.h"

#include <algorithm>
#include <cstdint>

namespace ondel {

namespace {

std::string display(const std::string& bytes) {
    return text::toDisplayUtf8(bytes);
}

char foldChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool containsFolded(std::string_view hay, std::string_view needle) {
    if (needle.empty())
        return true;
    auto it = std::search(hay.begin(), hay.end(), needle.begin(), needle.end(),
                          [](char a, char b) { return foldChar(a) == foldChar(b); });
    return it != hay.end();
}

// A dotted IPv4 host as one number; nothing for names.
std::optional<std::uint32_t> dottedValue(const std::string& host) {
    std::uint32_t value = 0;
    std::uint32_t part = 0;
    int parts = 0;
    int digits = 0;
    for (char c : host) {
        if (c >= '0' && c <= '9') {
            part = part * 10 + static_cast<std::uint32_t>(c - '0');
            if (++digits > 3 || part > 255)
                return std::nullopt;
        } else if (c == '.' && digits > 0) {
            value = (value << 8) | part;
            part = 0;
            digits = 0;
            ++parts;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0 || parts != 3)
        return std::nullopt;
    return (value << 8) | part;
}

template <typename T> int threeWay(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

int compareAddresses(const ServerAddress& a, const ServerAddress& b) {
    const auto va = dottedValue(a.host);
    const auto vb = dottedValue(b.host);
    int c = 0;
    if (va && vb)
        c = threeWay(*va, *vb);
    else if (va || vb)
        c = va ? -1 : 1; // numbers before names
    else
        c = text::foldCompare(a.host, b.host);
    return c != 0 ? c : threeWay(a.port, b.port);
}

// Ping order: measured pings ascending, then timeouts, then never measured.
int pingRank(const BrowserRow& row) {
    if (row.state == BrowserRow::State::Timeout)
        return 1;
    return row.pingMs >= 0 ? 0 : 2;
}

// Texts with nothing in them go last.
int compareTexts(const std::string& a, const std::string& b) {
    if (a.empty() != b.empty())
        return a.empty() ? 1 : -1;
    if (int c = naturalCompare(a, b); c != 0)
        return c;
    return text::foldCompare(a, b);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int humans(const BrowserRow& row) {
    return row.players - std::max(row.bots, 0);
}

} // namespace

BrowserRow rowFromEntry(const ServerEntry& entry) {
    BrowserRow row;
    row.address = entry.address;
    row.name = display(entry.hostName);
    row.map = display(entry.map);
    row.game = display(entry.gameDescription.empty() ? entry.gameDir : entry.gameDescription);
    row.infoValid = entry.infoValid;
    row.players = entry.players;
    row.maxPlayers = entry.maxPlayers;
    row.password = entry.passwordRequired != 0;
    row.pingMs =
        entry.infoValid && entry.lastPing > 0 && entry.lastPing < 3000 ? entry.lastPing : -1;
    row.playerNames.reserve(entry.playerList.size());
    for (const PlayerRecord& p : entry.playerList)
        row.playerNames.push_back(display(p.name));
    return row;
}

void applyResult(BrowserRow& row, const ScanResult& result) {
    if (result.dialect)
        row.dialect = result.dialect;
    if (result.status == ScanResult::Status::Timeout) {
        row.state = BrowserRow::State::Timeout;
        row.pingMs = -1;
        return;
    }
    BrowserRow fresh = rowFromEntry(result.entry);
    fresh.address = row.address;
    fresh.state = BrowserRow::State::Up;
    fresh.infoValid = true;
    fresh.pingMs = result.pingMs;
    fresh.bots = result.bots;
    fresh.dialect = row.dialect;
    fresh.country = std::move(row.country);
    fresh.blockedBy = std::move(row.blockedBy);
    fresh.madeUp = madeUpReason({&result.entry, result.gotPlayers, result.bots});
    if (!result.gotPlayers)
        fresh.playerNames = std::move(row.playerNames);
    row = std::move(fresh);
}

void applyResult(ServerEntry& entry, const ScanResult& result) {
    if (result.status != ScanResult::Status::Up)
        return;
    const ServerEntry& r = result.entry;
    if (result.pingMs >= 0)
        entry.lastPing = result.pingMs;
    entry.infoTime = r.infoTime;
    entry.infoValid = true;
    entry.hostName = r.hostName;
    entry.map = r.map;
    entry.gameDir = r.gameDir;
    entry.gameDescription = r.gameDescription;
    entry.players = r.players;
    entry.maxPlayers = r.maxPlayers;
    entry.protocol = r.protocol;
    entry.serverType = r.serverType;
    entry.os = r.os;
    entry.passwordRequired = r.passwordRequired;
    entry.isMod = r.isMod;
    if (result.gotPlayers) {
        entry.playersTime = r.playersTime;
        entry.playerList = r.playerList;
    }
    if (result.gotRules) {
        entry.rulesTime = r.rulesTime;
        entry.rulesValid = r.rulesValid;
        entry.rules = r.rules;
        entry.timeLeft = r.timeLeft;
        entry.timeLimit = r.timeLimit;
        entry.adminModVersion = r.adminModVersion;
        entry.friendlyFire = r.friendlyFire;
        entry.reserveSlots = r.reserveSlots;
    }
}

std::string cellText(const BrowserRow& row, BrowserColumn column) {
    switch (column) {
    case BrowserColumn::Name:
        return withVisibleControls(row.name);
    case BrowserColumn::Address:
        return withVisibleControls(text::toDisplayUtf8(addressText(row.address)));
    case BrowserColumn::Map:
        return withVisibleControls(row.map);
    case BrowserColumn::Players:
        if (!row.infoValid)
            return {};
        if (row.bots > 0)
            return text::format("%d/%d (%d bots)", row.players, row.maxPlayers, row.bots);
        return text::format("%d/%d", row.players, row.maxPlayers);
    case BrowserColumn::Ping:
        if (row.state == BrowserRow::State::Timeout)
            return "Timeout";
        return row.pingMs >= 0 ? std::to_string(row.pingMs) : std::string();
    case BrowserColumn::Game:
        return withVisibleControls(row.game);
    case BrowserColumn::Password:
        return {};
    case BrowserColumn::Dialect:
        return row.dialect ? dialectName(*row.dialect) : "";
    case BrowserColumn::Country:
        return row.country;
    case BrowserColumn::Count:
        break;
    }
    return {};
}

int compareRows(const BrowserRow& a, const BrowserRow& b, BrowserColumn column) {
    switch (column) {
    case BrowserColumn::Name:
        return compareTexts(a.name, b.name);
    case BrowserColumn::Address:
        return compareAddresses(a.address, b.address);
    case BrowserColumn::Map:
        return compareTexts(a.map, b.map);
    case BrowserColumn::Players:
        if (a.infoValid != b.infoValid)
            return a.infoValid ? -1 : 1;
        if (int c = threeWay(a.players, b.players); c != 0)
            return c;
        return threeWay(a.maxPlayers, b.maxPlayers);
    case BrowserColumn::Ping:
        if (int c = threeWay(pingRank(a), pingRank(b)); c != 0)
            return c;
        return threeWay(a.pingMs, b.pingMs);
    case BrowserColumn::Game:
        return compareTexts(a.game, b.game);
    case BrowserColumn::Password:
        return threeWay(a.password, b.password);
    case BrowserColumn::Dialect:
        return compareTexts(a.dialect ? dialectName(*a.dialect) : "",
                            b.dialect ? dialectName(*b.dialect) : "");
    case BrowserColumn::Country:
        return compareTexts(a.country, b.country);
    case BrowserColumn::Count:
        break;
    }
    return 0;
}

int naturalCompare(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            // Compare the runs by value: without leading zeros, the longer run is larger, and
            // runs of one length compare digit by digit (no overflow for any length).
            const std::size_t startA = i;
            const std::size_t startB = j;
            while (i < a.size() && a[i] == '0')
                ++i;
            while (j < b.size() && b[j] == '0')
                ++j;
            const std::size_t valueA = i;
            const std::size_t valueB = j;
            while (i < a.size() && isDigit(a[i]))
                ++i;
            while (j < b.size() && isDigit(b[j]))
                ++j;
            const std::size_t lengthA = i - valueA;
            const std::size_t lengthB = j - valueB;
            if (lengthA != lengthB)
                return lengthA < lengthB ? -1 : 1;
            if (int c = a.substr(valueA, lengthA).compare(b.substr(valueB, lengthB)); c != 0)
                return c < 0 ? -1 : 1;
            // Equal values: the run with more leading zeros first.
            const std::size_t runA = i - startA;
            const std::size_t runB = j - startB;
            if (runA != runB)
                return runA > runB ? -1 : 1;
            continue;
        }
        const char ca = foldChar(a[i]);
        const char cb = foldChar(b[j]);
        if (ca != cb)
            return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb) ? -1 : 1;
        ++i;
        ++j;
    }
    return threeWay(a.size() - i, b.size() - j);
}

int sortRank(const BrowserRow& row, BrowserColumn column) {
    switch (column) {
    case BrowserColumn::Name:
        return row.name.empty() ? 1 : 0;
    case BrowserColumn::Map:
        return row.map.empty() ? 1 : 0;
    case BrowserColumn::Game:
        return row.game.empty() ? 1 : 0;
    case BrowserColumn::Players:
        return row.infoValid ? 0 : 1;
    case BrowserColumn::Ping:
        return pingRank(row);
    case BrowserColumn::Dialect:
        return row.dialect ? 0 : 1;
    case BrowserColumn::Country:
        return row.country.empty() ? 1 : 0;
    case BrowserColumn::Address:
    case BrowserColumn::Password:
    case BrowserColumn::Count:
        break;
    }
    return 0;
}

RowScanState scanStateOf(const BrowserRow& row) {
    return RowScanState{row.state, row.pingMs, row.bots, row.dialect};
}

void applyScanState(BrowserRow& row, const RowScanState& state) {
    row.state = state.state;
    row.dialect = state.dialect;
    row.bots = state.bots;
    if (state.state != BrowserRow::State::Unknown)
        row.pingMs = state.pingMs;
}

bool matches(const BrowserRow& row, const BrowserFilter& filter) {
    if (!row.blockedBy.empty() || (filter.hideFakes && !row.madeUp.empty()))
        return false;
    if (filter.hideEmpty && (!row.infoValid || humans(row) <= 0))
        return false;
    if (filter.hideFull && row.infoValid && row.maxPlayers > 0 && row.players >= row.maxPlayers)
        return false;
    if (filter.hidePassword && row.password)
        return false;
    if (!filter.text.empty() && !containsFolded(row.name, filter.text) &&
        !containsFolded(row.map, filter.text) &&
        !containsFolded(addressText(row.address), filter.text))
        return false;
    return hasPlayerLike(row, filter.player);
}

bool hasPlayerLike(const BrowserRow& row, std::string_view text) {
    if (text.empty())
        return true;
    return std::any_of(row.playerNames.begin(), row.playerNames.end(),
                       [&](const std::string& name) { return containsFolded(name, text); });
}

std::string withVisibleControls(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            // U+2400 + c, or U+2421 for DEL: E2 90 80+c / E2 90 A1.
            const unsigned symbol = c == 0x7F ? 0x21u : c;
            out += '\xE2';
            out += '\x90';
            out += static_cast<char>(0x80 + symbol);
        } else {
            out += ch;
        }
    }
    return out;
}

} // namespace ondel
