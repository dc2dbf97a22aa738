#include "browser/BrowserRow.h"

#include <gtest/gtest.h>

using namespace ondel;

namespace {

BrowserRow row(const std::string& host, const std::string& name, int players, int maxPlayers) {
    BrowserRow r;
    r.address = {host, 27015};
    r.name = name;
    r.infoValid = true;
    r.players = players;
    r.maxPlayers = maxPlayers;
    return r;
}

ScanResult upResult(const ServerAddress& address) {
    ScanResult r;
    r.address = address;
    r.status = ScanResult::Status::Up;
    r.dialect = QueryDialect::Steam;
    r.pingMs = 42;
    r.bots = 2;
    r.entry.address = address;
    r.entry.infoValid = true;
    r.entry.hostName = "Fresh";
    r.entry.map = "de_dust2";
    r.entry.players = 5;
    r.entry.maxPlayers = 16;
    r.entry.passwordRequired = 1;
    r.entry.playerList = {{1, "Alice", 3, 10}};
    r.gotPlayers = true;
    return r;
}

TEST(BrowserRow, ResultUpdatesTheQueryFieldsButNeverTheUsersData) {
    ServerEntry e;
    e.address = {"10.0.0.5", 27015};
    e.password = "secret";
    e.savePassword = true;
    e.comment = "clan";
    e.reservedSlots = 3;
    e.lastConnected = 77;
    e.hostName = "Old";
    e.playerList = {{1, "Bob", 1, 1}};
    e.rules = {{"mp_timelimit", "20"}};
    e.timeLimit = 20;

    ScanResult r = upResult(e.address);
    r.entry.password = "from the scan"; // a result never carries user data; make sure it stays
    applyResult(e, r);
    EXPECT_EQ(e.hostName, "Fresh");
    EXPECT_EQ(e.map, "de_dust2");
    EXPECT_EQ(e.players, 5);
    EXPECT_EQ(e.lastPing, 42);
    ASSERT_EQ(e.playerList.size(), 1u);
    EXPECT_EQ(e.playerList[0].name, "Alice");
    EXPECT_EQ(e.password, "secret");
    EXPECT_EQ(e.comment, "clan");
    EXPECT_EQ(e.reservedSlots, 3);
    EXPECT_EQ(e.lastConnected, 77);
    // No rules reply: the stored rules stay.
    EXPECT_EQ(e.timeLimit, 20);
    EXPECT_EQ(e.rules.size(), 1u);

    // A timeout changes nothing in the list.
    const ServerEntry before = e;
    ScanResult timeout;
    timeout.address = e.address;
    applyResult(e, timeout);
    EXPECT_EQ(e, before);
}

TEST(BrowserRow, TimeoutKeepsTheLastKnownDataAndMarksTheRow) {
    BrowserRow r = row("10.0.0.5", "Known", 3, 10);
    applyResult(r, upResult(r.address));
    EXPECT_EQ(cellText(r, BrowserColumn::Players), "5/16 (2 bots)");
    EXPECT_EQ(cellText(r, BrowserColumn::Ping), "42");
    EXPECT_EQ(cellText(r, BrowserColumn::Dialect), "steam");
    EXPECT_TRUE(hasPlayerLike(r, "ali"));

    ScanResult timeout;
    timeout.address = r.address;
    applyResult(r, timeout);
    EXPECT_EQ(cellText(r, BrowserColumn::Name), "Fresh");
    EXPECT_EQ(cellText(r, BrowserColumn::Ping), "Timeout");
    EXPECT_EQ(cellText(r, BrowserColumn::Dialect), "steam");

    // A details answer without a players answer keeps the players known before.
    ScanResult noPlayers = upResult(r.address);
    noPlayers.gotPlayers = false;
    noPlayers.entry.playerList.clear();
    applyResult(r, noPlayers);
    EXPECT_TRUE(hasPlayerLike(r, "ALICE"));
}

TEST(BrowserRow, ServerTextShowsControlCharactersAndNeverLosesBytes) {
    ServerEntry e;
    e.hostName = std::string("a\nb\x1b[31m\x7f", 9);
    e.map = "\xe9t\xe9"; // not UTF-8: read as Windows-1252
    BrowserRow r = rowFromEntry(e);
    EXPECT_EQ(cellText(r, BrowserColumn::Name), "a\u240Ab\u241B[31m\u2421");
    EXPECT_EQ(cellText(r, BrowserColumn::Map), "\u00e9t\u00e9");
    EXPECT_EQ(withVisibleControls("<b>x</b>"), "<b>x</b>");
}

TEST(BrowserRow, ColumnsSortNumbersAsNumbersAndEmptyLast) {
    struct Case {
        BrowserColumn column;
        BrowserRow a, b;
        int expected; // sign
    };
    BrowserRow nine = row("9.0.0.1", "b", 9, 10);
    BrowserRow ten = row("10.0.0.1", "B", 10, 10);
    BrowserRow named = row("ab.cd.ef", "", 0, 0);
    BrowserRow fast = nine;
    fast.pingMs = 5;
    BrowserRow slow = nine;
    slow.pingMs = 300;
    BrowserRow timedOut = nine;
    timedOut.state = BrowserRow::State::Timeout;
    BrowserRow unknown = nine; // never measured
    BrowserRow noInfo = nine;
    noInfo.infoValid = false;
    BrowserRow otherPort = nine;
    otherPort.address.port = 27016;
    const Case cases[] = {
        {BrowserColumn::Address, nine, ten, -1},  // 9 < 10, not as text
        {BrowserColumn::Address, ten, named, -1}, // numbers before names
        {BrowserColumn::Address, nine, otherPort, -1},
        {BrowserColumn::Players, nine, ten, -1},
        {BrowserColumn::Players, noInfo, named, 1}, // no info below 0 players
        {BrowserColumn::Ping, slow, fast, 1},
        {BrowserColumn::Ping, slow, timedOut, -1},
        {BrowserColumn::Ping, timedOut, unknown, -1},
        {BrowserColumn::Name, nine, ten, 0},   // case-insensitive
        {BrowserColumn::Name, named, nine, 1}, // an empty name goes last
    };
    for (const Case& c : cases) {
        const int got = compareRows(c.a, c.b, c.column);
        EXPECT_EQ((got > 0) - (got < 0), c.expected)
            << "column " << static_cast<int>(c.column) << ": " << c.a.address.host << " vs "
            << c.b.address.host;
        const int back = compareRows(c.b, c.a, c.column);
        EXPECT_EQ((back > 0) - (back < 0), -c.expected);
    }
}

TEST(BrowserRow, FilterTextAndHideRules) {
    BrowserRow full = row("10.0.0.1", "Full House", 16, 16);
    full.map = "de_dust2";
    BrowserRow botsOnly = row("10.0.0.2", "Bots", 4, 16);
    botsOnly.bots = 4;
    BrowserRow locked = row("10.0.0.3", "Locked", 3, 16);
    locked.password = true;
    BrowserRow silent = row("10.0.0.4", "", 0, 0);
    silent.infoValid = false;

    struct Case {
        BrowserFilter filter;
        std::vector<bool> shown; // full, botsOnly, locked, silent
    };
    BrowserFilter text;
    text.text = "DUST";
    BrowserFilter address;
    address.text = "0.0.3:27015";
    BrowserFilter empty;
    empty.hideEmpty = true;
    BrowserFilter fullHidden;
    fullHidden.hideFull = true;
    BrowserFilter password;
    password.hidePassword = true;
    const Case cases[] = {
        {{}, {true, true, true, true}},          {text, {true, false, false, false}},
        {address, {false, false, true, false}},  {empty, {true, false, true, false}},
        {fullHidden, {false, true, true, true}}, {password, {true, true, false, true}},
    };
    const BrowserRow* rows[] = {&full, &botsOnly, &locked, &silent};
    for (std::size_t c = 0; c < std::size(cases); ++c)
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(matches(*rows[i], cases[c].filter), cases[c].shown[i])
                << "case " << c << " row " << i;
}

} // namespace

