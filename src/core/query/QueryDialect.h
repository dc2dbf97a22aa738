#pragma once

namespace ondel {

// The request set a server answers. Legacy: "details", "rules", "players" as out-of-band text.
// Steam: A2S_INFO, A2S_RULES and A2S_PLAYER with their challenge exchange. Both answer "ping".
enum class QueryDialect { Legacy, Steam };

inline const char* dialectName(QueryDialect d) {
    return d == QueryDialect::Steam ? "steam" : "legacy";
}

} // namespace ondel
