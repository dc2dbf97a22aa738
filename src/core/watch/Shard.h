#pragma once

#include "serverlist/ServerAddress.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace ondel {

// One of N watchers splitting a list: shard index (1..count) of count.
struct Shard {
    int index = 1;
    int count = 1;
};

// "K/N" with 1 <= K <= N <= 10000; nothing for anything else.
std::optional<Shard> parseShard(std::string_view text);

// The shard (1..count) an address belongs to: FNV-1a (32 bits) of "host:port" with the host in
// lower case, so every watcher of any list puts a server in the same one.
int shardOf(const ServerAddress& address, int count);

inline bool inShard(const ServerAddress& address, const Shard& shard) {
    return shardOf(address, shard.count) == shard.index;
}

} // namespace ondel
