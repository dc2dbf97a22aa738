// The `D` players reply on arbitrary datagrams, in both index modes, then carried over from a
// previous list: no crash, records in sequence, nothing read past the datagram.
#include "FuzzCheck.h"

#include "query/PlayersReplyParser.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<ondel::PlayerRecord> sentinel = {{1, "old", 5, 10, 0, 0, 1}};
    std::vector<ondel::PlayerRecord> previous;
    for (bool zero : {false, true}) {
        std::vector<ondel::PlayerRecord> players = sentinel;
        if (!ondel::PlayersReplyParser::parse(data, size, players, zero)) {
            FUZZ_CHECK(players == sentinel);
            continue;
        }
        FUZZ_CHECK(size >= 6 && data[4] == 'D');
        FUZZ_CHECK(players.size() <= data[5]);
        // Index byte, name, terminator, frags and time: at least 10 bytes a record.
        std::size_t bytes = 6;
        for (std::size_t i = 0; i < players.size(); ++i) {
            const auto& p = players[i];
            FUZZ_CHECK(p.index == i + 1);
            FUZZ_CHECK(p.name.find('\0') == std::string::npos);
            FUZZ_CHECK(p.fragChange == 0 && p.fragChangeTick == 0 && p.selected == 0);
            bytes += p.name.size() + 10;
        }
        FUZZ_CHECK(bytes <= size);

        // Carrying the working fields over to a new reading keeps the records themselves.
        std::vector<ondel::PlayerRecord> next = players;
        for (auto& p : next)
            p.frags ^= 1;
        for (auto& p : previous)
            p.selected = 1;
        ondel::PlayersReplyParser::carryOver(previous, next, 77);
        FUZZ_CHECK(next.size() == players.size());
        for (std::size_t i = 0; i < next.size(); ++i)
            FUZZ_CHECK(next[i].name == players[i].name && next[i].time == players[i].time);
        previous = players;
    }
    return 0;
}