TEST(BrowserRow, NamesSortNaturally) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"Server #2", "Server #11", -1},
        {"Server #11", "server #2", 1}, // case-insensitive around the numbers
        {"de_dust2", "de_dust", 1},
        {"a99999999999999999999999", "a100000000000000000000000", -1}, // no overflow
        {"a007", "a7", -1},                                            // equal value: zeros first
        {"abc", "ABC", 0},
        {"#1 b", "#1 a", 1},
    };
    for (const Case& c : cases) {
        const int got = naturalCompare(c.a, c.b);
        EXPECT_EQ((got > 0) - (got < 0), c.expected) << c.a << " vs " << c.b;
        const int back = naturalCompare(c.b, c.a);
        EXPECT_EQ((back > 0) - (back < 0), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST(BrowserRow, ScanStateSurvivesARowMadeAgainFromTheList) {
    ServerEntry entry;
    entry.address = {"127.0.0.1", 27015};
    entry.infoValid = true;
    BrowserRow scanned = rowFromEntry(entry);
    applyResult(scanned, upResult(entry.address));
    scanned.pingMs = 0; // loopback answers within a millisecond
    BrowserRow again = rowFromEntry(entry);
    applyScanState(again, scanStateOf(scanned));
    EXPECT_EQ(again.state, BrowserRow::State::Up);
    EXPECT_EQ(again.pingMs, 0);
    EXPECT_EQ(again.dialect, QueryDialect::Steam);
    EXPECT_EQ(cellText(again, BrowserColumn::Ping), "0");

    ScanResult lost;
    lost.address = entry.address;
    lost.status = ScanResult::Status::Timeout;
    applyResult(scanned, lost);
    BrowserRow grey = rowFromEntry(entry);
    applyScanState(grey, scanStateOf(scanned));
    EXPECT_EQ(cellText(grey, BrowserColumn::Ping), "Timeout");
    EXPECT_EQ(sortRank(grey, BrowserColumn::Ping), 1);
}
