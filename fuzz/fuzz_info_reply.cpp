// The legacy `m` and Steam `I` info replies on arbitrary datagrams: no crash, a refused reply
// leaves the record untouched, an accepted one fills what the reply carries.
#include "FuzzCheck.h"

#include "query/InfoReplyParser.h"
#include "query/SteamInfoParser.h"

#include <cstdint>
#include <string>

namespace {
ondel::ServerEntry marked() {
    ondel::ServerEntry e;
    e.address = {"10.0.0.1", 27015};
    e.hostName = "before";
    e.players = 99;
    e.comment = "kept";
    return e;
}

void checkTexts(const ondel::ServerEntry& e, std::size_t n) {
    // Every text comes out of the datagram, so none can be longer than it.
    FUZZ_CHECK(e.hostName.size() <= n && e.map.size() <= n && e.gameDir.size() <= n &&
               e.gameDescription.size() <= n);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ondel::ServerEntry before = marked();

    ondel::ServerEntry legacy = before;
    if (ondel::InfoReplyParser::parse(data, size, legacy)) {
        FUZZ_CHECK(size >= 5 && data[4] == 'm');
        checkTexts(legacy, size);
        FUZZ_CHECK(legacy.comment == "kept" && legacy.address == before.address);
    } else {
        FUZZ_CHECK(legacy == before);
    }

    ondel::ServerEntry steam = before;
    ondel::SteamInfoExtras extras;
    if (ondel::SteamInfoParser::parse(data, size, steam, &extras)) {
        FUZZ_CHECK(size >= 5 && data[4] == 'I');
        checkTexts(steam, size);
        FUZZ_CHECK(extras.version.size() <= size && extras.spectatorName.size() <= size);
        FUZZ_CHECK(steam.isMod == (steam.gameDir != "valve" ? 1 : 0));
        FUZZ_CHECK(steam.comment == "kept" && steam.address == before.address);
    } else {
        FUZZ_CHECK(steam == before);
    }
    // Only one of the two layouts can match a datagram (the type byte differs).
    return 0;
}
