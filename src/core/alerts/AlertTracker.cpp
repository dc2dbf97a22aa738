#include "alerts/AlertTracker.h"

#include "common/JsonWriter.h"
#include "common/Text.h"
#include "history/HistorySamples.h"

#include <ctime>

namespace ondel {

const char* alertKindName(AlertKind kind) {
    switch (kind) {
    case AlertKind::Down:
        return "down";
    case AlertKind::Up:
        return "up";
    case AlertKind::Players:
        return "players";
    case AlertKind::Map:
        return "map";
    case AlertKind::Player:
        return "player";
    }
    return "down";
}

std::string alertText(const std::string& bytes) {
    std::string out = text::toDisplayUtf8(bytes);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    return out;
}

std::string alertJson(const AlertEvent& event) {
    JsonWriter json(false);
    json.beginObject();
    json.key("event");
    json.value(alertKindName(event.kind));
    json.key("server");
    json.value(event.server);
    json.key("name");
    json.value(event.name);
    json.key("time");
    json.value(isoTimeUtc(event.timeMs));
    json.key("text");
    json.value(event.text);
    json.key("content");
    json.value(event.text);
    json.endObject();
    return json.text();
}

void AlertTracker::setListRules(AlertRules rules) {
    m_listWatch.setWatched(rules.watchedPlayers);
    m_listRules = std::move(rules);
}

void AlertTracker::setServerRules(const std::string& server, AlertRules rules) {
    m_serverWatch[server].setWatched(rules.watchedPlayers);
    m_serverRules[server] = std::move(rules);
}

void AlertTracker::clearServerRules(const std::string& server) {
    forget(server);
    m_serverRules.erase(server);
    m_serverWatch.erase(server);
}

const AlertRules& AlertTracker::rulesFor(const std::string& server) const {
    auto it = m_serverRules.find(server);
    return it != m_serverRules.end() ? it->second : m_listRules;
}

PlayerWatch& AlertTracker::watchFor(const std::string& server) {
    auto it = m_serverWatch.find(server);
    return it != m_serverWatch.end() ? it->second : m_listWatch;
}

void AlertTracker::forget(const std::string& server) {
    m_states.erase(server);
    watchFor(server).forget(server);
}

std::vector<AlertEvent> AlertTracker::observe(const AlertObservation& seen, std::int64_t timeMs) {
    const AlertRules& rules = rulesFor(seen.server);
    State& state = m_states[seen.server];
    std::vector<AlertEvent> events;
    auto fire = [&](AlertKind kind, std::string sentence) {
        AlertEvent e;
        e.kind = kind;
        e.server = seen.server;
        e.name = state.name;
        e.timeMs = timeMs;
        e.text = std::move(sentence);
        e.players = seen.players;
        e.maxPlayers = seen.maxPlayers;
        e.map = alertText(seen.map);
        events.push_back(std::move(e));
        return &events.back();
    };
    const std::string who = [&] {
        std::string name = seen.up ? alertText(seen.name) : state.name;
        return name.empty() ? seen.server : name + " (" + seen.server + ")";
    }();

    if (!seen.up) {
        ++state.misses;
        watchFor(seen.server).forget(seen.server);
        if (rules.downAfter > 0 && !state.down && state.misses >= rules.downAfter) {
            state.down = true;
            fire(AlertKind::Down, text::format("%s is down: no answer %d times in a row.",
                                               who.c_str(), state.misses));
        }
        return events;
    }

    state.misses = 0;
    if (!seen.name.empty())
        state.name = alertText(seen.name);
    if (state.down) {
        state.down = false;
        fire(AlertKind::Up, who + " is back up.");
    }

    const std::string map = alertText(seen.map);
    if (rules.mapChanges && !state.map.empty() && !map.empty() && map != state.map)
        fire(AlertKind::Map, text::format("%s changed map from %s to %s.", who.c_str(),
                                          state.map.c_str(), map.c_str()));
    if (!map.empty())
        state.map = map;

    const std::string count =
        text::format("%s has %d of %d players", who.c_str(), seen.players, seen.maxPlayers);
    bool atLeast = rules.playersAtLeast && seen.players >= *rules.playersAtLeast;
    if (atLeast && !state.atLeast && state.answered)
        fire(AlertKind::Players,
             text::format("%s (at or above %d).", count.c_str(), *rules.playersAtLeast));
    state.atLeast = atLeast;
    bool atMost = rules.playersAtMost && seen.players <= *rules.playersAtMost;
    if (atMost && !state.atMost && state.answered)
        fire(AlertKind::Players,
             text::format("%s (at or below %d).", count.c_str(), *rules.playersAtMost));
    state.atMost = atMost;
    state.answered = true;

    if (seen.gotPlayers && !rules.watchedPlayers.empty()) {
        for (const std::string& joined :
             watchFor(seen.server).update(seen.server, seen.playerNames)) {
            AlertEvent* e = fire(AlertKind::Player, alertText(joined) + " joined " + who + ".");
            e->player = alertText(joined);
        }
    }
    return events;
}

} // namespace ondel
