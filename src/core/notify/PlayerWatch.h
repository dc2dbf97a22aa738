#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace ondel {

// Watches for players by name across the servers of a list. Fed each server's current player
// names, it reports the watched names that were not on that server at its previous report, so
// a player who stays is announced once, and again only after leaving and coming back. Names
// compare with A-Z folded (names are bytes as the server sent them). GUI thread only.
class PlayerWatch {
public:
    // The names to watch; empty and duplicate names are ignored. Forgets who was seen where
    // for names no longer watched.
    void setWatched(const std::vector<std::string>& names);
    const std::vector<std::string>& watched() const { return m_watched; }

    // A server's whole player list at one moment. Returns the watched names newly on it, in
    // the order of players. server is any key that names the server (its address text).
    std::vector<std::string> update(const std::string& server,
                                    const std::vector<std::string>& players);
    // The server left the list or stopped answering: its players are gone.
    void forget(const std::string& server);

private:
    bool isWatched(const std::string& folded) const;

    std::vector<std::string> m_watched;
    std::set<std::string> m_watchedFolded;
    std::map<std::string, std::set<std::string>> m_present; // server -> folded watched names
};

// The watch list as the settings keep it: one name per line. Reading drops blanks around each
// name and empty lines; writing joins the names with line feeds.
std::vector<std::string> watchListFromText(const std::string& text);
std::string watchListText(const std::vector<std::string>& names);

} // namespace ondel
