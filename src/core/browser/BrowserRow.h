#pragma once

#include "browser/Scan.h"
#include "query/QueryDialect.h"
#include "serverlist/ServerAddress.h"
#include "serverlist/ServerEntry.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondel {

// The browser table's columns, in display order.
enum class BrowserColumn {
    Name,
    Address,
    Map,
    Players,
    Ping,
    Game,
    Password,
    Dialect,
    Country,
    Count
};

// One server as the browser shows it: what the list knows of it, and what the last scan of this
// window learnt (state, ping, dialect, bots). Texts are UTF-8 for display (converted once from
// the bytes of the list or the server).
struct BrowserRow {
    enum class State {
        Unknown, // not scanned by this window yet: the list's last known data
        Up,
        Timeout,
    };

    ServerAddress address;
    std::string name;
    std::string map;
    std::string game; // the game's description, or its folder when the server gave none
    bool infoValid = false;
    int players = 0;
    int maxPlayers = 0;
    int bots = -1;   // -1: the server does not say
    int pingMs = -1; // -1: not known
    bool password = false;
    std::optional<QueryDialect> dialect;
    State state = State::Unknown;
    std::vector<std::string> playerNames;
    std::string madeUp;    // why the last answers look made up; empty: they look real
    std::string country;   // two-letter code from the country database; empty: not known
    std::string blockedBy; // the blocklist entry that blocks it; empty: not blocked
};

// A row from a list entry: its last known name, map, game, players and ping.
BrowserRow rowFromEntry(const ServerEntry& entry);

// A scan result into the row. A timeout keeps the last known data and marks the row. The row's
// country and blocklist entry stay; whether they look made up is decided from the answers anew.
void applyResult(BrowserRow& row, const ScanResult& result);

// A scan result into the list's entry: the info block and the ping when the server answered,
// the players and rules blocks when those replies came. The user's data (password, comment,
// reserved slots, last connection) and the address are never touched; a timeout changes nothing.
void applyResult(ServerEntry& entry, const ScanResult& result);

// The text of a cell: plain text, with control characters shown as visible symbols. The
// password column's text is empty (the window draws a lock).
std::string cellText(const BrowserRow& row, BrowserColumn column);

// Order of two rows by a column, ascending: <0, 0 or >0. Texts compare case-insensitively and
// naturally (numbers in them as numbers: "#2" before "#11"); players, ping and addresses compare
// as numbers. Rows with nothing to show in the column come last (a ping that timed out before
// one that was never measured).
int compareRows(const BrowserRow& a, const BrowserRow& b, BrowserColumn column);

// 0 for a row with something to show in the column; above 0 for one without (no answer, empty
// text), larger for less. Rows of a higher rank go after the others in both sort directions.
int sortRank(const BrowserRow& row, BrowserColumn column);

// Case-insensitive text order in which runs of digits compare by their value: "Server #2"
// before "Server #11", "a01" and "a1" equal by value (then by the longer run first).
int naturalCompare(std::string_view a, std::string_view b);

// What this window's scans learnt of a server, kept across list switches and reloads: the
// row's state, ping, dialect and bots.
struct RowScanState {
    BrowserRow::State state = BrowserRow::State::Unknown;
    int pingMs = -1;
    int bots = -1;
    std::optional<QueryDialect> dialect;
};
RowScanState scanStateOf(const BrowserRow& row);
// Puts a known state into a row made from the list; a row never scanned keeps the list's ping.
void applyScanState(BrowserRow& row, const RowScanState& state);

// What the user asked to see.
struct BrowserFilter {
    std::string text;          // held by the name, the map or the address (case-insensitive)
    std::string player;        // a player whose name holds this text (case-insensitive)
    bool hideEmpty = false;    // no human players (bots do not count), or nothing known
    bool hideFull = false;     // every slot taken
    bool hidePassword = false; // a password is needed to join
    bool hideFakes = true;     // the answers look made up
    // Blocked servers are never shown.
};

bool matches(const BrowserRow& row, const BrowserFilter& filter);

// Whether one of the row's players has a name that holds text (case-insensitive; empty text
// matches every row).
bool hasPlayerLike(const BrowserRow& row, std::string_view text);

// UTF-8 with every C0 control character and DEL replaced by its visible symbol (U+2400 block),
// so that a name with a line break or an escape code shows as one line of what it holds.
std::string withVisibleControls(std::string_view utf8);

} // namespace ondel
