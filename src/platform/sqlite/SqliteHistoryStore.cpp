#include "sqlite/SqliteHistoryStore.h"

#include "common/ByteReader.h"
#include "common/ByteWriter.h"
#include "common/Text.h"
#include "history/HistoryFold.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <unordered_map>

namespace ondel {

namespace {

constexpr std::int64_t kHourMs = 3'600'000;
constexpr std::int64_t kDayMs = 24 * kHourMs;
constexpr int kBucketsPerHour = static_cast<int>(kHourMs / HistoryTotals::kBucketMs);
constexpr int kBusyTimeoutMs = 5000;

const char* const kSchema = R"(
CREATE TABLE servers(id INTEGER PRIMARY KEY, address BLOB NOT NULL UNIQUE,
                     last_map INTEGER NOT NULL DEFAULT 0);
CREATE TABLE maps(id INTEGER PRIMARY KEY, name BLOB NOT NULL UNIQUE);
CREATE TABLE samples(server INTEGER NOT NULL, time INTEGER NOT NULL, players INTEGER,
                     bots INTEGER, max_players INTEGER, map INTEGER, ping INTEGER,
                     PRIMARY KEY(server, time)) WITHOUT ROWID;
CREATE TABLE folded(hour INTEGER NOT NULL, server INTEGER NOT NULL, rows BLOB NOT NULL,
                    PRIMARY KEY(hour, server)) WITHOUT ROWID;
CREATE TABLE map_events(server INTEGER NOT NULL, time INTEGER NOT NULL, from_map INTEGER NOT NULL,
                        to_map INTEGER NOT NULL, PRIMARY KEY(server, time)) WITHOUT ROWID;
PRAGMA user_version = 1;
)";

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::int64_t systemNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string errorText(sqlite3* db, const std::string& what) {
    return what + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
}

// One prepared statement; reset for reuse by bind().
class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement(Statement&& o) noexcept : m_stmt(o.m_stmt) { o.m_stmt = nullptr; }
    Statement& operator=(Statement&& o) noexcept {
        std::swap(m_stmt, o.m_stmt);
        return *this;
    }

    bool ok() const { return m_stmt != nullptr; }
    Statement& reset() {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        return *this;
    }
    void bind(int i, std::int64_t v) { sqlite3_bind_int64(m_stmt, i, v); }
    void bindNull(int i) { sqlite3_bind_null(m_stmt, i); }
    void bindBytes(int i, const std::string& v) {
        sqlite3_bind_blob(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    void bindBytes(int i, const std::vector<std::uint8_t>& v) {
        sqlite3_bind_blob(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int step() { return sqlite3_step(m_stmt); }
    bool isNull(int i) const { return sqlite3_column_type(m_stmt, i) == SQLITE_NULL; }
    std::int64_t integer(int i) const { return sqlite3_column_int64(m_stmt, i); }
    int small(int i) const {
        return static_cast<int>(std::clamp<std::int64_t>(integer(i), INT32_MIN, INT32_MAX));
    }
    std::string bytes(int i) const {
        const void* p = sqlite3_column_blob(m_stmt, i);
        int n = sqlite3_column_bytes(m_stmt, i);
        return p && n > 0 ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n))
                          : std::string();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

bool exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

int userVersion(sqlite3* db) {
    Statement st(db, "PRAGMA user_version");
    return st.ok() && st.step() == SQLITE_ROW ? st.small(0) : -1;
}

// --- The five-minute rows of one server and hour, packed -------------------------------------
// Thirty days of a thousand servers are eight million five-minute rows: one table row each would
// cost more than the rows' own numbers, so the rows of one server and hour share one table row.
// Per five minutes: one byte, the five minutes within the hour (0..11) in the low four bits and
// flags in the high ones, then unsigned LEB128 numbers:
//   samples; answers (unless kAllAnswered); when there were answers: min players, max - min,
//   sum - min * answers; max slots (unless kSameSlots: as the row before); pings (unless
//   kPingPerAnswer: one per answer); when there were pings: their sum; the map's number + 1
//   (unless kSameMap: as the row before; 0: none).
// Sums and counts rather than means, so that a late part of the five minutes adds in exactly.

constexpr std::uint8_t kIndexBits = 0x0f;
constexpr std::uint8_t kAllAnswered = 0x10;
constexpr std::uint8_t kPingPerAnswer = 0x20;
constexpr std::uint8_t kSameSlots = 0x40;
constexpr std::uint8_t kSameMap = 0x80;

void putVarint(ByteWriter& out, std::uint64_t v) {
    while (v >= 0x80) {
        out.u8(static_cast<std::uint8_t>(v | 0x80));
        v >>= 7;
    }
    out.u8(static_cast<std::uint8_t>(v));
}

std::uint64_t getVarint(ByteReader& in) {
    std::uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        std::uint8_t b = in.u8();
        if (!in.ok())
            return 0;
        v |= static_cast<std::uint64_t>(b & 0x7f) << shift;
        if ((b & 0x80) == 0)
            return v;
    }
    in.fail();
    return 0;
}

std::uint64_t unsignedOf(std::int64_t v) {
    return v < 0 ? 0 : static_cast<std::uint64_t>(v);
}

// Numbers read back are kept within what they were written from (int, and sums below 2^62).
int smallOf(std::uint64_t v) {
    return static_cast<int>(std::min<std::uint64_t>(v, INT32_MAX));
}
std::int64_t sumOf(std::uint64_t v) {
    return static_cast<std::int64_t>(std::min<std::uint64_t>(v, std::uint64_t{1} << 62));
}

struct PackedRow {
    HistoryTotals totals;   // lastMap unused: mapId holds it
    std::int64_t mapId = 0; // 0: none
};

using HourRows = std::map<int, PackedRow>; // by the five minutes within the hour

std::vector<std::uint8_t> packRows(const HourRows& rows) {
    ByteWriter out;
    int slotsBefore = -1;
    std::int64_t mapBefore = -1;
    for (const auto& [index, row] : rows) {
        const HistoryTotals& t = row.totals;
        std::uint8_t head = static_cast<std::uint8_t>(index & kIndexBits);
        if (t.ups == t.samples)
            head |= kAllAnswered;
        if (t.pings == t.ups)
            head |= kPingPerAnswer;
        if (t.maxSlots == slotsBefore)
            head |= kSameSlots;
        if (row.mapId == mapBefore)
            head |= kSameMap;
        out.u8(head);
        putVarint(out, unsignedOf(t.samples));
        if (!(head & kAllAnswered))
            putVarint(out, unsignedOf(t.ups));
        if (t.ups > 0) {
            putVarint(out, unsignedOf(t.minPlayers));
            putVarint(out, unsignedOf(t.maxPlayers - t.minPlayers));
            putVarint(out, unsignedOf(t.sumPlayers - std::int64_t{t.minPlayers} * t.ups));
        }
        if (!(head & kSameSlots))
            putVarint(out, unsignedOf(t.maxSlots));
        if (!(head & kPingPerAnswer))
            putVarint(out, unsignedOf(t.pings));
        if (t.pings > 0)
            putVarint(out, unsignedOf(t.sumPingMs));
        if (!(head & kSameMap))
            putVarint(out, unsignedOf(row.mapId));
        slotsBefore = t.maxSlots;
        mapBefore = row.mapId;
    }
    return out.take();
}

// A damaged or foreign blob gives the rows read before the damage.
HourRows unpackRows(const std::string& blob) {
    HourRows rows;
    ByteReader in(std::span(reinterpret_cast<const std::uint8_t*>(blob.data()), blob.size()));
    int slotsBefore = 0;
    std::int64_t mapBefore = 0;
    while (!in.atEnd()) {
        const std::uint8_t head = in.u8();
        const int index = head & kIndexBits;
        PackedRow row;
        HistoryTotals& t = row.totals;
        t.samples = smallOf(getVarint(in));
        t.ups = (head & kAllAnswered) ? t.samples : smallOf(getVarint(in));
        if (t.ups > 0) {
            t.minPlayers = smallOf(getVarint(in));
            t.maxPlayers = smallOf(unsignedOf(t.minPlayers) + getVarint(in) % (1u << 31));
            t.sumPlayers = sumOf(unsignedOf(std::int64_t{t.minPlayers} * t.ups) +
                                 getVarint(in) % (std::uint64_t{1} << 61));
        }
        t.maxSlots = (head & kSameSlots) ? slotsBefore : smallOf(getVarint(in));
        t.pings = (head & kPingPerAnswer) ? t.ups : smallOf(getVarint(in));
        if (t.pings > 0)
            t.sumPingMs = sumOf(getVarint(in));
        row.mapId = (head & kSameMap) ? mapBefore : sumOf(getVarint(in));
        if (!in.ok() || index >= kBucketsPerHour || t.ups > t.samples || t.pings > t.ups)
            break;
        slotsBefore = t.maxSlots;
        mapBefore = row.mapId;
        rows[index] = row;
    }
    return rows;
}

sqlite3* openConnection(const std::string& path, bool create, std::string& error) {
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        error = errorText(db, "cannot open " + path);
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    return db;
}

} // namespace

// --- Reading -----------------------------------------------------------------------------------

// A connection of one read call. Empty (no rows) when the file is missing or not ours.
class SqliteHistoryStore::Reader {
public:
    explicit Reader(const SqliteHistoryStore& store) {
        std::error_code ec;
        if (!std::filesystem::exists(store.m_path, ec))
            return;
        std::string error;
        m_db = openConnection(store.m_path, false, error);
        if (!m_db) {
            store.setError(error);
            return;
        }
        exec(m_db, "PRAGMA query_only = 1");
        int version = userVersion(m_db);
        if (version != kSchemaVersion) {
            if (version > kSchemaVersion)
                store.setError(store.m_path + ": made by a newer version of the program");
            close();
        }
    }
    ~Reader() { close(); }

    bool ok() const { return m_db != nullptr; }
    sqlite3* db() const { return m_db; }

    // The server's number, 0 when it has no history.
    std::int64_t serverId(const std::string& server) {
        Statement st(m_db, "SELECT id FROM servers WHERE address = ?");
        st.bindBytes(1, text::cutUtf8(server, kMaxServerBytes));
        return st.ok() && st.step() == SQLITE_ROW ? st.integer(0) : 0;
    }

    std::string mapName(std::int64_t id) {
        if (id <= 0)
            return {};
        auto it = m_maps.find(id);
        if (it != m_maps.end())
            return it->second;
        if (!m_mapQuery.ok())
            m_mapQuery = Statement(m_db, "SELECT name FROM maps WHERE id = ?");
        m_mapQuery.reset().bind(1, id);
        std::string name = m_mapQuery.step() == SQLITE_ROW ? m_mapQuery.bytes(0) : std::string();
        m_maps.emplace(id, name);
        return name;
    }

    std::vector<HistorySample> samples(std::int64_t id, const std::string& server,
                                       std::int64_t sinceMs, std::int64_t untilMs) {
        std::vector<HistorySample> out;
        if (id == 0)
            return out;
        Statement st(m_db, "SELECT time, players, bots, max_players, map, ping FROM samples "
                           "WHERE server = ? AND time >= ? AND time < ? ORDER BY time");
        if (!st.ok())
            return out;
        st.bind(1, id);
        st.bind(2, sinceMs);
        st.bind(3, untilMs);
        while (st.step() == SQLITE_ROW) {
            HistorySample s;
            s.server = server;
            s.timeMs = st.integer(0);
            s.up = !st.isNull(1);
            if (s.up) {
                s.players = st.small(1);
                s.bots = st.isNull(2) ? -1 : st.small(2);
                s.maxPlayers = st.small(3);
                s.map = mapName(st.integer(4));
                s.pingMs = st.isNull(5) ? -1 : st.small(5);
            }
            out.push_back(std::move(s));
        }
        return out;
    }

private:
    void close() {
        m_mapQuery = Statement();
        sqlite3_close(m_db);
        m_db = nullptr;
    }

    sqlite3* m_db = nullptr;
    Statement m_mapQuery;
    std::unordered_map<std::int64_t, std::string> m_maps;
};

std::vector<HistorySample> SqliteHistoryStore::samples(const std::string& server,
                                                       std::int64_t sinceMs, std::int64_t untilMs) {
    Reader reader(*this);
    if (!reader.ok())
        return {};
    return reader.samples(reader.serverId(server), server, sinceMs, untilMs);
}

std::vector<HistoryBucket> SqliteHistoryStore::buckets(const std::string& server,
                                                       std::int64_t sinceMs, std::int64_t untilMs) {
    std::vector<HistoryBucket> out;
    if (untilMs <= sinceMs)
        return out;
    std::map<std::int64_t, HistoryTotals> rows;
    Reader reader(*this);
    if (!reader.ok())
        return out;
    const std::int64_t id = reader.serverId(server);
    if (id == 0)
        return out;
    {
        // The folded hours: one lookup per hour of the span that the table holds at all. (Asked
        // as two subqueries: min and max in one select would read the whole table.)
        Statement span(reader.db(),
                       "SELECT (SELECT min(hour) FROM folded), (SELECT max(hour) FROM folded)");
        if (span.ok() && span.step() == SQLITE_ROW && !span.isNull(0)) {
            std::int64_t first = std::max(floorDiv(sinceMs, kHourMs), span.integer(0));
            std::int64_t last = std::min(floorDiv(untilMs - 1, kHourMs), span.integer(1));
            Statement hour(reader.db(), "SELECT rows FROM folded WHERE hour = ? AND server = ?");
            for (std::int64_t h = first; hour.ok() && h <= last; ++h) {
                hour.reset().bind(1, h);
                hour.bind(2, id);
                if (hour.step() != SQLITE_ROW)
                    continue;
                for (auto& [index, row] : unpackRows(hour.bytes(0))) {
                    std::int64_t start = h * kHourMs + index * HistoryTotals::kBucketMs;
                    if (start < sinceMs || start >= untilMs)
                        continue;
                    row.totals.lastMap = reader.mapName(row.mapId);
                    rows[start].merge(row.totals);
                }
            }
        }
    }
    // The raw samples still kept, folded on the fly; they came after what was folded.
    std::map<std::int64_t, HistoryTotals> recent;
    for (const HistorySample& s : reader.samples(id, server, sinceMs, untilMs))
        recent[HistoryTotals::bucketStart(s.timeMs)].add(s);
    for (const auto& [start, totals] : recent)
        rows[start].merge(totals);
    out.reserve(rows.size());
    for (const auto& [start, totals] : rows)
        out.push_back(totals.toBucket(server, start));
    return out;
}

std::vector<MapEvent> SqliteHistoryStore::mapEvents(const std::string& server, std::int64_t sinceMs,
                                                    std::int64_t untilMs) {
    std::vector<MapEvent> out;
    Reader reader(*this);
    if (!reader.ok())
        return out;
    std::int64_t id = reader.serverId(server);
    if (id == 0)
        return out;
    Statement st(reader.db(), "SELECT time, from_map, to_map FROM map_events "
                              "WHERE server = ? AND time >= ? AND time < ? ORDER BY time");
    if (!st.ok())
        return out;
    st.bind(1, id);
    st.bind(2, sinceMs);
    st.bind(3, untilMs);
    while (st.step() == SQLITE_ROW)
        out.push_back(MapEvent{server, st.integer(0), reader.mapName(st.integer(1)),
                               reader.mapName(st.integer(2))});
    return out;
}

// --- Writing -----------------------------------------------------------------------------------

// The writer thread's connection, statements and caches.
class SqliteHistoryStore::Writer {
public:
    explicit Writer(const SqliteHistoryStore& store) : m_store(store) {
        std::string error;
        m_db = openConnection(store.m_path, true, error);
        if (!m_db) {
            store.setError(error);
            return;
        }
        if (!prepareSchema()) {
            sqlite3_close(m_db);
            m_db = nullptr;
            return;
        }
        m_insertSample = Statement(m_db, "INSERT OR REPLACE INTO samples(server, time, players, "
                                         "bots, max_players, map, ping) VALUES(?,?,?,?,?,?,?)");
        m_insertEvent = Statement(
            m_db,
            "INSERT OR REPLACE INTO map_events(server, time, from_map, to_map) VALUES(?,?,?,?)");
        m_findServer = Statement(m_db, "SELECT id, last_map FROM servers WHERE address = ?");
        m_addServer = Statement(m_db, "INSERT INTO servers(address) VALUES(?)");
        m_setLastMap = Statement(m_db, "UPDATE servers SET last_map = ? WHERE id = ?");
        m_findMap = Statement(m_db, "SELECT id FROM maps WHERE name = ?");
        m_addMap = Statement(m_db, "INSERT INTO maps(name) VALUES(?)");
    }
    ~Writer() {
        m_insertSample = Statement();
        m_insertEvent = Statement();
        m_findServer = Statement();
        m_addServer = Statement();
        m_setLastMap = Statement();
        m_findMap = Statement();
        m_addMap = Statement();
        if (m_db)
            exec(m_db, "PRAGMA optimize");
        sqlite3_close(m_db);
    }

    bool ok() const { return m_db != nullptr; }

    void write(const std::vector<HistorySample>& samples) {
        if (!m_db || samples.empty())
            return;
        if (!exec(m_db, "BEGIN IMMEDIATE"))
            return fail("cannot write the history");
        for (const HistorySample& s : samples) {
            if (!writeOne(s)) {
                fail("cannot write the history");
                exec(m_db, "ROLLBACK");
                m_servers.clear(); // the cached last maps may be ahead of the file now
                m_maps.clear();
                return;
            }
        }
        if (!exec(m_db, "COMMIT")) {
            fail("cannot write the history");
            exec(m_db, "ROLLBACK");
            m_servers.clear();
            m_maps.clear();
        }
    }

    void retain(std::int64_t nowMs, const HistoryRetention& retention) {
        if (!m_db)
            return;
        const std::int64_t rawMs = std::max(1, retention.rawHours) * kHourMs;
        const std::int64_t keptMs = std::max(1, retention.foldedDays) * kDayMs;
        const std::int64_t cut = HistoryTotals::bucketStart(nowMs - rawMs);
        if (!exec(m_db, "BEGIN IMMEDIATE"))
            return fail("cannot fold the history");
        bool good = fold(cut);
        Statement dropFolded(m_db, "DELETE FROM folded WHERE hour < ?");
        Statement dropEvents(m_db, "DELETE FROM map_events WHERE time < ?");
        good = good && dropFolded.ok() && dropEvents.ok();
        if (good) {
            dropFolded.bind(1, floorDiv(nowMs - keptMs, kHourMs));
            dropEvents.bind(1, nowMs - keptMs);
            good = dropFolded.step() == SQLITE_DONE && dropEvents.step() == SQLITE_DONE;
        }
        if (!good || !exec(m_db, "COMMIT")) {
            fail("cannot fold the history");
            exec(m_db, "ROLLBACK");
            m_servers.clear();
            m_maps.clear();
        }
    }

private:
    struct ServerState {
        std::int64_t id = 0;
        std::int64_t lastMap = 0; // the map of the last answer; 0 before the first
    };

    void fail(const std::string& what) { m_store.setError(errorText(m_db, what)); }

    bool prepareSchema() {
        exec(m_db, "PRAGMA journal_mode = WAL");
        exec(m_db, "PRAGMA synchronous = NORMAL");
        // Each scan adds to the last page of every server: keep those pages at hand.
        exec(m_db, "PRAGMA cache_size = -16384");
        // A large batch grows the WAL file; give the space back after it is checkpointed.
        exec(m_db, "PRAGMA journal_size_limit = 8388608");
        int version = userVersion(m_db);
        if (version == kSchemaVersion)
            return true;
        if (version > kSchemaVersion || version < 0) {
            m_store.setError(m_store.m_path + ": made by a newer version of the program");
            return false;
        }
        Statement tables(m_db, "SELECT count(*) FROM sqlite_master");
        if (!tables.ok() || tables.step() != SQLITE_ROW || tables.integer(0) != 0) {
            m_store.setError(m_store.m_path + ": not a history file of this program");
            return false;
        }
        if (!exec(m_db, "BEGIN IMMEDIATE") || !exec(m_db, kSchema) || !exec(m_db, "COMMIT")) {
            fail("cannot set up the history");
            exec(m_db, "ROLLBACK");
            return false;
        }
        return true;
    }

    ServerState* server(const std::string& address) {
        auto it = m_servers.find(address);
        if (it != m_servers.end())
            return &it->second;
        ServerState state;
        m_findServer.reset().bindBytes(1, address);
        if (m_findServer.step() == SQLITE_ROW) {
            state.id = m_findServer.integer(0);
            state.lastMap = m_findServer.integer(1);
        } else {
            m_addServer.reset().bindBytes(1, address);
            if (m_addServer.step() != SQLITE_DONE)
                return nullptr;
            state.id = sqlite3_last_insert_rowid(m_db);
        }
        return &m_servers.emplace(address, std::move(state)).first->second;
    }

    std::int64_t mapId(const std::string& name) {
        auto it = m_maps.find(name);
        if (it != m_maps.end())
            return it->second;
        std::int64_t id = 0;
        m_findMap.reset().bindBytes(1, name);
        if (m_findMap.step() == SQLITE_ROW) {
            id = m_findMap.integer(0);
        } else {
            m_addMap.reset().bindBytes(1, name);
            if (m_addMap.step() != SQLITE_DONE)
                return 0;
            id = sqlite3_last_insert_rowid(m_db);
        }
        m_maps.emplace(name, id);
        return id;
    }

    bool writeOne(const HistorySample& s) {
        ServerState* state = server(text::cutUtf8(s.server, kMaxServerBytes));
        if (!state)
            return false;
        Statement& st = m_insertSample.reset();
        st.bind(1, state->id);
        st.bind(2, s.timeMs);
        if (s.up) {
            const std::int64_t map = mapId(text::cutUtf8(s.map, kMaxMapBytes));
            if (map == 0)
                return false;
            st.bind(3, std::clamp(s.players, 0, 0xffff));
            if (s.bots >= 0)
                st.bind(4, std::min(s.bots, 0xffff));
            st.bind(5, std::clamp(s.maxPlayers, 0, 0xffff));
            st.bind(6, map);
            if (s.pingMs >= 0)
                st.bind(7, s.pingMs);
            if (state->lastMap != map) {
                Statement& ev = m_insertEvent.reset();
                ev.bind(1, state->id);
                ev.bind(2, s.timeMs);
                ev.bind(3, state->lastMap);
                ev.bind(4, map);
                Statement& last = m_setLastMap.reset();
                last.bind(1, map);
                last.bind(2, state->id);
                if (ev.step() != SQLITE_DONE || last.step() != SQLITE_DONE)
                    return false;
                state->lastMap = map;
            }
        }
        return st.step() == SQLITE_DONE;
    }

    // Every raw sample before cut into the packed five-minute rows, server by server.
    bool fold(std::int64_t cut) {
        Statement servers(m_db, "SELECT id FROM servers ORDER BY id");
        Statement old(m_db, "SELECT time, players, bots, max_players, map, ping FROM samples "
                            "WHERE server = ? AND time < ? ORDER BY time");
        Statement drop(m_db, "DELETE FROM samples WHERE server = ? AND time < ?");
        Statement readHour(m_db, "SELECT rows FROM folded WHERE hour = ? AND server = ?");
        Statement writeHour(m_db,
                            "INSERT OR REPLACE INTO folded(hour, server, rows) VALUES(?,?,?)");
        if (!servers.ok() || !old.ok() || !drop.ok() || !readHour.ok() || !writeHour.ok())
            return false;
        std::vector<std::int64_t> ids;
        while (servers.step() == SQLITE_ROW)
            ids.push_back(servers.integer(0));
        for (std::int64_t id : ids) {
            std::map<std::int64_t, HourRows> hours; // new rows by hour
            old.reset().bind(1, id);
            old.bind(2, cut);
            int rc;
            while ((rc = old.step()) == SQLITE_ROW) {
                HistorySample s;
                s.timeMs = old.integer(0);
                s.up = !old.isNull(1);
                s.players = old.small(1);
                s.maxPlayers = old.small(3);
                s.pingMs = old.isNull(5) ? -1 : old.small(5);
                std::int64_t start = HistoryTotals::bucketStart(s.timeMs);
                PackedRow& row = hours[floorDiv(start, kHourMs)][static_cast<int>(
                    (start - floorDiv(start, kHourMs) * kHourMs) / HistoryTotals::kBucketMs)];
                row.totals.add(s);
                if (s.up)
                    row.mapId = old.integer(4);
            }
            if (rc != SQLITE_DONE)
                return false;
            for (auto& [hour, rows] : hours) {
                readHour.reset().bind(1, hour);
                readHour.bind(2, id);
                HourRows merged;
                if (readHour.step() == SQLITE_ROW)
                    merged = unpackRows(readHour.bytes(0));
                for (auto& [index, row] : rows) {
                    PackedRow& into = merged[index];
                    into.totals.merge(row.totals);
                    if (row.totals.ups > 0)
                        into.mapId = row.mapId;
                }
                writeHour.reset().bind(1, hour);
                writeHour.bind(2, id);
                writeHour.bindBytes(3, packRows(merged));
                if (writeHour.step() != SQLITE_DONE)
                    return false;
            }
            if (!hours.empty()) {
                drop.reset().bind(1, id);
                drop.bind(2, cut);
                if (drop.step() != SQLITE_DONE)
                    return false;
            }
        }
        return true;
    }

    const SqliteHistoryStore& m_store;
    sqlite3* m_db = nullptr;
    Statement m_insertSample, m_insertEvent, m_findServer, m_addServer, m_setLastMap, m_findMap,
        m_addMap;
    std::unordered_map<std::string, ServerState> m_servers;
    std::unordered_map<std::string, std::int64_t> m_maps;
};

// --- The store -----------------------------------------------------------------------------------

SqliteHistoryStore::SqliteHistoryStore(std::string path, Options options)
    : m_path(std::move(path)), m_options(options) {}

SqliteHistoryStore::~SqliteHistoryStore() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void SqliteHistoryStore::startWriter() {
    if (!m_thread.joinable())
        m_thread = std::thread([this] { writerLoop(); });
}

void SqliteHistoryStore::record(std::vector<HistorySample> samples) {
    if (samples.empty())
        return;
    {
        std::lock_guard lock(m_mutex);
        startWriter();
        if (m_pending.empty())
            m_pending = std::move(samples);
        else
            m_pending.insert(m_pending.end(), std::make_move_iterator(samples.begin()),
                             std::make_move_iterator(samples.end()));
        ++m_queued;
    }
    m_wake.notify_one();
}

void SqliteHistoryStore::flush() {
    std::unique_lock lock(m_mutex);
    const std::uint64_t ticket = m_queued;
    m_progress.wait(lock, [&] { return m_done >= ticket; });
}

void SqliteHistoryStore::applyRetention(std::int64_t nowMs, const HistoryRetention& retention) {
    std::unique_lock lock(m_mutex);
    startWriter();
    m_retentions.push_back(RetentionJob{nowMs, retention});
    const std::uint64_t ticket = ++m_queued;
    m_wake.notify_one();
    m_progress.wait(lock, [&] { return m_done >= ticket; });
}

std::string SqliteHistoryStore::lastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

void SqliteHistoryStore::setError(const std::string& error) const {
    std::lock_guard lock(m_mutex);
    m_lastError = error;
}

void SqliteHistoryStore::writerLoop() {
    Writer writer(*this);
    std::int64_t lastRetentionMs = 0;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stop || !m_pending.empty() || !m_retentions.empty(); });
        if (m_pending.empty() && m_retentions.empty())
            break; // stopped with nothing left to write
        std::vector<HistorySample> batch = std::move(m_pending);
        m_pending.clear();
        std::vector<RetentionJob> jobs = std::move(m_retentions);
        m_retentions.clear();
        const std::uint64_t ticket = m_queued;
        lock.unlock();

        writer.write(batch);
        for (const RetentionJob& job : jobs)
            writer.retain(job.nowMs, job.retention);
        if (m_options.autoRetention && !batch.empty()) {
            std::int64_t now = systemNowMs();
            if (now - lastRetentionMs >= kRetentionEveryMs) {
                lastRetentionMs = now;
                writer.retain(now, m_options.retention);
            }
        }

        lock.lock();
        m_done = ticket;
        m_progress.notify_all();
    }
}

} // namespace ondel
